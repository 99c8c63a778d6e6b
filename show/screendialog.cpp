#include "show/screendialog.h"

#include "picture/loadpicture.h"
#include "runtime/appinfo.h"
#include "runtime/dialogs.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"
#include "runtime/handlerguard.h"
#include "show/toplevel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <tuple>

namespace lumora::show {

using runtime::ErrorTrap;

QString emptyShowMessage()
{
    return QStringLiteral("Add at least one picture to the show.");
}

QString intervalMessage(const QLocale &locale)
{
    return QStringLiteral("Type the interval in seconds, a number from %1 to %2.")
        .arg(locale.toString(0.001, 'f', 3), locale.toString(32.767, 'f', 3));
}

QString tooManyPicturesMessage()
{
    return QStringLiteral("A show holds at most %1 pictures.").arg(kMaxShowFiles);
}

ScreenDialog::ScreenDialog(runtime::MainHost &host, ShowSettings &settings)
    : m_host(host), m_settings(settings)
{
    setObjectName(QStringLiteral("frmscreen"));
    setWindowTitle(QStringLiteral("File Selection"));
    setModal(false);
    setFont(runtime::formFont());
    buildControls();
    placeControls();
    connectHandlers();
    setTabOrder();
    startAtCurrentFolder();
}

ScreenDialog *ScreenDialog::Load(runtime::MainHost &host, ShowSettings &settings)
{
    auto *dialog = new ScreenDialog(host, settings);
    endWithMainWindow(*dialog, host.mainWindow());
    // A fixed dialog frame: a title and a close box, nothing to minimize or maximize.
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    return dialog;
}

void ScreenDialog::buildControls()
{
    m_Frame3 = new QGroupBox(this);
    m_Drive1 = new DriveList(m_Frame3);
    m_Dir1 = new FolderList(m_Frame3);
    m_File1 = new FileList(this);
    m_File1->setPattern(kPattern);
    m_imgred = new ImageBox(this);
    m_chkreducida = new QCheckBox(QStringLiteral("Show Preview Image"), this);
    m_chkreducida->setChecked(true);
    m_chkreducida->setToolTip(
        QStringLiteral("Marcar aqui si se desea ver el \"Preview\" del dibujo"));
    m_cmdagregar = new QPushButton(QStringLiteral("Add >>"), this);
    m_cmdremove = new QPushButton(QStringLiteral("Remove"), this);
    m_cmdremall = new QPushButton(QStringLiteral(" << All"), this);
    m_cmdall = new QPushButton(QStringLiteral("All >>"), this);
    m_lstseleccion = new ListBox(this);
    m_chkauto = new QCheckBox(QStringLiteral("Automatic Transition"), this);
    m_Label1 = new QLabel(QStringLiteral("Interval"), this);
    m_txttiempo = new QLineEdit(this);
    m_txttiempo->setEnabled(false);
    m_Label2 = new QLabel(QStringLiteral("Segs."), this);
    m_chkloop = new QCheckBox(QStringLiteral("Loop until ESC is pressed"), this);
    m_Frame2 = new QGroupBox(this);
    m_cmdplay = new QPushButton(QStringLiteral("BEGIN"), m_Frame2);
    m_cmdcancel = new QPushButton(QStringLiteral("CANCEL"), m_Frame2);
    QFont bold = font();
    bold.setBold(true);
    m_cmdplay->setFont(bold);
    m_cmdcancel->setFont(bold);

    // Enter starts the show from anywhere in the dialog; Esc cancels it (see reject).
    for (QPushButton *button : {m_cmdagregar, m_cmdremove, m_cmdremall, m_cmdall, m_cmdcancel})
        button->setAutoDefault(false);
    m_cmdplay->setDefault(true);

    // Each control's name, and for those without a caption of their own (or whose caption
    // is arrows) what a screen reader calls it.
    const std::tuple<QWidget *, const char *, const char *> names[] = {
        {m_Frame3, "Frame3", "Drive and folder"},
        {m_Drive1, "Drive1", nullptr},
        {m_Dir1, "Dir1", "Folders"},
        {m_File1, "File1", "Pictures in the folder"},
        {m_imgred, "imgred", "Preview"},
        {m_chkreducida, "chkreducida", nullptr},
        {m_cmdagregar, "cmdagregar", "Add"},
        {m_cmdremove, "cmdremove", nullptr},
        {m_cmdremall, "cmdremall", "Remove all"},
        {m_cmdall, "cmdall", "Add all"},
        {m_lstseleccion, "lstseleccion", "Pictures in the show"},
        {m_chkauto, "chkauto", nullptr},
        {m_Label1, "Label1", nullptr},
        {m_txttiempo, "txttiempo", "Interval in seconds"},
        {m_Label2, "Label2", nullptr},
        {m_chkloop, "chkloop", nullptr},
        {m_Frame2, "Frame2", nullptr},
        {m_cmdplay, "cmdplay", nullptr},
        {m_cmdcancel, "cmdcancel", nullptr}};
    for (const auto &[widget, name, spoken] : names) {
        widget->setObjectName(QLatin1String(name));
        if (spoken)
            widget->setAccessibleName(QLatin1String(spoken));
    }
    // A drop-down list is read by the entry it shows; what it is for goes with it.
    m_Drive1->setAccessibleDescription(QStringLiteral("Drive"));
}

void ScreenDialog::placeControls()
{
    const TwipScale scale = runtime::screenScale();
    const auto place = [&](QWidget *widget, int left, int top, int width, int height) {
        widget->setGeometry(scale.toPixels(left), scale.toPixels(top), scale.toPixels(width),
                            scale.toPixels(height));
    };
    setFixedSize(scale.toPixels(7635, 5460));
    place(m_Frame3, 150, 75, 3375, 2415);
    place(m_Drive1, 120, 240, 3015, 315);
    place(m_Dir1, 120, 720, 3015, 1440);
    place(m_File1, 120, 2520, 2655, 2040);
    place(m_imgred, 4800, 225, 1710, 1740);
    place(m_chkreducida, 3900, 2175, 2415, 255);
    place(m_cmdagregar, 2880, 2520, 855, 375);
    place(m_cmdremove, 2880, 3000, 855, 375);
    place(m_cmdremall, 2880, 3480, 855, 375);
    place(m_cmdall, 2880, 3960, 855, 375);
    place(m_lstseleccion, 3840, 2520, 3735, 1620);
    place(m_chkauto, 3825, 4185, 1935, 255);
    place(m_Label1, 6000, 4200, 525, 195);
    place(m_txttiempo, 6720, 4200, 375, 285);
    place(m_Label2, 7200, 4200, 405, 195);
    place(m_chkloop, 3825, 4500, 2790, 240);
    place(m_Frame2, 120, 4650, 7335, 810);
    place(m_cmdplay, 240, 240, 2775, 450);
    place(m_cmdcancel, 4440, 240, 2775, 450);
    // The two labels take the size of their captions.
    m_Label1->adjustSize();
    m_Label2->adjustSize();
}

void ScreenDialog::setTabOrder()
{
    // The focus order of the design; frames and labels take no focus.
    const QList<QWidget *> order = {
        m_File1, m_lstseleccion, m_cmdagregar, m_cmdall,    m_cmdremove,   m_cmdcancel, m_cmdplay,
        m_Dir1,  m_Drive1,       m_chkauto,    m_txttiempo, m_chkreducida, m_cmdremall, m_chkloop};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    m_Frame2->setFocusPolicy(Qt::NoFocus);
    m_Frame3->setFocusPolicy(Qt::NoFocus);
    m_File1->setFocus();
}

void ScreenDialog::handle(void (ScreenDialog::*handler)())
{
    runtime::guard(m_host.dialogs(), [this, handler] { (this->*handler)(); });
}

void ScreenDialog::connectHandlers()
{
    connect(m_Drive1, &DriveList::Change, this, [this] { handle(&ScreenDialog::Drive1_Change); });
    connect(m_Dir1, &FolderList::Change, this, [this] { handle(&ScreenDialog::Dir1_Change); });
    connect(m_Dir1, &FolderList::openRequested, this, [this](const QString &path) {
        runtime::guard(m_host.dialogs(), [&] { Dir1_Open(path); });
    });
    connect(m_File1, &ListBox::Click, this, [this] { handle(&ScreenDialog::File1_Click); });
    connect(m_File1, &ListBox::DblClick, this, [this] { handle(&ScreenDialog::File1_DblClick); });
    connect(m_cmdagregar, &QPushButton::clicked, this,
            [this] { handle(&ScreenDialog::cmdagregar_Click); });
    connect(m_cmdall, &QPushButton::clicked, this, [this] { handle(&ScreenDialog::cmdall_Click); });
    connect(m_cmdremove, &QPushButton::clicked, this,
            [this] { handle(&ScreenDialog::cmdremove_Click); });
    connect(m_cmdremall, &QPushButton::clicked, this,
            [this] { handle(&ScreenDialog::cmdremall_Click); });
    connect(m_lstseleccion, &ListBox::Click, this,
            [this] { handle(&ScreenDialog::lstseleccion_Click); });
    connect(m_chkauto, &QCheckBox::toggled, this, [this] { handle(&ScreenDialog::chkauto_Click); });
    connect(m_cmdplay, &QPushButton::clicked, this,
            [this] { handle(&ScreenDialog::cmdplay_Click); });
    connect(m_cmdcancel, &QPushButton::clicked, this,
            [this] { handle(&ScreenDialog::cmdcancel_Click); });
}

void ScreenDialog::startAtCurrentFolder()
{
    try {
        m_Dir1->setPath(QDir::currentPath());
    } catch (const RuntimeError &) {
        // The process's folder may have been removed under it; the root always exists.
        m_Dir1->setPath(QDir::rootPath());
    }
    m_Drive1->showDriveOf(m_Dir1->Path());
}

void ScreenDialog::Show()
{
    show();
    raise();
    activateWindow();
}

void ScreenDialog::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    hide();
    deleteLater();
}

