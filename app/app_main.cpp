#include "app/app_main.h"

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/single_instance.h"
#include "log/diagnostic_log.h"
#include "platform/folders.h"
#include "platform/system.h"

namespace lockora::app {
namespace {

// The UI archive, open while the program runs.
class OpenArchive {
public:
    OpenArchive(bridge::Engine& engine, std::span<const std::uint8_t> block)
        : engine_(engine), archive_(engine.OpenArchive(block))
    {
    }
    ~OpenArchive() { engine_.CloseArchive(archive_); }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;

    bridge::ArchiveId id() const { return archive_; }

private:
    bridge::Engine& engine_;
    const bridge::ArchiveId archive_;
};

void CreateLogFolder()
{
    const std::u16string folder = platform::ModuleDir() + u"\\Log\\";
    // Without the folder the log writes nothing; the program still starts.
    if (!platform::IsDirectory(folder))
        static_cast<void>(platform::CreateDirectory(folder));
}

// Hands the command line's path to the first page as [path, isDir].
void ShowPathInfo(MainFrame& frame, std::u16string path)
{
    const bool isDir = platform::IsDirectory(path);
    const bridge::ScriptValue argument =
        bridge::ScriptValue::Array({bridge::ScriptValue::String(std::move(path)), bridge::ScriptValue::Int(isDir)});
    try {
        frame.CallPageFunction("ShowPathInfo", argument);
    } catch (const bridge::PageScriptError& error) {
        logging::LogLess("ShowPathInfo failed: %s", error.what());
    }
}

} // namespace

int AppMain(bridge::Engine& engine, std::span<const std::uint8_t> uiArchive, const std::function<int()>& runMessageLoop)
{
    CreateLogFolder();
    const OpenArchive archive(engine, uiArchive);
    MainFrame frame(engine, archive.id());

    if (g_commandLine.empty() || IsBareVerb(g_commandLine)) {
        frame.LoadPage(kMainPage);
    } else {
        if (ClaimSingleInstance())
            return kExitOtherInstance;
        if (const auto page = VerbPage(g_commandLine)) {
            frame.LoadPage(*page);
            ShowPathInfo(frame, HandedOverPath(g_commandLine));
        } else {
            frame.LoadPage(kMainPage);
        }
    }

    const bridge::WindowId window = frame.Window();
    if (window == 0)
        return kExitEngineMissing;
    engine.ShowWindow(window);
    return runMessageLoop();
}

} // namespace lockora::app
