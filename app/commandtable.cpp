#include "app/commandtable.h"

#include "app/mainwindow.h"

#include <array>

namespace lumora::app {

namespace {

using W = MainWindow;

constexpr std::array kCommands = {
    Command{"mnufile", "mnufileopen", "O&pen", nullptr, "open", "01-open.bmp", "Open",
            &W::mnufileopen_Click},
    Command{"mnufile", "mnufileopenmulti", "Scr&een Show", nullptr, "show", "02-camera.bmp",
            "Slide Show", &W::mnufileopenmulti_Click},
    Command{"mnufile", "mnufilesaveas", "&Save As...", "dummy", "save", "07-save.bmp", "Save",
            &W::mnufilesaveas_Click},
    Command{"mnufile", "mnufilepp", "&Print Preview", nullptr, "preview", "08-preview.bmp",
            "Preview", &W::mnufilepp_Click},
    Command{"mnufile", "mnufileselprint", "Printer Setup", nullptr, nullptr, nullptr, nullptr,
            &W::mnufileselprint_Click},
    Command{"mnufile", "mnufileprint", "P&rint", nullptr, "print", "09-print.bmp", "Print",
            &W::mnufileprint_Click},
    Command{"mnufile", "mnufileexit", "&Exit", "mnufiledummy", "exit", "11-exit.bmp", "Exit",
            &W::mnufileexit_Click},
    Command{"mnuedit", "mnueditcopy", "C&opy", nullptr, "copy", "03-copy.bmp", "Copy",
            &W::mnueditcopy_Click},
    Command{"mnuedit", "mnueditwall", "Set as WallPaper", nullptr, nullptr, nullptr, nullptr,
            &W::mnueditwall_Click},
    Command{"mnuedit", "mnueditzoomin", "Zoom In", "dummy5", "zoomin", "05-zoomin.bmp", "Zoom In",
            &W::mnueditzoomin_Click},
    Command{"mnuedit", "mnueditzoomout", "Zoom Out", nullptr, "zoomout", "06-zoomout.bmp",
            "Zoom Out", &W::mnueditzoomout_Click},
    Command{"mnuwindow", "mnuwindowcascade", "&Cascade", nullptr, "cascade", "04-cascade.bmp",
            "Cascade", &W::mnuwindowcascade_Click},
    Command{"mnuwindow", "optileh", "Tile Horizontal", nullptr, nullptr, nullptr, nullptr,
            &W::optileh_Click},
    Command{"mnuwindow", "optilev", "Tile Vertical", nullptr, nullptr, nullptr, nullptr,
            &W::optilev_Click},
    Command{"mnuhelp", "mnuhelpcontents", "Contents", nullptr, "help", "10-help.bmp", "Help",
            &W::mnuhelpcontents_Click},
    Command{"mnuhelp", "mnuhelpabout", "About...", nullptr, nullptr, nullptr, nullptr,
            &W::mnuhelpabout_Click},
};

constexpr std::array kMenuTitles = {
    MenuTitle{"mnufile", "&File"},
    MenuTitle{"mnuedit", "&Edit"},
    MenuTitle{"mnuwindow", "&Window"},
    MenuTitle{"mnuhelp", "&Help"},
};

constexpr std::array<const char *, 14> kToolbar = {
    "open", "show", "",        "copy",  "cascade", "zoomin", "zoomout",
    "",     "save", "preview", "print", "",        "help",   "exit",
};

} // namespace

std::span<const Command> commands()
{
    return kCommands;
}

std::span<const MenuTitle> menuTitles()
{
    return kMenuTitles;
}

std::span<const char *const> toolbarLayout()
{
    return kToolbar;
}

const Command *commandNamed(const QString &name)
{
    for (const Command &command : kCommands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

const Command *commandWithKey(const QString &key)
{
    for (const Command &command : kCommands) {
        if (command.toolbarKey && key == QLatin1String(command.toolbarKey))
            return &command;
    }
    return nullptr;
}

} // namespace lumora::app
