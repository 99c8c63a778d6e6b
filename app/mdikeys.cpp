#include "app/mdikeys.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>

namespace lumora::app {

namespace {

const QKeySequence kCloseKey(Qt::CTRL | Qt::Key_F4);

// A child's own window menu binds Ctrl+F4 too, but only while the focus is inside that child,
// and two bindings of one key cancel each other out: the workspace's binding is the one kept.
void leaveCloseKeyToWorkspace(QMdiSubWindow *child)
{
    if (!child || !child->systemMenu())
        return;
    for (QAction *action : child->systemMenu()->actions()) {
        QList<QKeySequence> keys = action->shortcuts();
        if (keys.removeAll(kCloseKey) > 0)
            action->setShortcuts(keys);
    }
}

} // namespace

void installMdiKeys(QWidget &window, QMdiArea &area)
{
    for (QMdiSubWindow *child : area.subWindowList())
        leaveCloseKeyToWorkspace(child);
    QObject::connect(&area, &QMdiArea::subWindowActivated, &area, &leaveCloseKeyToWorkspace);
    auto *close = new QShortcut(kCloseKey, &window);
    // As the child's close button does: its unload handler runs, and the workspace activates
    // the next child at once.
    QObject::connect(close, &QShortcut::activated, &area, [&area] {
        if (QMdiSubWindow *active = area.activeSubWindow())
            active->close();
    });
    auto *next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), &window);
    QObject::connect(next, &QShortcut::activated, &area, &QMdiArea::activateNextSubWindow);
    auto *previous = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), &window);
    QObject::connect(previous, &QShortcut::activated, &area, &QMdiArea::activatePreviousSubWindow);
}

} // namespace lumora::app
