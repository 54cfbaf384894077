// The tool and the program killed with SIGKILL at random moments, as a crash
// or a user's kill ends them: while they encrypt, verify, delete or shred,
// and while they save the settings and rewrite the registry. After every
// kill nothing is lost (the original is untouched, or a whole container of
// it exists), the settings file and the registry hold the old settings or
// the new ones, every hive parses, and the next start works. The kill
// moments come from a seeded generator; LOCKORA_KILL_SEED replays them.
#include "engine/web/testing/page_client.h"
#include "platform/posix/registry_hive.h"
#include "platform/text.h"
#include "settings/settings_file.h"
#include "settings/settings_registry.h"
#include "settings/settings_store.h"
#include "tests/cli/tool_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace lockora::cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using engine::web::testing::PageClient;
using lockora::testing::WriteHostFile;
using nlohmann::json;
using settings::SettingsRecord;
using testing::ChildProcess;
using testing::ToolProcess;
using testing::ToolRun;

constexpr int kRounds = 16; // kills per scenario
constexpr int kKilled = 128 + SIGKILL;
constexpr auto kChildBound = std::chrono::seconds(30);
const std::map<std::string, std::string> kPassword{{"LOCKORA_PASSWORD", "kill#test"}};

std::uint32_t Seed()
{
    if (const char* text = std::getenv("LOCKORA_KILL_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
    return std::random_device{}();
}

std::string Content(std::size_t size, unsigned salt)
{
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 131 + i / 7 + salt) & 0xFF);
    return content;
}