QString ScreenDialog::fullPath(const QString &name) const
{
    return runtime::joinPath(m_File1->Path(), name);
}

void ScreenDialog::Drive1_Change()
{
    const QString drive = m_Drive1->Drive();
    // A volume's folder is the process's folder when that lies on it, else its top.
    const QString current = QDir::currentPath();
    const QString folder = QStorageInfo(current).rootPath() == drive ? current : drive;
    try {
        m_Dir1->setPath(folder);
    } catch (const RuntimeError &) {
        runtime::MsgBox(m_host.dialogs(),
                        QStringLiteral("The volume %1 is not available.").arg(drive),
                        runtime::vbExclamation, QStringLiteral("Error"));
        m_Drive1->refresh();
        m_Drive1->showDriveOf(m_Dir1->Path());
    }
}

void ScreenDialog::Dir1_Change()
{
    m_File1->setPath(m_Dir1->Path());
    m_Drive1->showDriveOf(m_Dir1->Path());
}

void ScreenDialog::Dir1_Open(const QString &path)
{
    try {
        m_Dir1->setPath(path);
    } catch (const RuntimeError &) {
        runtime::MsgBox(m_host.dialogs(), QStringLiteral("The folder %1 cannot be read.").arg(path),
                        runtime::vbExclamation, QStringLiteral("Error"));
        m_Dir1->refresh();
    }
}

