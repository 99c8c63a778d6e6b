#include "print/printsession.h"

#include "print/previewwindow.h"

namespace lumora::print {

namespace {
const QString kName = QStringLiteral("lumoraPrintSession");
}

PrintSession::PrintSession(QObject *parent) : QObject(parent)
{
    setObjectName(kName);
}

PrintSession &PrintSession::of(runtime::MainHost &host)
{
    QWidget &main = host.mainWindow();
    if (auto *session = main.findChild<PrintSession *>(kName, Qt::FindDirectChildrenOnly))
        return *session;
    return *new PrintSession(&main);
}

PreviewWindow *PrintSession::preview() const
{
    // A closed window is deleted later; until then it must not be reused.
    return m_preview && !m_preview->unloaded() ? m_preview.data() : nullptr;
}

} // namespace lumora::print