std::string ReadAll(const std::string& host)
{
    std::ifstream in(host, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// A file's bytes or a folder's snapshot; nothing once the item is gone.
std::optional<std::string> State(const std::string& host, bool folder)
{
    if (!fs::exists(host))
        return std::nullopt;
    return folder ? testing::TreeSnapshot(host) : ReadAll(host);
}

// Two settings that differ in every field the screens change; bReserved2
// stays true, as every load from the file makes it.
std::array<SettingsRecord, 2> Records()
{
    SettingsRecord a;
    a.bEptCanFgt = a.bReserved1 = a.bBackup = true;
    a.bAsk = false;
    a.iDelSel = 1;
    a.strBackDir = u"D:/Backup A";
    SettingsRecord b;
    b.bContextMenu = true;
    b.iDelSel = 2;
    b.strBackDir = u"D:/\u5907\u4EFD B";
    return {a, b};
}

// The settings screen's array; GetSettingInfo shows iDelSel as text.
json SettingsArray(const SettingsRecord& r, bool shown = false)
{
    return json::array({r.bUserPwd, r.bEptCanFgt, r.bReserved1, r.bReserved2, r.bBackup, r.bContextMenu, r.bAsk,
                        shown ? json(std::to_string(r.iDelSel)) : json(r.iDelSel), platform::Utf16ToUtf8(r.strBackDir)});
}

std::string RegistryFields(const SettingsRecord& r)
{
    std::ostringstream text;
    text << "bUserPwd=" << r.bUserPwd << " bEptCanFgt=" << r.bEptCanFgt << " bBackup=" << r.bBackup
         << " bContextMenu=" << r.bContextMenu << " bAsk=" << r.bAsk << " bStrong=" << r.bStrong
         << " iDelSel=" << r.iDelSel << " strBackDir=" << platform::Utf16ToUtf8(r.strBackDir);
    return text.str();
}

// The program as a desktop without a browser starts it: it names its start
// file, and the test opens the page from there.
class RunningProgram {
public:
    RunningProgram(const ToolProcess& tool, const std::string& program, const std::string& folder)
        : process_({program}, tool.Environment({{"LOCKORA_BROWSER", "none"}}), folder)
    {
    }

    bool Connect()
    {
        constexpr std::string_view kOpen = "Open file://", kPrinted = " in a browser";
        const std::string& out = process_.output();
        if (!process_.ReadUntil(kPrinted, kChildBound) || out.find(kOpen) == std::string::npos)
            return false;
        const std::size_t file = out.find(kOpen) + kOpen.size();
        const std::string start = ReadAll(out.substr(file, out.find(kPrinted, file) - file));
        const std::size_t url = start.find("url=http://127.0.0.1:");
        if (url == std::string::npos)
            return false;
        const std::string address = start.substr(url + 4, start.find('"', url) - url - 4);
        page_ = std::make_unique<PageClient>(static_cast<std::uint16_t>(std::stoi(address.substr(17))));
        if (page_->Start(address) != 200 || page_->OpenSocket() != 101)
            return false;
        page_->Ready();
        return true;
    }

    // The value of a native call; null when it failed or did not answer.
    json Call(const std::string& name, json args = json::array())
    {
        const auto result = page_->Call(name, std::move(args), kChildBound);
        return result ? result->value("value", json()) : json();
    }

    PageClient& page() { return *page_; }
    ChildProcess& process() { return process_; }

private:
    ChildProcess process_;
    std::unique_ptr<PageClient> page_;
};

class KillTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        tool_ = std::make_unique<ToolProcess>(sandbox());
        std::printf("kill test: seed %u (LOCKORA_KILL_SEED=%u replays the kill moments)\n", seed_, seed_);
    }

    // A kill moment between `from` and `to`.
    Clock::duration Delay(Clock::duration from, Clock::duration to)
    {
        using std::chrono::microseconds;
        return microseconds(std::uniform_int_distribution<long long>(
            std::chrono::duration_cast<microseconds>(from).count(),
            std::chrono::duration_cast<microseconds>(to).count())(random_));
    }
    std::string Trace(int round) const { return "seed " + std::to_string(seed_) + ", round " + std::to_string(round); }

    std::string Host(std::u16string_view folder, const std::string& name = {})
    {
        return sandbox().host(folder) + (name.empty() ? "" : "/" + name);
    }
    static std::string Name(bool folder) { return folder ? "tree" : "big.bin"; }
    std::string Item(bool folder) { return Host(u"C:\\Data", Name(folder)); }

    // A fresh C:\Data holding one item to encrypt; the item's state.
    std::string WriteItem(bool folder)
    {
        fs::remove_all(Host(u"C:\\Data"));
        if (!folder) {
            WriteHostFile(sandbox(), u"C:\\Data\\big.bin", Content(4 << 20, 0));
        } else {
            WriteHostFile(sandbox(), u"C:\\Data\\tree\\a.bin", Content(1 << 20, 1));
            WriteHostFile(sandbox(), u"C:\\Data\\tree\\sub\\b.bin", Content(1 << 20, 2));
            for (int i = 0; i < 24; ++i)
                WriteHostFile(sandbox(), u"C:\\Data\\tree\\sub\\many\\" + platform::Utf8ToUtf16(std::to_string(i)),
                              Content(1000 + i, 3));
            fs::create_directories(Host(u"C:\\Data\\tree\\empty"));
        }
        return State(Item(folder), folder).value();
    }

    std::vector<std::string> Containers()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Host(u"C:\\Data"))) {
            if (entry.path().extension() == ".xep")
                names.push_back(entry.path().filename().string());
        }
        return names;
    }

    // What a fresh tool process restores from the item's container, in a
    // folder of its own.
    std::optional<std::string> Restored(bool folder)
    {
        const std::string container = Name(folder) + ".xep";
        fs::remove_all(Host(u"C:\\Check"));
        fs::create_directories(Host(u"C:\\Check"));
        fs::copy_file(Host(u"C:\\Data", container), Host(u"C:\\Check", container));
        const ToolRun run = tool_->Run({"decrypt", "--keep", container}, kPassword, u"C:\\Check");
        EXPECT_EQ(run.status, 0) << run.err;
        return State(Host(u"C:\\Check", Name(folder)), folder);
    }

    void KillWhileEncrypting(const std::string& handling)
    {
        // A whole run of each kind measures the span the kill moments are drawn from.
        Clock::duration longest[2];
        for (const bool folder : {false, true}) {
            const std::string original = WriteItem(folder);
            const auto start = Clock::now();
            const ToolRun run = tool_->Run({"encrypt", handling, Name(folder)}, kPassword);
            longest[folder] = Clock::now() - start;
            ASSERT_EQ(run.status, 0) << run.err;
            ASSERT_FALSE(fs::exists(Item(folder)));
            ASSERT_EQ(Restored(folder), original);
        }

        int kills = 0, restored = 0, leftovers = 0;
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE(Trace(round));
            const bool folder = round % 2 == 1;
            // Verifying, deleting and shredding are the end of a run: every
            // other round of each kind aims there.
            const Clock::duration from = round / 2 % 2 == 0 ? Clock::duration{} : longest[folder] * 2 / 3;
            const std::string original = WriteItem(folder);
            {
                ChildProcess child(tool_->Argv({"encrypt", handling, Name(folder)}), tool_->Environment(kPassword),
                                   Host(u"C:\\Data"));
                ASSERT_TRUE(child.started());
                const std::optional<int> ended = child.WaitExit(Delay(from, longest[folder]));
                const int status = ended ? *ended : child.Kill();
                kills += status == kKilled;
                EXPECT_TRUE(status == kKilled || status == 0) << status << " " << child.output();
            }

            const std::vector<std::string> containers = Containers();
            if (State(Item(folder), folder) == original) {
                EXPECT_LE(containers.size(), 1u);
                // A container the kill left beside the untouched original, whole or not, only takes
                // the name: the next run writes the next one.
                if (!containers.empty() && ++leftovers == 1) {
                    const ToolRun again = tool_->Run({"encrypt", handling, Name(folder)}, kPassword);
                    EXPECT_EQ(again.status, 0) << again.err;
                    EXPECT_EQ(again.out, Name(folder) + "(1).xep\n");
                }
                continue;
            }
            ++restored;
            ASSERT_EQ(containers, std::vector<std::string>{Name(folder) + ".xep"}) << "the original is changed";
            EXPECT_EQ(Restored(folder), original) << "the original is changed and its container does not restore it";
        }
        std::printf("kill test: encrypt %s: %d kills survived (%d runs had handled the original, their container "
                    "restored it; %d left a container beside the untouched original)\n",
                    handling.c_str(), kills, restored, leftovers);
    }

    // The settings file, the registry and every hive after a kill.
    void CheckStores()
    {
        const auto [a, b] = Records();
        const std::string file = lockora::testing::ReadHostFile(sandbox(), settings::GetSettingFilePath());
        EXPECT_TRUE(file == settings::FormatSettingsFile(a) || file == settings::FormatSettingsFile(b)) << file;
        SettingsRecord loaded;
        settings::LoadSettings(loaded);
        EXPECT_TRUE(loaded == a || loaded == b) << settings::FormatSettingsFile(loaded);

        // Loaded over a record, the fields the registry has no value for stay.
        SettingsRecord overA = a, overB = b;
        settings::LoadSettingsFromRegistry(overA);
        settings::LoadSettingsFromRegistry(overB);
        EXPECT_TRUE(overA == a || overB == b) << "the registry holds neither settings: " << RegistryFields(overA);

        for (const auto& entry : fs::directory_iterator(sandbox().registryFolder())) {
            EXPECT_NE(entry.path().extension(), ".bad") << entry.path();
            if (entry.path().extension() == ".reg") {
                EXPECT_TRUE(platform::registry::ParseHive(ReadAll(entry.path())).ok()) << entry.path();
            }
        }
    }

    const std::uint32_t seed_ = Seed();
    std::mt19937 random_{seed_};
    std::unique_ptr<ToolProcess> tool_;
};

