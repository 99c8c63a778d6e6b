#include "app/mainwindow.h"

#include "app/arrange.h"
#include "runtime/appinfo.h"
#include "runtime/form.h"
#include "runtime/formart.h"
#include "runtime/handlerguard.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace lumora::app {

namespace {

// A toolbar image whose silver pixels are transparent.
QPixmap maskedToolbarImage(const runtime::ArtFile &art)
{
    QImage image(art.path);
    if (image.isNull())
        return QPixmap();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(
        QBitmap::fromImage(image.createMaskFromColor(qRgb(0xC0, 0xC0, 0xC0), Qt::MaskInColor)));
    pixmap.setDevicePixelRatio(art.pixelRatio);
    return pixmap;
}

// The 16 x 16 image, and on a scaled screen its twice as fine drawing, which the button
// shows instead of blowing the small one up.
QIcon toolbarIcon(const QString &file)
{
    QIcon icon(maskedToolbarImage({file, 1}));
    const runtime::ArtFile fine = runtime::artFile(file);
    if (fine.pixelRatio > 1)
        icon.addPixmap(maskedToolbarImage(fine));
    return icon;
}

QString escapeAmpersands(QString caption)
{
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MainWindow::MainWindow(runtime::Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_mdi(new QMdiArea(this)), m_dlgcomondialog(dialogs),
      m_dlghelp(dialogs), m_end([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("frmprin"));
    setWindowTitle(runtime::App::Title());
    QIcon icon;
    icon.addFile(QStringLiteral(":/assets/lumora-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/assets/lumora-16.png"), QSize(16, 16));
    setWindowIcon(icon);
    m_mdi->setObjectName(QStringLiteral("mdiarea"));
    m_mdi->setAccessibleName(QStringLiteral("Workspace"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    createActions();
    buildMenus();
    buildToolbar();
    buildStatusBar();
    const TwipScale scale = runtime::screenScale();
    resize(scale.toPixels(8295, 5715));
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::ActiveForm() const
{
    // The current child stays the active form while a dialog of ours has the focus.
    QMdiSubWindow *current = m_mdi->currentSubWindow();
    return current ? current->widget() : nullptr;
}

QMenu *MainWindow::menu(const QString &name) const
{
    const auto it = m_menus.find(name);
    return it == m_menus.end() ? nullptr : it->second;
}

QAction *MainWindow::menuItem(const QString &name) const
{
    const auto it = m_items.find(name);
    return it == m_items.end() ? nullptr : it->second;
}

void MainWindow::run(Handler handler)
{
    runtime::guard(m_dialogs, [this, handler] { (this->*handler)(); });
}

// One action per command, shared by its menu item and its toolbar button.
void MainWindow::createActions()
{
    for (const Command &command : commands()) {
        const QString name = QString::fromUtf8(command.name);
        auto *action = new QAction(QString::fromUtf8(command.caption), this);
        action->setObjectName(name);
        if (command.toolbarKey) {
            action->setData(QString::fromUtf8(command.toolbarKey));
            action->setToolTip(QString::fromUtf8(command.tooltip));
        }
        connect(action, &QAction::triggered, this,
                [this, handler = command.handler] { run(handler); });
        m_items[name] = action;
    }
}

void MainWindow::buildMenus()
{
    for (const MenuTitle &title : menuTitles()) {
        QMenu *pulldown = menuBar()->addMenu(QString::fromUtf8(title.caption));
        pulldown->setObjectName(QString::fromUtf8(title.name));
        pulldown->menuAction()->setObjectName(pulldown->objectName());
        m_menus[pulldown->objectName()] = pulldown;
    }
    for (const Command &command : commands()) {
        QMenu *pulldown = m_menus.at(QString::fromUtf8(command.menu));
        if (command.separatorBefore) {
            const QString name = QString::fromUtf8(command.separatorBefore);
            QAction *separator = pulldown->addSeparator();
            separator->setObjectName(name);
            m_items[name] = separator;
        }
        pulldown->addAction(m_items.at(QString::fromUtf8(command.name)));
    }
    QMenu *windows = menu(QStringLiteral("mnuwindow"));
    connect(windows, &QMenu::aboutToShow, this, &MainWindow::refreshWindowMenu);
}

void MainWindow::refreshWindowMenu()
{
    QMenu *windows = menu(QStringLiteral("mnuwindow"));
    for (QAction *entry : std::as_const(m_windowEntries)) {
        windows->removeAction(entry);
        entry->deleteLater();
    }
    m_windowEntries.clear();
    const QList<QMdiSubWindow *> children = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty())
        return;
    m_windowEntries << windows->addSeparator();
    QMdiSubWindow *current = m_mdi->currentSubWindow();
    for (QMdiSubWindow *child : children) {
        QAction *entry = windows->addAction(escapeAmpersands(child->windowTitle()));
        entry->setCheckable(true);
        entry->setChecked(child == current);
        connect(entry, &QAction::triggered, this, [this, target = QPointer<QMdiSubWindow>(child)] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
        m_windowEntries << entry;
    }
}

QList<QAction *> MainWindow::windowListEntries()
{
    refreshWindowMenu();
    QList<QAction *> entries;
    for (QAction *entry : std::as_const(m_windowEntries)) {
        if (!entry->isSeparator())
            entries << entry;
    }
    return entries;
}

void MainWindow::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The toolbar's own button for the buttons that do not fit a narrow window; Qt gives it
    // no name, and this object name is the only handle it has.
    if (auto *more = m_toolbar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More buttons"));
    const QSize buttonSize = runtime::screenScale().toPixels(609, 582);
    for (const char *key : toolbarLayout()) {
        const Command *command = commandWithKey(QString::fromUtf8(key));
        if (!command) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction *action = m_items.at(QString::fromUtf8(command->name));
        m_toolbar->addAction(action);
        auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(action));
        if (!button)
            continue;
        button->setFixedSize(buttonSize);
        // The picture goes on the button, not on the shared action: an icon on the action
        // would widen the menus by an icon column, even one the menus do not show. A change
        // to the action resets the button to the action's empty icon; the picture goes back.
        const QIcon icon =
            toolbarIcon(QStringLiteral(":/assets/toolbar/") + QString::fromUtf8(command->iconFile));
        button->setIcon(icon);
        connect(action, &QAction::changed, button, [button, icon] { button->setIcon(icon); });
    }
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatBar"));
    bar->setSizeGripEnabled(true);
    bar->setFont(runtime::formFont(8.25, true));
    m_panels = std::make_unique<runtime::StatusPanels>(*bar, std::vector<int>{1440, 4905, 1635},
                                                       runtime::screenScale());
    m_panels->setText(3, runtime::App::Title());
    m_panels->setPicture(3, runtime::artPixmap(QStringLiteral(":/assets/panel.png")),
                         QStringLiteral("Lumora icon"));
}

// The key is the button's own; an unknown or empty key (a separator) does nothing.
void MainWindow::Toolbar1_ButtonClick(const QString &key)
{
    if (const Command *command = commandWithKey(key))
        (this->*command->handler)();
}

void MainWindow::mnufileopen_Click()
{
    m_image.open();
}
void MainWindow::mnufileopenmulti_Click()
{
    m_show.openSetUp();
}
void MainWindow::mnufilesaveas_Click()
{
    m_image.saveAs();
}
void MainWindow::mnufilepp_Click()
{
    m_print.showPreview();
}
void MainWindow::mnufileselprint_Click()
{
    m_print.setUpPrinter();
}
void MainWindow::mnufileprint_Click()
{
    m_print.print();
}
void MainWindow::mnueditcopy_Click()
{
    m_image.copy();
}
void MainWindow::mnueditwall_Click()
{
    m_image.setAsWallpaper();
}
void MainWindow::mnueditzoomin_Click()
{
    m_image.zoomIn();
}
void MainWindow::mnueditzoomout_Click()
{
    m_image.zoomOut();
}
void MainWindow::mnuwindowcascade_Click()
{
    Arrange(*m_mdi, Arrangement::Cascade);
}
void MainWindow::optileh_Click()
{
    Arrange(*m_mdi, Arrangement::TileHorizontal);
}
void MainWindow::optilev_Click()
{
    Arrange(*m_mdi, Arrangement::TileVertical);
}
void MainWindow::mnuhelpabout_Click()
{
    m_about.showAbout();
}

void MainWindow::mnuhelpcontents_Click()
{
    m_dlghelp.HelpFile = runtime::joinPath(runtime::App::Path(), QStringLiteral("lumora.hlp"));
    m_dlghelp.HelpCommand = runtime::cdlHelpFinder;
    m_dlghelp.ShowHelp();
}

void MainWindow::mnufileexit_Click()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    m_unloading = true;
    // Child windows unload first, each running its own unload handler.
    m_mdi->closeAllSubWindows();
    event->accept();
    run(&MainWindow::MDIForm_Unload);
}

void MainWindow::MDIForm_Unload()
{
    m_end();
}

} // namespace lumora::app
