#include "shell/desktop_integration.h"

#include "engine/archive.h"
#include "log/diagnostic_log.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"
#include "settings/language.h"
#include "shell/desktop_entries.h"
#include "desktop_icons_block.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace lockora::shell {
namespace {

namespace fs = std::filesystem;

constexpr auto kToolWait = std::chrono::seconds(30);
// The icon theme's folders and the pictures packed for them.
constexpr std::array<std::string_view, 8> kIconSizes = {"16x16",  "24x24",   "32x32",   "48x48",
                                                         "64x64",  "128x128", "256x256", "scalable"};

// An XDG base folder: the variable when it holds an absolute path, else the
// fallback below the home folder.
std::optional<fs::path> BaseFolder(const char* variable, const char* fallback)
{
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return fs::path(value);
    const auto home = platform::HomeFolder();
    if (!home)
        return std::nullopt;
    return fs::path(*home) / fallback;
}

struct Folders {
    fs::path data;
    fs::path config;
};

std::optional<Folders> UserFolders()
{
    auto data = BaseFolder("XDG_DATA_HOME", ".local/share");
    auto config = BaseFolder("XDG_CONFIG_HOME", ".config");
    if (!data || !config)
        return std::nullopt;
    return Folders{std::move(*data), std::move(*config)};
}

fs::path IconPath(const fs::path& data, std::string_view size)
{
    const std::string name = std::string(kDesktopId) + (size == "scalable" ? ".svg" : ".png");
    return data / "icons/hicolor" / std::string(size) / "apps" / name;
}

std::optional<std::string> ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes beside the target and renames, so a user's file is never left
// half-written.
bool WriteFile(const fs::path& path, std::string_view bytes, bool executable)
{
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const fs::path temporary = path.string() + ".lockora-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            fs::remove(temporary, error);
            return false;
        }
    }
    const auto mode = executable ? fs::perms(0755) : fs::perms(0644);
    fs::permissions(temporary, mode, error);
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

// Runs a database tool on `folder` and waits for it, when it is installed.
void Refresh(const char* tool, const fs::path& folder)
{
    const std::string program = platform::FindProgram(tool);
    if (program.empty())
        return;
    platform::ChildProcesses children;
    const platform::ProcessId started = children.Start({program, folder.string()});
    if (started == 0 || !children.Wait(started, kToolWait))
        logging::LogDebug("%s did not finish for %s", tool, folder.c_str());
}

// Removes `path` and then each folder above it that is left empty, up to
// (not including) `root`.
void RemoveAndPrune(const fs::path& path, const fs::path& root)
{
    std::error_code error;
    fs::remove(path, error);
    for (fs::path folder = path.parent_path(); folder != root && folder.string().starts_with(root.string());
         folder = folder.parent_path()) {
        if (!fs::is_empty(folder, error) || error || !fs::remove(folder, error))
            break;
    }
}

// A Nautilus script of ours, in either language, is told apart from a
// user's script of the same name by its comment line.
bool IsOurScript(const fs::path& path)
{
    const auto text = ReadText(path);
    return text && text->find("\n# " + std::string(kProductName.en) + ": ") != std::string::npos;
}

std::vector<fs::path> NautilusScripts(const fs::path& data)
{
    std::vector<fs::path> scripts;
    for (const DesktopVerb& verb : kDesktopVerbs) {
        for (const std::string_view name : {verb.name.en, verb.name.zh}) {
            const fs::path script = data / "nautilus/scripts" / std::string(name);
            if (IsOurScript(script))
                scripts.push_back(script);
        }
    }
    return scripts;
}

bool InstallIcons(const fs::path& data)
{
    const auto archive = engine::Archive::Open(DesktopIconsBlock());
    if (!archive)
        return false;
    bool written = true;
    for (const std::string_view size : kIconSizes) {
        const std::string name = std::string(size) + (size == "scalable" ? ".svg" : ".png");
        const auto bytes = archive->Item(platform::Utf8ToUtf16(name));
        written = bytes && WriteFile(IconPath(data, size),
                                     std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                                     false) &&
                  written;
    }
    return written;
}

bool InstallThunarActions(const fs::path& config, const std::string& executable)
{
    const fs::path uca = config / "Thunar/uca.xml";
    std::string text = ReadText(uca).value_or(std::string());
    if (!AddThunarActions(text, executable)) {
        logging::LogDebug("Thunar's uca.xml holds no list of actions; left alone");
        return false;
    }
    return WriteFile(uca, text, false);
}

void DropThunarActions(const fs::path& config)
{
    const fs::path uca = config / "Thunar/uca.xml";
    const auto text = ReadText(uca);
    if (!text)
        return;
    const std::string kept = RemoveThunarActions(*text);
    if (kept.empty())
        RemoveAndPrune(uca, config);
    else if (kept != *text)
        (void)WriteFile(uca, kept, false);
}

} // namespace

bool InstallDesktopIntegration(const std::string& program)
{
    const auto folders = UserFolders();
    if (!folders)
        return false;
    const std::string language = platform::Utf16ToUtf8(settings::GetLang().ToString());

    // A change of language renames the scripts: the old names go first.
    for (const fs::path& script : NautilusScripts(folders->data))
        RemoveAndPrune(script, folders->data);
    bool written = true;
    for (const DesktopFile& file : DesktopFiles(program, language))
        written = WriteFile(folders->data / file.path, file.content, file.executable) && written;
    written = InstallIcons(folders->data) && written;
    written = InstallThunarActions(folders->config, program) && written;

    Refresh("update-mime-database", folders->data / "mime");
    // Desktops read the launchers themselves; a type cache is kept up to
    // date where the user has one, and none is made where there is none.
    const fs::path applications = folders->data / "applications";
    std::error_code error;
    if (fs::exists(applications / "mimeinfo.cache", error))
        Refresh("update-desktop-database", applications);
    if (!written)
        logging::LogDebug("Desktop integration incomplete below %s", folders->data.c_str());
    return written;
}

void RemoveDesktopIntegration()
{
    const auto folders = UserFolders();
    if (!folders)
        return;
    const fs::path& data = folders->data;
    for (const fs::path& script : NautilusScripts(data))
        RemoveAndPrune(script, data);
    // The executable and language only shape the files' content; their
    // paths are the same for every program folder.
    for (const DesktopFile& file : DesktopFiles({}, "en")) {
        if (!file.path.starts_with("nautilus/"))
            RemoveAndPrune(data / file.path, data);
    }
    for (const std::string_view size : kIconSizes)
        RemoveAndPrune(IconPath(data, size), data);
    DropThunarActions(folders->config);

    // The type database is rebuilt for what others installed, or goes with
    // the last package it described.
    std::error_code error;
    const fs::path mime = data / "mime";
    if (fs::exists(mime / "packages", error))
        Refresh("update-mime-database", mime);
    else if (fs::exists(mime, error))
        fs::remove_all(mime, error);
    if (fs::exists(data / "applications/mimeinfo.cache", error))
        Refresh("update-desktop-database", data / "applications");
}

} // namespace lockora::shell
