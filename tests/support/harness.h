#pragma once

#include "app/mainwindow.h"
#include "tests/support/scripteddialogs.h"

#include <QString>
#include <memory>

namespace lumora::testing {

// A main window built in-process with scripted dialogs and an End that is only recorded.
struct MainWindowHarness {
    MainWindowHarness() : window(std::make_unique<app::MainWindow>(dialogs))
    {
        window->setEndAction([this] { ++endCalls; });
        window->resize(1000, 750);
        window->show();
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<app::MainWindow> window;
    int endCalls = 0;
};

// Starts a screen show on `settings`, as BEGIN does.
inline show::ShowPlayer *startShow(app::MainWindow &window, const show::ShowSettings &settings)
{
    window.showCommands().settings() = settings;
    return window.showCommands().startShow();
}

// The folder of committed test data.
inline QString testData(const QString &relative)
{
    return QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/") + relative;
}

} // namespace lumora::testing
