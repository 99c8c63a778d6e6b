#pragma once

#include "about/aboutcommands.h"
#include "app/commandtable.h"
#include "image/imagecommands.h"
#include "print/printcommands.h"
#include "runtime/commondialog.h"
#include "runtime/mainhost.h"
#include "runtime/statuspanels.h"
#include "show/showcommands.h"

#include <QMainWindow>
#include <QMdiArea>
#include <functional>
#include <map>
#include <memory>

class QToolBar;

namespace lumora::app {

// `frmprin`: the multiple-document main window with its menus, toolbar and status bar. Every
// command is one handler here, listed once in the command table; a menu item and its toolbar
// button are one action. The subsystems' commands and state live in the objects it owns.
class MainWindow final : public QMainWindow, public runtime::MainHost {
    Q_OBJECT
public:
    explicit MainWindow(runtime::Dialogs &dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

    // What `End` does; the program quits the event loop, tests record the call.
    void setEndAction(std::function<void()> end) { m_end = std::move(end); }

    // MainHost
    QWidget &mainWindow() override { return *this; }
    QMdiArea &mdiArea() override { return *m_mdi; }
    QWidget *ActiveForm() const override;
    runtime::StatusPanels &StatBar() override { return *m_panels; }
    runtime::Dialogs &dialogs() override { return m_dialogs; }
    runtime::CommonDialog &dlgcomondialog() override { return m_dlgcomondialog; }
    QMenu &mnuedit() override { return *m_menus.at(QStringLiteral("mnuedit")); }

    show::ShowCommands &showCommands() { return m_show; }

    runtime::CommonDialog &dlghelp() { return m_dlghelp; }
    QToolBar &Toolbar1() { return *m_toolbar; }
    QMenu *menu(const QString &name) const;
    QAction *menuItem(const QString &name) const;
    // The Window menu's entries for the open child windows, as they are listed now.
    QList<QAction *> windowListEntries();

    void mnufileopen_Click();
    void mnufileopenmulti_Click();
    void mnufilesaveas_Click();
    void mnufilepp_Click();
    void mnufileselprint_Click();
    void mnufileprint_Click();
    void mnufileexit_Click();
    void mnueditcopy_Click();
    void mnueditwall_Click();
    void mnueditzoomin_Click();
    void mnueditzoomout_Click();
    void mnuwindowcascade_Click();
    void optileh_Click();
    void optilev_Click();
    void mnuhelpcontents_Click();
    void mnuhelpabout_Click();
    void Toolbar1_ButtonClick(const QString &key);
    void MDIForm_Unload();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void refreshWindowMenu();
    void run(Handler handler);

    runtime::Dialogs &m_dialogs;
    QMdiArea *m_mdi;
    QToolBar *m_toolbar = nullptr;
    std::unique_ptr<runtime::StatusPanels> m_panels;
    runtime::CommonDialog m_dlgcomondialog;
    runtime::CommonDialog m_dlghelp;
    std::map<QString, QMenu *> m_menus;
    std::map<QString, QAction *> m_items;
    QList<QAction *> m_windowEntries;
    image::ImageCommands m_image{*this};
    print::PrintCommands m_print{*this};
    show::ShowCommands m_show{*this};
    about::AboutCommands m_about{*this};
    bool m_unloading = false;
    std::function<void()> m_end;
};

} // namespace lumora::app
