#pragma once

#include <QString>
#include <vector>

namespace lumora::app {

// One entry of the menu bar: a menu item's name and caption ("-" for a separator), and the
// entries of its menu.
struct MenuItemDef {
    const char *name;
    const char *caption;
};

struct MenuDef {
    MenuItemDef title;
    std::vector<MenuItemDef> items;
};

const std::vector<MenuDef> &menuTree();

// One toolbar button: its key (empty for a separator), image number (from 1) and tooltip.
struct ToolButtonDef {
    const char *key;
    int image;
    const char *tooltip;
};

const std::vector<ToolButtonDef> &toolbarButtons();

} // namespace lumora::app
