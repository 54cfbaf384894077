#include "engine/web/browser_launcher.h"

#include "platform/private_files.h"
#include "platform/process.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <utility>

namespace lockora::engine::web {
namespace {

std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// Whether a program takes the app-mode arguments of Chromium.
bool IsChromiumFamily(std::string_view program)
{
    const auto slash = program.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? program : program.substr(slash + 1);
    return name.find("chrom") != std::string_view::npos || name.find("edge") != std::string_view::npos ||
           name.find("brave") != std::string_view::npos;
}

std::vector<std::string> AppModeCommand(std::vector<std::string> command, const WindowLaunch& launch)
{
    command.push_back("--app=" + platform::FileUrl(launch.startFile));
    command.push_back("--user-data-dir=" + launch.profileFolder);
    command.push_back("--window-size=" + std::to_string(launch.width) + "," + std::to_string(launch.height));
    command.push_back("--no-first-run");
    command.push_back("--no-default-browser-check");
    command.push_back("--disable-sync");
    command.push_back("--disable-background-networking");
    command.push_back("--disable-component-update");
    return command;
}

} // namespace

BrowserLauncher::BrowserLauncher(ProcessRunner& runner, std::ostream& out, std::optional<std::string> setting,
                                 bool printAddress)
    : runner_(runner), out_(out), setting_(std::move(setting)), printAddress_(printAddress)
{
}

std::optional<std::vector<std::string>> BrowserLauncher::Command(const WindowLaunch& launch) const
{
    if (setting_ && !setting_->empty()) {
        if (*setting_ == "none")
            return std::nullopt;
        std::vector<std::string> command = SplitWords(*setting_);
        if (command.empty())
            return std::nullopt;
        if (IsChromiumFamily(command.front()))
            return AppModeCommand(std::move(command), launch);
        command.push_back(platform::FileUrl(launch.startFile));
        return command;
    }
    if (auto browsers = platform::AppModeBrowsers(); !browsers.empty())
        return AppModeCommand({std::move(browsers.front())}, launch);
    std::vector<std::string> opener = platform::DefaultBrowserOpener();
    if (opener.empty())
        return std::nullopt;
    opener.push_back(platform::FileUrl(launch.startFile));
    return opener;
}

void BrowserLauncher::CloseOwnWindow()
{
    if (ownWindow_ != 0)
        runner_.Stop(std::exchange(ownWindow_, 0), std::chrono::seconds(3));
}

void BrowserLauncher::Launch(const WindowLaunch& launch)
{
    if (const auto command = Command(launch)) {
        if (const ProcessId started = runner_.Start(*command)) {
            // Started on its own profile, the browser is this window's alone.
            const std::string ownProfile = "--user-data-dir=" + launch.profileFolder;
            if (std::find(command->begin(), command->end(), ownProfile) != command->end())
                ownWindow_ = started;
            return;
        }
    }
    // Nothing opened a window: the user (or a test) opens it.
    if (printAddress_)
        out_ << launch.startAddress << std::endl;
    else
        out_ << "Open " << platform::FileUrl(launch.startFile) << " in a browser" << std::endl;
}

bool BrowserLauncher::OpenWebAddress(const std::string& address)
{
    if (!address.starts_with("http://") && !address.starts_with("https://"))
        return false;
    std::vector<std::string> opener = platform::DefaultBrowserOpener();
    if (opener.empty())
        return false;
    opener.push_back(address);
    return runner_.Start(opener) != 0;
}

} // namespace lockora::engine::web
