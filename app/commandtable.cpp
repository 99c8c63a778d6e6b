#include "app/commandtable.h"

namespace lumora::app {

const std::vector<MenuDef> &menuTree()
{
    static const std::vector<MenuDef> tree = {
        {{"mnufile", "&File"},
         {{"mnufileopen", "O&pen"},
          {"mnufileopenmulti", "Scr&een Show"},
          {"dummy", "-"},
          {"mnufilesaveas", "&Save As..."},
          {"mnufilepp", "&Print Preview"},
          {"mnufileselprint", "Printer Setup"},
          {"mnufileprint", "P&rint"},
          {"mnufiledummy", "-"},
          {"mnufileexit", "&Exit"}}},
        {{"mnuedit", "&Edit"},
         {{"mnueditcopy", "C&opy"},
          {"mnueditwall", "Set as WallPaper"},
          {"dummy5", "-"},
          {"mnueditzoomin", "Zoom In"},
          {"mnueditzoomout", "Zoom Out"}}},
        {{"mnuwindow", "&Window"},
         {{"mnuwindowcascade", "&Cascade"},
          {"optileh", "Tile Horizontal"},
          {"optilev", "Tile Vertical"}}},
        {{"mnuhelp", "&Help"}, {{"mnuhelpcontents", "Contents"}, {"mnuhelpabout", "About..."}}},
    };
    return tree;
}

const std::vector<ToolButtonDef> &toolbarButtons()
{
    static const std::vector<ToolButtonDef> buttons = {
        {"open", 1, "Open"},    {"show", 2, "Slide Show"}, {"", 0, ""},
        {"copy", 3, "Copy"},    {"cascade", 4, "Cascade"}, {"zoomin", 5, "Zoom In"},
        {"zoomout", 6, "Zoom Out"}, {"", 0, ""},           {"save", 7, "Save"},
        {"preview", 8, "Preview"}, {"print", 9, "Print"},  {"", 0, ""},
        {"help", 10, "Help"},   {"exit", 11, "Exit"},
    };
    return buttons;
}

} // namespace lumora::app
