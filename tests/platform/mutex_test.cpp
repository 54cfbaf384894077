#include "platform/errors.h"
#include "platform/mutex.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {
namespace {

using lockora::testing::SandboxTest;

constexpr char16_t kInstanceName[] = u"OmbrixCoffrelSentinex_rUn_fLag-2022_6_21-0956";

// The helper process of LOCKORA_MUTEX_HOLDER, holding one mutex until its
// standard input is closed.
class HolderProcess {
public:
    explicit HolderProcess(const std::string& name)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::string program = LOCKORA_MUTEX_HOLDER;
        std::string argument = name;
        char* argv[] = {program.data(), argument.data(), nullptr};
        const int err = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        toChild_ = input[1];
        fromChild_ = output[0];
        if (err != 0)
            throw std::runtime_error("posix_spawn failed");
    }

    ~HolderProcess()
    {
        Release();
        if (fromChild_ >= 0)
            ::close(fromChild_);
    }

    // The helper's report; reading blocks until it has created its mutex.
    std::string Report()
    {
        std::string line;
        char c = 0;
        while (::read(fromChild_, &c, 1) == 1 && c != '\n')
            line.push_back(c);
        return line;
    }

    // Lets the helper end and waits for it.
    void Release()
    {
        if (toChild_ >= 0)
            ::close(toChild_);
        toChild_ = -1;
        Reap();
    }

    void Kill()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGKILL);
        Reap();
    }

private:
    void Reap()
    {
        if (pid_ <= 0)
            return;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
};

// Lock files go to the sandbox: XDG_RUNTIME_DIR points there for the test
// and for the helper processes it starts.
class NamedMutexTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        if (const char* previous = std::getenv("XDG_RUNTIME_DIR"))
            previousRuntimeDir_ = previous;
        ::setenv("XDG_RUNTIME_DIR", sandbox().root().c_str(), 1);
    }

    void TearDown() override
    {
        if (previousRuntimeDir_)
            ::setenv("XDG_RUNTIME_DIR", previousRuntimeDir_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        SandboxTest::TearDown();
    }

    std::vector<std::string> LockFiles()
    {
        std::vector<std::string> names;
        DIR* folder = ::opendir(sandbox().root().c_str());
        while (const dirent* entry = folder ? ::readdir(folder) : nullptr) {
            if (std::string(entry->d_name).starts_with("lockora-mutex-"))
                names.emplace_back(entry->d_name);
        }
        if (folder)
            ::closedir(folder);
        return names;
    }

private:
    std::optional<std::string> previousRuntimeDir_;
};

TEST_F(NamedMutexTest, SecondCreationInTheSameProcessFindsItAndClosingFreesIt)
{
    auto first = NamedMutex::Create(kInstanceName);
    ASSERT_TRUE(first.ok()) << first.code();
    EXPECT_TRUE(first->Owns());
    EXPECT_EQ(first->LastError(), kErrorSuccess);

    auto second = NamedMutex::Create(kInstanceName);
    ASSERT_TRUE(second.ok()) << second.code();
    EXPECT_TRUE(second->AlreadyExists());
    EXPECT_EQ(second->LastError(), kErrorAlreadyExists);
    EXPECT_FALSE(second->Owns());

    // A handle that does not own the mutex does not keep it alive.
    second->Close();
    first->Close();
    EXPECT_FALSE(first->Owns());
    auto third = NamedMutex::Create(kInstanceName);
    ASSERT_TRUE(third.ok());
    EXPECT_TRUE(third->Owns());
}

TEST_F(NamedMutexTest, OwnershipMovesWithTheHandleAndEndsWithIt)
{
    {
        auto created = NamedMutex::Create(u"moved");
        ASSERT_TRUE(created.ok());
        NamedMutex holder = std::move(created).value();
        NamedMutex target = NamedMutex::Create(u"other").value();
        target = std::move(holder);
        EXPECT_TRUE(target.Owns());
        EXPECT_FALSE(holder.Owns());
        EXPECT_TRUE(NamedMutex::Create(u"moved")->AlreadyExists());
        EXPECT_FALSE(NamedMutex::Create(u"other")->AlreadyExists()) << "the replaced handle must be closed";
    }
    EXPECT_TRUE(NamedMutex::Create(u"moved")->Owns());
}

TEST_F(NamedMutexTest, NamesAreCaseSensitiveAndNeverShareOrEscapeTheFolder)
{
    auto upper = NamedMutex::Create(u"Name");
    auto lower = NamedMutex::Create(u"name");
    auto slash = NamedMutex::Create(u"../a/b");
    auto lookalike = NamedMutex::Create(u"..%2Fa%2Fb");
    auto unicode = NamedMutex::Create(u"\u4e2d\u6587 name");
    for (auto* mutex : {&upper, &lower, &slash, &lookalike, &unicode}) {
        ASSERT_TRUE(mutex->ok()) << mutex->code();
        EXPECT_TRUE((*mutex)->Owns());
    }
    EXPECT_EQ(LockFiles().size(), 5u);

    EXPECT_EQ(NamedMutex::Create(u"").code(), kErrorInvalidName);
    EXPECT_EQ(NamedMutex::Create(std::u16string(300, u'x')).code(), kErrorFilenameExcedRange);
}

TEST_F(NamedMutexTest, AnotherProcessFindsTheMutexThatThisOneHolds)
{
    auto mine = NamedMutex::Create(kInstanceName);
    ASSERT_TRUE(mine.ok() && mine->Owns());

    HolderProcess other("OmbrixCoffrelSentinex_rUn_fLag-2022_6_21-0956");
    EXPECT_EQ(other.Report(), "exists");
}

TEST_F(NamedMutexTest, MutexIsFreeOnceTheHoldingProcessHasEnded)
{
    HolderProcess released("OmbrixCoffrelSentinex_rUn_fLag-2022_6_21-0956");
    ASSERT_EQ(released.Report(), "owned");
    EXPECT_EQ(NamedMutex::Create(kInstanceName)->LastError(), kErrorAlreadyExists);
    released.Release();
    EXPECT_TRUE(NamedMutex::Create(kInstanceName)->Owns());

    // A process that dies without closing anything frees it as well.
    HolderProcess killed("OmbrixCoffrelSentinex_rUn_fLag-2022_6_21-0956");
    ASSERT_EQ(killed.Report(), "owned");
    killed.Kill();
    EXPECT_TRUE(NamedMutex::Create(kInstanceName)->Owns());
}

TEST_F(NamedMutexTest, ChildProcessesDoNotInheritTheHold)
{
    auto mine = NamedMutex::Create(kInstanceName);
    ASSERT_TRUE(mine.ok() && mine->Owns());
    HolderProcess child("unrelated");
    ASSERT_EQ(child.Report(), "owned");

    // Were the lock file inherited, the living child would keep the lock.
    mine->Close();
    EXPECT_TRUE(NamedMutex::Create(kInstanceName)->Owns());
}

} // namespace
} // namespace platform
