#include "image/saveas.h"

#include "image/activewindow.h"
#include "platform/loadpicture.h"
#include "platform/runtimeerror.h"

namespace lumora::image {

void saveActivePictureAs(platform::MainHost &host)
{
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    platform::CommonDialog &dialog = host.dlgcomondialog();
    // The dialog is shared with File Open: every field is set each time.
    dialog.DialogTitle = QStringLiteral("File Name");
    dialog.Filter = QStringLiteral("*.bmp|*.bmp");
    dialog.Flags = platform::cdl::OverwritePrompt | platform::cdl::HideReadOnly;
    dialog.FileName = QString();
    dialog.ShowSave();
    const QString path = dialog.FileName;
    if (path.isEmpty())
        return;
    try {
        platform::SavePicture(window->picdibujo().Image(), path);
    } catch (const platform::RuntimeError &error) {
        platform::MsgBox(host.dialogs(), error.text(), platform::vbCritical,
                         QStringLiteral("Error"));
    }
}

} // namespace lumora::image
