#include "app/mainwindow.h"

#include "about/aboutcommands.h"
#include "app/arrange.h"
#include "app/commandtable.h"
#include "image/fileopen.h"
#include "image/imagecommands.h"
#include "print/printcommands.h"
#include "runtime/appinfo.h"
#include "runtime/form.h"
#include "runtime/handlerguard.h"
#include "show/showcommands.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace lumora::app {

namespace {

using Handler = MainWindow::Handler;

const std::map<QString, Handler> &menuHandlers()
{
    static const std::map<QString, Handler> handlers = {
        {QStringLiteral("mnufileopen"), &MainWindow::mnufileopen_Click},
        {QStringLiteral("mnufileopenmulti"), &MainWindow::mnufileopenmulti_Click},
        {QStringLiteral("mnufilesaveas"), &MainWindow::mnufilesaveas_Click},
        {QStringLiteral("mnufilepp"), &MainWindow::mnufilepp_Click},
        {QStringLiteral("mnufileselprint"), &MainWindow::mnufileselprint_Click},
        {QStringLiteral("mnufileprint"), &MainWindow::mnufileprint_Click},
        {QStringLiteral("mnufileexit"), &MainWindow::mnufileexit_Click},
        {QStringLiteral("mnueditcopy"), &MainWindow::mnueditcopy_Click},
        {QStringLiteral("mnueditwall"), &MainWindow::mnueditwall_Click},
        {QStringLiteral("mnueditzoomin"), &MainWindow::mnueditzoomin_Click},
        {QStringLiteral("mnueditzoomout"), &MainWindow::mnueditzoomout_Click},
        {QStringLiteral("mnuwindowcascade"), &MainWindow::mnuwindowcascade_Click},
        {QStringLiteral("optileh"), &MainWindow::optileh_Click},
        {QStringLiteral("optilev"), &MainWindow::optilev_Click},
        {QStringLiteral("mnuhelpcontents"), &MainWindow::mnuhelpcontents_Click},
        {QStringLiteral("mnuhelpabout"), &MainWindow::mnuhelpabout_Click},
    };
    return handlers;
}

// The toolbar's keys, compared in this order, exactly and case-sensitively.
const std::vector<std::pair<QString, Handler>> &toolbarDispatch()
{
    static const std::vector<std::pair<QString, Handler>> table = {
        {QStringLiteral("open"), &MainWindow::mnufileopen_Click},
        {QStringLiteral("copy"), &MainWindow::mnueditcopy_Click},
        {QStringLiteral("cascade"), &MainWindow::mnuwindowcascade_Click},
        {QStringLiteral("print"), &MainWindow::mnufileprint_Click},
        {QStringLiteral("help"), &MainWindow::mnuhelpcontents_Click},
        {QStringLiteral("show"), &MainWindow::mnufileopenmulti_Click},
        {QStringLiteral("save"), &MainWindow::mnufilesaveas_Click},
        {QStringLiteral("preview"), &MainWindow::mnufilepp_Click},
        {QStringLiteral("zoomin"), &MainWindow::mnueditzoomin_Click},
        {QStringLiteral("zoomout"), &MainWindow::mnueditzoomout_Click},
        {QStringLiteral("exit"), &MainWindow::mnufileexit_Click},
    };
    return table;
}

// A 16 x 16 toolbar image whose silver pixels are transparent.
QPixmap maskedToolbarImage(const QString &file)
{
    QImage image(file);
    if (image.isNull())
        return QPixmap();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(
        QBitmap::fromImage(image.createMaskFromColor(qRgb(0xC0, 0xC0, 0xC0), Qt::MaskInColor)));
    return pixmap;
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
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
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

void MainWindow::buildMenus()
{
    for (const MenuDef &def : menuTree()) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(def.title.caption));
        menu->setObjectName(QString::fromUtf8(def.title.name));
        menu->menuAction()->setObjectName(QString::fromUtf8(def.title.name));
        m_menus[menu->objectName()] = menu;
        for (const MenuItemDef &item : def.items) {
            const QString name = QString::fromUtf8(item.name);
            QAction *action = qstrcmp(item.caption, "-") == 0
                                  ? menu->addSeparator()
                                  : menu->addAction(QString::fromUtf8(item.caption));
            action->setObjectName(name);
            m_items[name] = action;
            const auto handler = menuHandlers().find(name);
            if (handler != menuHandlers().end())
                connect(action, &QAction::triggered, this, [this, h = handler->second] { run(h); });
        }
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
    const TwipScale scale = runtime::screenScale();
    const QSize buttonSize = scale.toPixels(609, 582);
    const QStringList images =
        QDir(QStringLiteral(":/assets/toolbar")).entryList(QDir::Files, QDir::Name);
    for (const ToolButtonDef &def : toolbarButtons()) {
        const QString key = QString::fromUtf8(def.key);
        if (key.isEmpty()) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction *action = m_toolbar->addAction(QString::fromUtf8(def.tooltip));
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setData(key);
        action->setToolTip(QString::fromUtf8(def.tooltip));
        if (def.image >= 1 && def.image <= images.size())
            action->setIcon(
                maskedToolbarImage(QStringLiteral(":/assets/toolbar/") + images.at(def.image - 1)));
        if (auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(action)))
            button->setFixedSize(buttonSize);
        connect(action, &QAction::triggered, this, [this, key] {
            runtime::guard(m_dialogs, [this, key] { Toolbar1_ButtonClick(key); });
        });
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
    m_panels->setPicture(3, QPixmap(QStringLiteral(":/assets/panel.png")));
}

MainWindow::Handler MainWindow::menuHandler(const QString &itemName)
{
    const auto it = menuHandlers().find(itemName);
    return it == menuHandlers().end() ? nullptr : it->second;
}

MainWindow::Handler MainWindow::toolbarHandler(const QString &key)
{
    for (const auto &[candidate, handler] : toolbarDispatch()) {
        if (candidate == key)
            return handler;
    }
    return nullptr;
}

void MainWindow::Toolbar1_ButtonClick(const QString &key)
{
    if (const Handler handler = toolbarHandler(key))
        (this->*handler)();
}

void MainWindow::mnufileopen_Click()
{
    image::mnufileopen_Click(*this);
}
void MainWindow::mnufileopenmulti_Click()
{
    show::mnufileopenmulti_Click(*this);
}
void MainWindow::mnufilesaveas_Click()
{
    image::mnufilesaveas_Click(*this);
}
void MainWindow::mnufilepp_Click()
{
    print::mnufilepp_Click(*this);
}
void MainWindow::mnufileselprint_Click()
{
    print::mnufileselprint_Click(*this);
}
void MainWindow::mnufileprint_Click()
{
    print::mnufileprint_Click(*this);
}
void MainWindow::mnueditcopy_Click()
{
    image::mnueditcopy_Click(*this);
}
void MainWindow::mnueditwall_Click()
{
    image::mnueditwall_Click(*this);
}
void MainWindow::mnueditzoomin_Click()
{
    image::mnueditzoomin_Click(*this);
}
void MainWindow::mnueditzoomout_Click()
{
    image::mnueditzoomout_Click(*this);
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
    about::mnuhelpabout_Click(*this);
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
