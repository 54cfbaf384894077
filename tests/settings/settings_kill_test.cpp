// A save that is killed half-way leaves the old store or the new one, never
// a torn one: a helper process saves in a loop until it is killed.
#include "platform/path.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "tests/settings/save_loop_records.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lockora::settings {
namespace {

constexpr char16_t kSettingFile[] = u"C:\\App\\Ombrix Lockora Sentinex\\FileUseSetting.dat";

class SettingsKillTest : public testing::SandboxTest {};

// The helper process of LOCKORA_SETTINGS_SAVE_LOOP; it reports each
// complete save with one byte.
class SaveLoopProcess {
public:
    // `rounds` 0 saves until the process is killed.
    SaveLoopProcess(const std::string& drives, int rounds)
    {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::vector<std::string> environment = {"LOCKORA_DRIVES=" + drives};
        for (char** entry = environ; *entry; ++entry) {
            if (!std::string_view(*entry).starts_with("LOCKORA_DRIVES="))
                environment.emplace_back(*entry);
        }
        std::vector<char*> envp;
        for (auto& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = LOCKORA_SETTINGS_SAVE_LOOP;
        std::string roundsText = std::to_string(rounds);
        char* argv[] = {program.data(), roundsText.data(), nullptr};
        const int err = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        fromChild_ = output[0];
        if (err != 0)
            throw std::runtime_error("posix_spawn failed");
    }

    ~SaveLoopProcess()
    {
        Kill();
        ::close(fromChild_);
    }

    // Blocks until the helper has finished `count` more saves.
    bool AwaitSaves(int count)
    {
        char report = 0;
        for (int done = 0; done < count; ++done) {
            if (::read(fromChild_, &report, 1) != 1)
                return false;
        }
        return true;
    }

    void Kill()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
        Wait();
    }

    // The exit status once the helper has ended.
    int Wait()
    {
        if (pid_ <= 0)
            return -1;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int fromChild_ = -1;
};

TEST_F(SettingsKillTest, KillWhileSavingLeavesTheOldOrTheNewStore)
{
    const std::string drives = "C=" + sandbox().driveRoot('C') + ";D=" + sandbox().driveRoot('D');
    const std::string fileA = FormatSettingsFile(SaveLoopRecordA());
    const std::string fileB = FormatSettingsFile(SaveLoopRecordB());
    SaveSettings(SaveLoopRecordA());
    // The helper reaches this sandbox's store: one full save gives B.
    {
        SaveLoopProcess helper(drives, 1);
        ASSERT_EQ(helper.Wait(), 0);
        ASSERT_EQ(testing::ReadHostFile(sandbox(), kSettingFile), fileB);
    }
    SaveSettings(SaveLoopRecordA());

    std::mt19937 random(20240621);
    for (int round = 0; round < 12; ++round) {
        // The kill lands somewhere in the save after the last reported one.
        SaveLoopProcess helper(drives, 0);
        ASSERT_TRUE(helper.AwaitSaves(std::uniform_int_distribution(0, 2)(random)));
        helper.Kill();

        const std::string file = testing::ReadHostFile(sandbox(), kSettingFile);
        EXPECT_TRUE(file == fileA || file == fileB) << "round " << round << ": " << file;
        SettingsRecord loaded;
        LoadSettings(loaded);
        EXPECT_TRUE(loaded == SaveLoopRecordA() || loaded == SaveLoopRecordB()) << "round " << round;
    }
}

} // namespace
} // namespace lockora::settings
