// The program entry: the command line, the web engine, then AppMain.
#include "app/app_main.h"
#include "app/command_line.h"
#include "app/ui_archive.h"
#include "engine/web/web_engine.h"
#include "platform/stop_requests.h"
#include "platform/system.h"

#include <iostream>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv)
{
    // First, so that every thread leaves the stop signals to the watch below.
    platform::StopRequestWatch::BlockStopSignals();
    platform::SetCommandLineArguments(std::vector<std::string>(argv + 1, argv + argc));
    lockora::app::g_commandLine = platform::CommandLineText();

    auto engine = lockora::engine::web::WebEngine::Create(lockora::engine::web::WebEngineOptions{});
    if (!engine.ok()) {
        std::cerr << "Lockora: the UI engine cannot start (error " << engine.code() << ")" << std::endl;
        return lockora::app::kExitEngineMissing;
    }
    lockora::engine::web::WebEngine& ui = **engine;
    // SIGTERM, SIGINT and SIGHUP close the window as its user would: the
    // settings are saved, the browser started for it and its run folder go.
    const platform::StopRequestWatch stops([&ui] { ui.RequestClose(); });
    return lockora::app::AppMain(ui, lockora::app::UiArchiveBlock(), [&ui] { return ui.RunMessageLoop(); });
}
