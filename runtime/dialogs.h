#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace lumora::runtime {

// Message box styles: the icon shown with the single OK button.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbCritical = 16,
    vbExclamation = 48,
    vbInformation = 64,
};

// What the common dialog asks of an open or save dialog.
struct FileDialogRequest {
    QString title;
    QString filter; // "description|pattern|description|pattern..."
    int flags = 0;
    QString fileName;
    // Told the file an open dialog points at while it is up, chosen in its list or typed
    // (a path that names no file yet: ""), so the caller can start reading it early.
    std::function<void(const QString &)> pointedFile;
};

// Common dialog flags the program uses.
namespace cdl {
inline constexpr int OverwritePrompt = 0x2;
inline constexpr int HideReadOnly = 0x4;
inline constexpr int PrintHidePrintToFile = 0x100000;
} // namespace cdl

// The seam for everything modal: message boxes and the common dialogs. The program uses the
// real Qt dialogs; tests script the answers and read back what was shown.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void messageBox(const QString &text, int style, const QString &title) = 0;
    // The chosen path, or "" when the user cancelled.
    virtual QString showOpen(const FileDialogRequest &request) = 0;
    virtual QString showSave(const FileDialogRequest &request) = 0;
    // Lets the user choose and set up `printer`; false when cancelled.
    virtual bool showPrinter(QPrinter &printer, const QString &title, int flags) = 0;
};

// The real dialogs, parented to `parent` (the main window) when given.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr);
    void setParent(QWidget *parent) { m_parent = parent; }

    void messageBox(const QString &text, int style, const QString &title) override;
    QString showOpen(const FileDialogRequest &request) override;
    QString showSave(const FileDialogRequest &request) override;
    bool showPrinter(QPrinter &printer, const QString &title, int flags) override;

private:
    QWidget *owner() const;

    QWidget *m_parent;
};

// Turns "desc|pattern|desc|pattern" into Qt name filters ("desc (pattern)").
QStringList toQtNameFilters(const QString &filter);

// Shows a message box; without a title the application's title is used.
void MsgBox(Dialogs &dialogs, const QString &text, int style = vbOKOnly,
            const QString &title = QString());

} // namespace lumora::runtime
