#pragma once

#include "runtime/dialogs.h"

#include <QString>
#include <memory>

class QPrinter;

namespace lumora::runtime {

class HelpWindow;

// The common dialog control: fields set by the caller, then ShowOpen, ShowSave, ShowPrinter
// or ShowHelp. Cancel leaves FileName empty and raises no error.
class CommonDialog final {
public:
    explicit CommonDialog(Dialogs &dialogs);
    ~CommonDialog();

    QString DialogTitle;
    QString Filter;
    int Flags = 0;
    QString FileName;
    QString HelpFile;
    int HelpCommand = 0;
    // See FileDialogRequest::pointedFile; kept for every ShowOpen until reset.
    std::function<void(const QString &)> PointedFile;

    void ShowOpen();
    void ShowSave();
    // Shows the printer dialog for `printer`; true when the user confirmed.
    bool ShowPrinter(QPrinter &printer);
    // Help command 11 opens the help file's topics window (contents, index and search).
    void ShowHelp();
    HelpWindow *helpWindow() const { return m_help.get(); }

private:
    FileDialogRequest request() const;

    Dialogs &m_dialogs;
    std::unique_ptr<HelpWindow> m_help;
};

inline constexpr int cdlHelpFinder = 11;

} // namespace lumora::runtime
