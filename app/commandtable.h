#pragma once

#include <QString>
#include <span>

namespace lumora::app {

class MainWindow;
using Handler = void (MainWindow::*)();

// One command of the main window: the menu item that lists it, the toolbar button that runs
// it as well (when it has one) and the handler both run.
struct Command {
    const char *menu;            // the menu the item is in
    const char *name;            // the menu item's name
    const char *caption;         // "&" marks the access key
    const char *separatorBefore; // the name of a separator line above the item, or nullptr
    const char *toolbarKey;      // nullptr when no button runs the command
    const char *iconFile;        // the button's image in assets/toolbar/
    const char *tooltip;
    Handler handler;
};

struct MenuTitle {
    const char *name;
    const char *caption;
};

// Every command, in menu order.
std::span<const Command> commands();
// The menu bar from left to right.
std::span<const MenuTitle> menuTitles();
// The toolbar from left to right: the keys of its buttons, an empty key for a separator.
std::span<const char *const> toolbarLayout();

// The command a menu item or a toolbar key runs, or nullptr. Keys compare exactly.
const Command *commandNamed(const QString &name);
const Command *commandWithKey(const QString &key);

} // namespace lumora::app
