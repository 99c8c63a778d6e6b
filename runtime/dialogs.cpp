#include "runtime/dialogs.h"

#include "runtime/appinfo.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>

namespace lumora::runtime {

namespace {

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    case 32:
        return QMessageBox::Question;
    default:
        return QMessageBox::NoIcon;
    }
}

// Tells `pointedFile` what the dialog points at: the file chosen in its list, or the path
// typed into its file name box once it names an existing file, else "".
void reportPointedFile(QFileDialog &dialog, const std::function<void(const QString &)> &pointed)
{
    const auto tell = [pointed](const QString &path) {
        pointed(QFileInfo(path).isFile() ? path : QString());
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, tell);
    if (auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
        QObject::connect(
            edit, &QLineEdit::textEdited, &dialog, [&dialog, tell](const QString &text) {
                tell(text.isEmpty() ? QString() : dialog.directory().absoluteFilePath(text));
            });
    }
}

// The classic dialogs take the file name typed or chosen, whatever the filter says.
QString runFileDialog(QWidget *parent, const FileDialogRequest &request, bool save)
{
    QFileDialog dialog(parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & cdl::OverwritePrompt));
    const QStringList filters = toQtNameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (request.pointedFile && !save)
        reportPointedFile(dialog, request.pointedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

// Qt's file dialogs keep their folder history in the user's settings, written and synced to
// the disk each time one closes: tens of milliseconds on a busy disk, while the picture just
// chosen waits to be shown. The program keeps no settings between runs, so theirs go nowhere.
void keepNoDialogSettings()
{
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

} // namespace

QStringList toQtNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        result << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return result;
}

QWidget *QtDialogs::owner() const
{
    // A dialog opened from a modal window (the About box) must stand above that window.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

QtDialogs::QtDialogs(QWidget *parent) : m_parent(parent)
{
    keepNoDialogSettings();
}

void QtDialogs::messageBox(const QString &text, int style, const QString &title)
{
    QMessageBox box(iconFor(style), title, text, QMessageBox::Ok, owner());
    box.exec();
}

QString QtDialogs::showOpen(const FileDialogRequest &request)
{
    return runFileDialog(owner(), request, false);
}

QString QtDialogs::showSave(const FileDialogRequest &request)
{
    return runFileDialog(owner(), request, true);
}

bool QtDialogs::showPrinter(QPrinter &printer, const QString &title, int flags)
{
    QPrintDialog dialog(&printer, owner());
    dialog.setWindowTitle(title);
    if (flags & cdl::PrintHidePrintToFile)
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    // The dialog chooses a printer for later prints; it prints nothing itself.
    if (auto *buttons = dialog.findChild<QDialogButtonBox *>()) {
        if (QPushButton *ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    }
    return dialog.exec() == QDialog::Accepted;
}

void MsgBox(Dialogs &dialogs, const QString &text, int style, const QString &title)
{
    dialogs.messageBox(text, style, title.isNull() ? App::Title() : title);
}

} // namespace lumora::runtime
