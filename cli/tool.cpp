#include "cli/tool.h"

#include "cli/host_paths.h"
#include "cli/item_runner.h"
#include "cli/password_input.h"
#include "cli/tool_options.h"
#include "log/diagnostic_log.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/system.h"
#include "platform/stop_requests.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "settings/settings_store.h"
#include "shell/desktop_integration.h"
#include "system/version_strings.h"

#include <cstdio>
#include <set>

namespace lockora::cli {
namespace {

constexpr const char* kToolName = "lockora-xep";
#ifdef _WIN32
constexpr std::u16string_view kProgramFileName = u"lockora.exe";
#else
constexpr std::u16string_view kProgramFileName = u"lockora";
#endif

void PrintProblem(const std::string& path, const std::string& reason)
{
    std::fprintf(stderr, "%s: %s: %s\n", kToolName, path.c_str(), reason.c_str());
}

int UsageFailure(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kToolName, message.c_str(), kToolName);
    return kExitUsage;
}

std::string VersionText()
{
    std::u16string file;
    std::u16string product;
    system::GetVersionString({}, u"FileVersion", file);
    system::GetVersionString({}, u"ProductVersion", product);
    return std::string(kToolName) + " (Ombrix Lockora Sentinex) " + platform::Utf16ToUtf8(file) + ", product " +
           platform::Utf16ToUtf8(product) + "\n";
}

// The log and the settings beside the executable, as the program has them.
settings::SettingsRecord OpenProgramStores()
{
    const std::u16string logFolder = platform::ModuleDir() + u"\\Log\\";
    if (!platform::IsDirectory(logFolder))
        (void)platform::CreateDirectory(logFolder);
    logging::InitLog(logFolder + u"Lockora.log");
    settings::SettingsRecord record;
    settings::LoadSettings(record);
    return record;
}

// Every path as the engine takes it; a path that cannot be an item, or that
// was given before, gets its line here and is left out.
std::vector<ItemTarget> ResolveItems(const std::vector<std::string>& typed, bool& anyFailed)
{
    std::vector<ItemTarget> items;
    std::set<std::u16string> seen;
    for (const std::string& path : typed) {
        auto program = ToProgramPath(path);
        if (!program) {
            PrintProblem(path, "is not on a drive of the drive table (LOCKORA_DRIVES)");
            anyFailed = true;
            continue;
        }
        if (!platform::PathExists(*program)) {
            PrintProblem(path, platform::Utf16ToUtf8(platform::SystemMessage(platform::kErrorFileNotFound)));
            anyFailed = true;
            continue;
        }
        if (!seen.insert(*program).second) {
            PrintProblem(path, "is given more than once; it is handled once");
            anyFailed = true;
            continue;
        }
        items.push_back({path, std::move(program).value()});
    }
    return items;
}

// Asks on the terminal unless -y; without a terminal nothing is shredded.
int ConfirmShred(const std::vector<ItemTarget>& items, bool assumeYes)
{
    if (assumeYes)
        return kExitSuccess;
    auto terminal = platform::Terminal::Open();
    if (!terminal)
        return UsageFailure("shred asks for a confirmation, and there is no terminal to ask on; use -y");
    std::string question = "These will be shredded:\n";
    for (const ItemTarget& item : items)
        question += "  " + item.typed + "\n";
    question += "The shredded data cannot be recovered. Are you sure to continue? [y/N] ";
    std::string answer;
    if (!terminal->Ask(question, answer, platform::Echo::On) ||
        (answer != "y" && answer != "Y" && answer != "yes")) {
        std::fprintf(stderr, "%s: nothing was shredded\n", kToolName);
        return kExitItemFailed;
    }
    return kExitSuccess;
}

ItemReport RunItem(ItemRunner& runner, Command command, const ItemTarget& item, const Password* password)
{
    switch (command) {
    case Command::Encrypt:
        return runner.Encrypt(item, password->text());
    case Command::Decrypt:
        return runner.Decrypt(item, password->text());
    case Command::Verify:
        return runner.Verify(item, password->text());
    case Command::Info:
        return runner.Info(item);
    case Command::Shred:
    case Command::DesktopAdd:
    case Command::DesktopRemove:
        break;
    }
    return runner.Shred(item);
}

// The desktop entries of the program beside the tool.
int RunDesktopCommand(Command command)
{
    const std::u16string programPath = platform::ModuleDir() + u"\\" + std::u16string(kProgramFileName);
    const auto program = platform::ToHostPath(programPath);
    if (!program || !platform::PathExists(programPath)) {
        PrintProblem(platform::Utf16ToUtf8(programPath), "the program is not beside this tool");
        return kExitItemFailed;
    }
    if (command == Command::DesktopRemove) {
        shell::RemoveDesktopIntegration();
        return kExitSuccess;
    }
    if (!shell::InstallDesktopIntegration(*program)) {
        std::fprintf(stderr, "%s: not every desktop entry could be written\n", kToolName);
        return kExitItemFailed;
    }
    return kExitSuccess;
}

int Run(const ToolOptions& options)
{
    if (options.command == Command::DesktopAdd || options.command == Command::DesktopRemove)
        return RunDesktopCommand(options.command);

    settings::SettingsRecord settings = OpenProgramStores();
    if (options.sourceHandling)
        settings.iDelSel = *options.sourceHandling;
    if (options.strong)
        settings.bStrong = true;
    // A damaged record is reported on the item's line; no box to answer.
    const platform::MessageBoxHandler previousBox = platform::SetMessageBoxHandler(
        [](const std::u16string&, const std::u16string&, std::uint32_t type) {
            return platform::DefaultMessageBoxButton(type);
        });
    struct RestoreBox {
        const platform::MessageBoxHandler& previous;
        ~RestoreBox() { platform::SetMessageBoxHandler(previous); }
    } restoreBox{previousBox};

    bool anyFailed = false;
    const std::vector<ItemTarget> items = ResolveItems(options.paths, anyFailed);
    if (items.empty())
        return kExitItemFailed;

    std::optional<Password> password;
    const bool needsPassword = options.command == Command::Encrypt || options.command == Command::Decrypt ||
                               options.command == Command::Verify;
    if (needsPassword) {
        PasswordRead read = ReadPassword(options.command == Command::Encrypt ? PasswordUse::Create : PasswordUse::Open,
                                         options.passwordFile);
        if (!read.password) {
            if (read.failure.exitCode == kExitUsage)
                return UsageFailure(read.failure.message);
            std::fprintf(stderr, "%s: %s\n", kToolName, read.failure.message.c_str());
            return kExitItemFailed;
        }
        password = std::move(read.password);
    }
    if (options.command == Command::Shred) {
        if (const int confirmed = ConfirmShred(items, options.assumeYes); confirmed != kExitSuccess)
            return confirmed;
    }

    ProgressBar bar(platform::IsTerminal(platform::StandardStream::Error));
    EngineListener listener(bar);
    ItemRunner runner(settings, listener);
    // An interrupt lets the item in progress finish, so that no half-written
    // container or restored file is left, and then ends the run.
    const platform::StopRequestGuard stop;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (stop.Requested()) {
            std::fprintf(stderr, "%s: stopped; %zu of %zu items were not started\n", kToolName, items.size() - index,
                         items.size());
            return kExitItemFailed;
        }
        const ItemTarget& item = items[index];
        const ItemReport report = RunItem(runner, options.command, item, password ? &*password : nullptr);
        if (!report.output.empty()) {
            std::fprintf(stdout, "%s\n", report.output.c_str());
            std::fflush(stdout);
        }
        for (const std::string& problem : report.problems)
            PrintProblem(item.typed, problem);
        anyFailed = anyFailed || !report.ok;
    }
    return anyFailed ? kExitItemFailed : kExitSuccess;
}

} // namespace

int RunTool(const std::vector<std::string>& arguments)
{
    platform::UseUtf8Console();
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (const auto* error = std::get_if<UsageError>(&parsed))
        return UsageFailure(error->message);
    if (std::holds_alternative<ShowHelp>(parsed)) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitSuccess;
    }
    if (std::holds_alternative<ShowVersion>(parsed)) {
        std::fputs(VersionText().c_str(), stdout);
        return kExitSuccess;
    }
    return Run(std::get<ToolOptions>(parsed));
}

} // namespace lockora::cli
