// What the engine needs of the system for one run: random secrets, a
// private folder for its start file and browser profile, and programs
// started beside it.
#include "platform/errors.h"
#include "platform/private_files.h"
#include "platform/process.h"
#include "platform/random.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace platform {
namespace {

using lockora::testing::SandboxTest;
namespace fs = std::filesystem;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RandomTest, FillsEveryByteAndNeverRepeats)
{
    std::array<std::uint8_t, 4096> first{};
    std::array<std::uint8_t, 4096> second{};
    ASSERT_TRUE(FillRandom(first.data(), first.size()).ok());
    ASSERT_TRUE(FillRandom(second.data(), second.size()).ok());
    EXPECT_NE(first, second);
    // A byte left at zero would show in the last quarter of 4 KiB.
    EXPECT_TRUE(std::any_of(first.end() - 1024, first.end(), [](std::uint8_t b) { return b != 0; }));
}

TEST_F(SandboxTest, PrivateFolderIsTheUsersAloneAndGoesWithItsContent)
{
    auto folder = CreatePrivateFolder("lockora-web-");
    ASSERT_TRUE(folder.ok()) << folder.code();
    auto other = CreatePrivateFolder("lockora-web-");
    ASSERT_TRUE(other.ok());
    EXPECT_NE(*folder, *other);
    // The sandbox's runtime folder is where private folders go.
    EXPECT_EQ(fs::path(*folder).parent_path(), fs::path(sandbox().root()) / "run");
    EXPECT_EQ(fs::status(*folder).permissions(), fs::perms::owner_all);

    const std::string file = *folder + "/start.html";
    ASSERT_TRUE(CreatePrivateFile(file, "<p>start</p>").ok());
    EXPECT_EQ(ReadAll(file), "<p>start</p>");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(CreatePrivateFile(file, "again").code(), kErrorFileExists);
    EXPECT_EQ(ReadAll(file), "<p>start</p>");

    fs::create_directories(*folder + "/profile/Default");
    RemoveFolderTree(*folder);
    RemoveFolderTree(*other);
    EXPECT_FALSE(fs::exists(*folder));
    EXPECT_FALSE(fs::exists(*other));
}

TEST(FileUrlTest, EscapesEverythingButUnreservedBytes)
{
    EXPECT_EQ(FileUrl("/run/user/1000/lockora-web-x/start.html"), "file:///run/user/1000/lockora-web-x/start.html");
    EXPECT_EQ(FileUrl("/tmp/a b#?%\xE4\xB8\xAD"), "file:///tmp/a%20b%23%3F%25%E4%B8%AD");
    EXPECT_EQ(FileUrl("C:\\Users\\a b\\Temp:x"), "file:///C:/Users/a%20b/Temp%3Ax");
}

TEST_F(SandboxTest, ChildProcessRunsDetachedAndStopsWhenAsked)
{
    const std::string shell = FindProgram("sh");
    ASSERT_FALSE(shell.empty());
    EXPECT_TRUE(fs::path(shell).is_absolute());
    EXPECT_EQ(FindProgram("lockora-no-such-program"), "");

    // The child's standard input is nothing of ours.
    const std::string out = sandbox().root() + "/stdin.txt";
    ChildProcesses children;
    const ProcessId reader = children.Start({"sh", "-c", "readlink /proc/$$/fd/0 > " + out + ".part && mv " + out +
                                                             ".part " + out});
    ASSERT_GT(reader, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadAll(out), "/dev/null\n");

    const ProcessId sleeper = children.Start({"sleep", "60"});
    ASSERT_GT(sleeper, 0);
    children.Stop(sleeper, std::chrono::seconds(20));
    // Stopped and reaped: the id is gone.
    EXPECT_EQ(::kill(static_cast<pid_t>(sleeper), 0), -1);
    EXPECT_EQ(errno, ESRCH);

    EXPECT_EQ(children.Start({"lockora-no-such-program"}), 0);
}

} // namespace
} // namespace platform
