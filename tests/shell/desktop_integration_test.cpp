#include "shell/context_menu.h"
#include "shell/desktop_entries.h"

#include "platform/path.h"
#include "platform/system.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace lockora::shell {
namespace {

namespace fs = std::filesystem;
using testing::SandboxTest;

// Every file below `root` with its bytes and whether it may be executed.
using Tree = std::map<std::string, std::pair<std::string, bool>>;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, std::string_view text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

Tree Snapshot(const fs::path& root)
{
    Tree tree;
    if (!fs::exists(root))
        return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (entry.is_directory())
            tree[name + "/"] = {};
        else
            tree[name] = {ReadFile(entry.path()), (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none};
    }
    return tree;
}

struct CommandResult {
    int status = -1;
    std::string output;
};

// Runs a shell command line and collects its standard output.
CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
    if (!pipe)
        return result;
    std::array<char, 4096> buffer{};
    while (const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe.get()))
        result.output.append(buffer.data(), read);
    const int status = ::pclose(pipe.release());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    while (!result.output.empty() && result.output.back() == '\n')
        result.output.pop_back();
    return result;
}

// A desktop-entry style key file as group -> key -> value; empty when a line
// is neither a group, a key=value pair, a comment nor blank.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

KeyFile ParseKeyFile(const std::string& text)
{
    KeyFile groups;
    std::string group;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            continue;
        }
        const auto equals = line.find('=');
        if (group.empty() || equals == std::string::npos || equals == 0)
            return {};
        groups[group][line.substr(0, equals)] = line.substr(equals + 1);
    }
    return groups;
}

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// A user's own Thunar actions as Thunar writes them.
constexpr std::string_view kUserUca = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<actions>\n"
                                      "<action>\n"
                                      "\t<icon>utilities-terminal</icon>\n"
                                      "\t<name>Open Terminal Here</name>\n"
                                      "\t<unique-id>1600000000000000-1</unique-id>\n"
                                      "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
                                      "\t<description>Example for a custom action</description>\n"
                                      "\t<patterns>*</patterns>\n"
                                      "\t<startup-notify/>\n"
                                      "\t<directories/>\n"
                                      "</action>\n"
                                      "</actions>\n";

class DesktopIntegrationTest : public SandboxTest {
protected:
    fs::path data() { return sandbox().xdgDataHome(); }
    fs::path config() { return sandbox().xdgConfigHome(); }
    std::string executable() const { return *platform::ToHostPath(platform::ModuleFileName()); }

    // What the user had before: an application, a script and a Thunar action.
    void MakeUsersOwnFiles()
    {
        WriteFile(data() / "applications/user-editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %f\nMimeType=text/plain;\n");
        WriteFile(data() / "nautilus/scripts/My script", "#!/bin/sh\necho mine\n");
        WriteFile(config() / "Thunar/uca.xml", kUserUca);
        // A launcher type cache of the user's own, which ours must join and leave.
        EXPECT_EQ(RunCommand("update-desktop-database " + Quoted(data() / "applications")).status, 0);
    }

    Tree Everything()
    {
        Tree tree = Snapshot(data());
        for (auto& [name, file] : Snapshot(config()))
            tree["config:" + name] = file;
        return tree;
    }
};

