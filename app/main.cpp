// The program entry: the command line, the web engine, then AppMain.
#include "app/app_main.h"
#include "app/command_line.h"
#include "app/ui_archive.h"
#include "engine/web/web_engine.h"
#include "platform/message_box.h"
#include "platform/stop_requests.h"
#include "platform/system.h"
#include "platform/text.h"

#include <string>
#include <utility>
#include <vector>

namespace {

int RunProgram()
{
    lockora::app::g_commandLine = platform::CommandLineText();
    auto engine = lockora::engine::web::WebEngine::Create(lockora::engine::web::WebEngineOptions{});
    if (!engine.ok()) {
        // Without a page the box goes to standard error (or is the system's own).
        platform::MessageBox(u"the UI engine cannot start (error " +
                                 platform::Utf8ToUtf16(std::to_string(engine.code())) + u")",
                             u"Lockora", platform::kMbOk | platform::kMbIconError);
        return lockora::app::kExitEngineMissing;
    }
    lockora::engine::web::WebEngine& ui = **engine;
    // A request to stop from outside closes the window as its user would:
    // the settings are saved, the browser started for it and its run
    // folder go.
    const platform::StopRequestWatch stops([&ui] { ui.RequestClose(); });
    return lockora::app::AppMain(ui, lockora::app::UiArchiveBlock(), [&ui] { return ui.RunMessageLoop(); });
}

} // namespace

#ifdef _WIN32
// The entry of a Windows GUI program (linked with -municode -mwindows); the
// command line comes from the system.
extern "C" int __stdcall wWinMain(void*, void*, wchar_t*, int)
{
    return RunProgram();
}
#else
int main(int argc, char** argv)
{
    // First, so that every thread leaves the stop signals to the watch.
    platform::StopRequestWatch::BlockStopSignals();
    platform::SetCommandLineArguments(std::vector<std::string>(argv + 1, argv + argc));
    return RunProgram();
}
#endif