TEST_F(KillTest, EncryptDeleteKilledAnywhereLeavesTheOriginalOrAWholeContainer)
{
    KillWhileEncrypting("--delete");
}

TEST_F(KillTest, EncryptShredKilledAnywhereLeavesTheOriginalOrAWholeContainer)
{
    KillWhileEncrypting("--shred");
}

TEST_F(KillTest, ProgramKilledWhileSavingKeepsOldOrNewSettingsAndStartsAgain)
{
    const std::string program = Host(u"C:\\App", "lockora");
    fs::copy_file(LOCKORA_PROGRAM_EXECUTABLE, program);
    const auto records = Records();
    const auto showsOne = [&](const json& shown) {
        if (!shown.is_array() || shown.size() < 9)
            return false;
        const json first(shown.begin(), shown.begin() + 9);
        return first == SettingsArray(records[0], true) || first == SettingsArray(records[1], true);
    };
    // Sent at once, the calls run one by one on the program's UI thread: the
    // kill lands in whichever save the delay reaches, the context menu's
    // registration and removal (the classes hive) among them.
    const auto sendSaves = [&](PageClient& page) {
        std::uint64_t id = 1'000'000;
        for (int save = 0; save < 8; ++save) {
            page.Send({{"type", "call"}, {"id", ++id}, {"name", "ChangeSettingInfo"},
                       {"args", json::array({SettingsArray(records[save % 2])})}});
            if (save % 3 != 0)
                page.Send({{"type", "call"}, {"id", ++id}, {"name", save % 3 == 1 ? "AddContext" : "RemoveContext"},
                           {"args", save % 3 == 1 ? json::array({0}) : json::array()}});
        }
    };

    Clock::duration longest{};
    int kills = 0;
    for (int round = 0; round <= kRounds; ++round) {
        SCOPED_TRACE(Trace(round));
        RunningProgram running(*tool_, program, Host(u"C:\\App"));
        ASSERT_TRUE(running.Connect()) << running.process().output();
        // The killed program holds no instance claim, and the new one shows
        // what the kill left.
        EXPECT_EQ(running.Call("CheckProgramHadRun"), 0);
        if (const json shown = running.Call("GetSettingInfo"); round > 0) {
            EXPECT_TRUE(showsOne(shown)) << shown;
        }
        if (round == kRounds)
            break;

        const auto start = Clock::now();
        sendSaves(running.page());
        if (round == 0) {
            // The first run saves to the end, which measures the span.
            ASSERT_TRUE(showsOne(running.Call("GetSettingInfo")));
            longest = Clock::now() - start;
            running.process().Kill();
        } else {
            ASSERT_FALSE(running.process().WaitExit(Delay({}, longest)).has_value()) << running.process().output();
            kills += running.process().Kill() == kKilled;
        }
        CheckStores();
    }
    std::printf("kill test: saving settings and hives: %d kills survived\n", kills);
}

} // namespace
} // namespace lockora::cli