void ScreenDialog::File1_Click()
{
    ErrorTrap trap;
    if (!m_chkreducida->isChecked()) {
        m_imgred->setPicture(picture::Picture());
        m_imgred->setShowsError(false);
        return;
    }
    trap.run([&] { m_imgred->setPicture(picture::LoadPicture(fullPath(m_File1->FileName()))); });
    m_imgred->setShowsError(trap.failed());
}

void ScreenDialog::File1_DblClick()
{
    cmdagregar_Click();
}

void ScreenDialog::cmdagregar_Click()
{
    if (m_File1->ListIndex() == -1)
        return;
    const QString path = fullPath(m_File1->FileName());
    m_lstseleccion->AddItem(path);
    SetHorizontalExtent(*this, *m_lstseleccion, path);
}

void ScreenDialog::cmdall_Click()
{
    QStringList paths;
    paths.reserve(m_File1->ListCount());
    for (int i = 0; i < m_File1->ListCount(); ++i)
        paths.append(fullPath(m_File1->List(i)));
    m_lstseleccion->addItems(paths);
}

void ScreenDialog::cmdremove_Click()
{
    if (m_lstseleccion->ListIndex() != -1)
        m_lstseleccion->RemoveItem(m_lstseleccion->ListIndex());
}

void ScreenDialog::cmdremall_Click()
{
    m_lstseleccion->clear();
}

void ScreenDialog::lstseleccion_Click()
{
    const int index = m_lstseleccion->ListIndex();
    if (index != -1)
        SetHorizontalExtent(*this, *m_lstseleccion, m_lstseleccion->List(index));
}

void ScreenDialog::chkauto_Click()
{
    if (!m_chkauto->isChecked())
        return;
    m_txttiempo->setEnabled(true);
    m_txttiempo->setFocus();
}

void ScreenDialog::refuseBegin(const QString &text, QWidget &focus)
{
    runtime::MsgBox(m_host.dialogs(), text, runtime::vbExclamation, QStringLiteral("Error"));
    focus.setFocus();
}

void ScreenDialog::cmdplay_Click()
{
    // A show needs a picture to start with and an interval its timer can keep; anything else
    // would give a black screen that only Esc ends, so BEGIN says why and stays here.
    const int count = m_lstseleccion->ListCount();
    if (count == 0) {
        refuseBegin(emptyShowMessage(), *m_File1);
        return;
    }
    if (count > kMaxShowFiles) {
        refuseBegin(tooManyPicturesMessage(), *m_lstseleccion);
        return;
    }
    const bool automatic = m_chkauto->isChecked();
    std::optional<short> interval;
    if (automatic) {
        const QLocale locale;
        interval = intervalMilliseconds(m_txttiempo->text(), locale);
        if (!interval) {
            refuseBegin(intervalMessage(locale), *m_txttiempo);
            m_txttiempo->selectAll();
            return;
        }
    }

    m_settings.ShowFiles.clear();
    m_settings.ShowFiles.reserve(count);
    for (int i = 0; i < count; ++i)
        m_settings.ShowFiles.append(m_lstseleccion->List(i));
    m_settings.ShowAuto = automatic ? 1 : 0;
    if (automatic)
        m_settings.ShowInterval = *interval;
    m_settings.ShowLoop = m_chkloop->isChecked() ? 1 : 0;
    Unload();
    emit showBegun();
}

void ScreenDialog::cmdcancel_Click()
{
    Unload();
}

void ScreenDialog::Form_Activate()
{
    update();
}

void ScreenDialog::reject()
{
    handle(&ScreenDialog::cmdcancel_Click);
}

void ScreenDialog::closeEvent(QCloseEvent *event)
{
    handle(&ScreenDialog::cmdcancel_Click);
    event->accept();
}

void ScreenDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        handle(&ScreenDialog::Form_Activate);
}

} // namespace lumora::show