TEST_F(DesktopIntegrationTest, AddedEntriesPassTheDesktopToolsAndRemovalRestoresTheFoldersExactly)
{
    MakeUsersOwnFiles();
    const Tree before = Everything();

    EXPECT_EQ(AddContext(), bridge::ScriptValue::Int(0));
    const Tree added = Everything();

    const CommandResult validated = RunCommand("desktop-file-validate " + Quoted(data() / "applications/ombrix-lockora-sentinex.desktop"));
    EXPECT_EQ(validated.status, 0) << validated.output;
    EXPECT_NE(ReadFile(data() / "applications/ombrix-lockora-sentinex.desktop").find("Exec=\"" + executable() + "\" open %f"),
              std::string::npos);
    EXPECT_NE(ReadFile(data() / "applications/mimeinfo.cache").find(std::string(kContainerMimeType) + "=ombrix-lockora-sentinex.desktop;"),
              std::string::npos);

    // Dolphin's service menus: encrypt and shred on everything, decrypt on containers.
    const KeyFile everything = ParseKeyFile(ReadFile(data() / "kio/servicemenus/ombrix-lockora-sentinex.desktop"));
    const KeyFile containers = ParseKeyFile(ReadFile(data() / "kio/servicemenus/ombrix-lockora-sentinex-containers.desktop"));
    ASSERT_FALSE(everything.empty() || containers.empty());
    EXPECT_EQ(everything.at("Desktop Entry").at("Actions"), "encrypt;remove;");
    EXPECT_EQ(containers.at("Desktop Entry").at("MimeType"), std::string(kContainerMimeType) + ";");
    // The desktop finds the type of a container and starts us for it.
    WriteFile(data() / "x.xep", "container");
    const std::string xdg = "XDG_CURRENT_DESKTOP=GNOME xdg-mime query ";
    EXPECT_EQ(RunCommand(xdg + "filetype " + Quoted(data() / "x.xep")).output, kContainerMimeType);
    EXPECT_EQ(RunCommand(xdg + "default " + std::string(kContainerMimeType)).output, "ombrix-lockora-sentinex.desktop");

    // Thunar's list and the type's package are well-formed XML; the user's
    // action stays and ours carry the catalogue's texts in both languages.
    for (const fs::path& xml : {config() / "Thunar/uca.xml", data() / "mime/packages/ombrix-lockora-sentinex.xml"}) {
        const CommandResult checked = RunCommand("xmllint --noout " + Quoted(xml));
        EXPECT_EQ(checked.status, 0) << xml << ": " << checked.output;
    }
    const std::string uca = ReadFile(config() / "Thunar/uca.xml");
    EXPECT_NE(uca.find("<name>Open Terminal Here</name>"), std::string::npos);
    for (const DesktopVerb& verb : kDesktopVerbs) {
        for (const std::string_view name : {verb.name.en, verb.name.zh})
            EXPECT_NE(uca.find(std::string(name) + "</name>"), std::string::npos) << name;
        const auto& dolphin = (verb.containersOnly ? containers : everything).at("Desktop Action " + std::string(verb.word));
        EXPECT_EQ(dolphin.at("Name[zh_CN]"), verb.name.zh);
        EXPECT_EQ(dolphin.at("Exec"), "\"" + executable() + "\" " + std::string(verb.word) + " %f");
        const KeyFile nemo = ParseKeyFile(
            ReadFile(data() / ("nemo/actions/ombrix-lockora-sentinex-" + std::string(verb.word) + ".nemo_action")));
        ASSERT_TRUE(nemo.contains("Nemo Action")) << verb.word;
        const auto& action = nemo.at("Nemo Action");
        EXPECT_EQ(action.at("Name"), verb.name.en);
        EXPECT_EQ(action.at("Name[zh_CN]"), verb.name.zh);
        EXPECT_NE(action.at("Exec").find("'" + executable() + "'"), std::string::npos) << verb.word;
        EXPECT_EQ(action.at("Extensions"), verb.containersOnly ? "xep;" : "any;");
        // Scripts are named in the program's language (English here) and may run.
        EXPECT_TRUE(added.at("nautilus/scripts/" + std::string(verb.name.en)).second) << verb.word;
    }
    EXPECT_TRUE(added.at("kio/servicemenus/ombrix-lockora-sentinex.desktop").second);
    for (const char* size : {"16x16", "48x48", "256x256"})
        EXPECT_TRUE(fs::file_size(data() / "icons/hicolor" / size / "apps/ombrix-lockora-sentinex.png") > 0) << size;

    // Adding again changes nothing; removing twice leaves what was there before.
    fs::remove(data() / "x.xep");
    const Tree addedOnce = Everything();
    EXPECT_EQ(AddContext(), bridge::ScriptValue::Int(0));
    EXPECT_EQ(Everything(), addedOnce);
    EXPECT_EQ(RemoveContext(), bridge::ScriptValue::Int(0));
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(RemoveContext(), bridge::ScriptValue::Int(0));
    EXPECT_EQ(Everything(), before);
}

TEST_F(DesktopIntegrationTest, RemovalIntoEmptyFoldersLeavesThemEmpty)
{
    EXPECT_EQ(AddContext(), bridge::ScriptValue::Int(0));
    EXPECT_TRUE(fs::exists(data() / "mime/mime.cache"));
    EXPECT_TRUE(fs::exists(config() / "Thunar/uca.xml"));
    EXPECT_EQ(RemoveContext(), bridge::ScriptValue::Int(0));
    EXPECT_EQ(Everything(), Tree{});
}

TEST(ThunarActions, OursAreReplacedAndRemovedWhileTheUsersStayByteForByte)
{
    std::string uca(kUserUca);
    ASSERT_TRUE(AddThunarActions(uca, "/opt/old/lockora"));
    ASSERT_TRUE(AddThunarActions(uca, "/opt/it's new/lockora"));
    EXPECT_EQ(uca.find("/opt/old/"), std::string::npos);
    EXPECT_NE(uca.find("'/opt/it'\\''s new/lockora' %F"), std::string::npos);
    EXPECT_NE(uca.find("&amp; done"), std::string::npos);
    EXPECT_EQ(RemoveThunarActions(uca), kUserUca);

    // A list we made alone goes with our actions; a text without a list is not ours to change.
    std::string made;
    ASSERT_TRUE(AddThunarActions(made, "/opt/lockora"));
    EXPECT_EQ(RemoveThunarActions(made), "");
    std::string broken = "<?xml version=\"1.0\"?>\n<actions>\n";
    EXPECT_FALSE(AddThunarActions(broken, "/opt/lockora"));
    EXPECT_EQ(broken, "<?xml version=\"1.0\"?>\n<actions>\n");
}

TEST(DesktopEntries, ExecQuotesEveryReservedCharacter)
{
    // Quoted for the Exec key's rules, then with each backslash doubled for
    // the key file's string rules.
    EXPECT_EQ(ExecArgument("/opt/a b/lockora"), "\"/opt/a b/lockora\"");
    EXPECT_EQ(ExecArgument("/opt/$x`\"\\%/lockora"), "\"/opt/\\\\$x\\\\`\\\\\"\\\\\\\\%%/lockora\"");
}

TEST(DesktopEntries, TextsAreTheCataloguesOwn)
{
    const auto catalogue = [](const char* language) {
        return nlohmann::json::parse(ReadFile(fs::path(LOCKORA_UI_DIR) / "tis" / (std::string(language) + ".tis")));
    };
    const nlohmann::json en = catalogue("en");
    const nlohmann::json zh = catalogue("zh");
    const auto expect = [&](const char* key, const Localized& text) {
        EXPECT_EQ(en.at(key).get<std::string>(), text.en) << key;
        EXPECT_EQ(zh.at(key).get<std::string>(), text.zh) << key;
    };
    expect("COMPAENY", kProductName);
    expect("FILTER_CONTAINERS", kContainerComment);
    expect("TITLE_ENCRYPT", kDesktopVerbs[0].name);
    expect("TITLE_DECRYPT", kDesktopVerbs[1].name);
    expect("TITLE_SHREDDING", kDesktopVerbs[2].name);
}

} // namespace
} // namespace lockora::shell
