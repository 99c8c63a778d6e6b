#include "image/saveas.h"

#include "base/runtimeerror.h"
#include "image/activewindow.h"
#include "picture/loadpicture.h"

namespace lumora::image {

void saveActivePictureAs(runtime::MainHost &host)
{
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    runtime::CommonDialog &dialog = host.dlgcomondialog();
    // The dialog is shared with File Open: every field is set each time.
    dialog.DialogTitle = QStringLiteral("File Name");
    dialog.Filter = QStringLiteral("*.bmp|*.bmp");
    dialog.Flags = runtime::cdl::OverwritePrompt | runtime::cdl::HideReadOnly;
    dialog.FileName = QString();
    dialog.ShowSave();
    const QString path = dialog.FileName;
    if (path.isEmpty())
        return;
    try {
        picture::SavePicture(window->picdibujo().Image(), path);
    } catch (const RuntimeError &error) {
        runtime::MsgBox(host.dialogs(), error.text(), runtime::vbCritical, QStringLiteral("Error"));
    }
}

} // namespace lumora::image
