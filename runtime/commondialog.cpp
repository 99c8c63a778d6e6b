#include "runtime/commondialog.h"

#include "runtime/helpwindow.h"

namespace lumora::runtime {

CommonDialog::CommonDialog(Dialogs &dialogs) : m_dialogs(dialogs) {}

CommonDialog::~CommonDialog() = default;

FileDialogRequest CommonDialog::request() const
{
    return FileDialogRequest{DialogTitle, Filter, Flags, FileName, PointedFile};
}

void CommonDialog::ShowOpen()
{
    FileName = m_dialogs.showOpen(request());
}

void CommonDialog::ShowSave()
{
    FileName = m_dialogs.showSave(request());
}

bool CommonDialog::ShowPrinter(QPrinter &printer)
{
    return m_dialogs.showPrinter(printer, DialogTitle, Flags);
}

void CommonDialog::ShowHelp()
{
    if (HelpCommand != cdlHelpFinder)
        return;
    if (!m_help)
        m_help = std::make_unique<HelpWindow>();
    m_help->openFile(HelpFile);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

} // namespace lumora::runtime
