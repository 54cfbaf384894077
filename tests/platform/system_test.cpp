#include "platform/errors.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/version.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace platform {
namespace {

using lockora::testing::SandboxTest;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name)
    {
        if (const char* previous = std::getenv(name))
            previous_ = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

class CommandLineTest : public SandboxTest {
protected:
    void TearDown() override
    {
        SetCommandLineArguments({});
        SandboxTest::TearDown();
    }
};

TEST_F(CommandLineTest, LaterArgumentsAreQuotedAndHostPathsTakeWindowsForm)
{
    EXPECT_EQ(CommandLineText(), u"");

    SetCommandLineArguments({"encrypt", sandbox().host(u"C:\\Data\\a b.txt")});
    EXPECT_EQ(CommandLineText(), u"encrypt \"C:\\Data\\a b.txt\"");

    SetCommandLineArguments({"remove", sandbox().driveRoot('D')});
    EXPECT_EQ(CommandLineText(), u"remove \"D:\\\"");

    // Text that no drive maps passes unchanged; the first argument always does.
    SetCommandLineArguments({"open", "/outside/any/drive", "name.xep"});
    EXPECT_EQ(CommandLineText(), u"open \"/outside/any/drive\" \"name.xep\"");
    SetCommandLineArguments({sandbox().host(u"C:\\Data")});
    EXPECT_EQ(CommandLineText(), Utf8ToUtf16(sandbox().host(u"C:\\Data")));
}

class DirectoryTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        previousDirectory_ = std::filesystem::current_path();
    }
    void TearDown() override
    {
        std::filesystem::current_path(previousDirectory_);
        SandboxTest::TearDown();
    }

private:
    std::filesystem::path previousDirectory_;
};

TEST_F(DirectoryTest, CurrentDirectoryIsKeptInWindowsForm)
{
    std::filesystem::create_directories(sandbox().host(u"C:\\Work\\Sub"));
    ASSERT_TRUE(SetCurrentDirectory(u"C:\\Work\\Sub").ok());
    EXPECT_EQ(CurrentDirectory().value(), u"C:\\Work\\Sub");
    EXPECT_EQ(SetCurrentDirectory(u"C:\\Work\\Missing").code(), kErrorFileNotFound);
    EXPECT_EQ(SetCurrentDirectory(u"C:\\Gone\\Missing").code(), kErrorPathNotFound);
    lockora::testing::WriteHostFile(sandbox(), u"C:\\Work\\file.txt", "x");
    EXPECT_EQ(SetCurrentDirectory(u"C:\\Work\\file.txt").code(), kErrorDirectory);
    EXPECT_EQ(CurrentDirectory().value(), u"C:\\Work\\Sub");

    // A folder that no drive maps has no Windows form.
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(CurrentDirectory().code(), kErrorPathNotFound);
}

TEST_F(DirectoryTest, SystemDirectoryHonoursTheConfiguredHostFolder)
{
    {
        ScopedEnvironment configured("LOCKORA_SYSTEM_DIR", sandbox().host(u"C:\\Windows\\System32"));
        EXPECT_EQ(SystemDirectory().value(), u"C:\\Windows\\System32");
    }
    {
        // Without it the host's /usr/bin is used, which only the Z: drive maps.
        ScopedEnvironment relative("LOCKORA_SYSTEM_DIR", "relative/folder");
        EXPECT_EQ(SystemDirectory().code(), kErrorPathNotFound);
        DriveTable table = CurrentDriveTable();
        table.Map(u'Z', "/");
        SetDriveTable(table);
        EXPECT_EQ(SystemDirectory().value(), u"Z:\\usr\\bin");
    }
}

TEST(MachineTest, ArchitectureIsTheMachinesAndTheVersionRoutineIsMissing)
{
#if defined(__x86_64__)
    EXPECT_EQ(NativeProcessorArchitecture(), kProcessorArchitectureAmd64);
#elif defined(__aarch64__)
    EXPECT_EQ(NativeProcessorArchitecture(), kProcessorArchitectureArm64);
#endif
    EXPECT_EQ(GetNtVersionNumbers().code(), kErrorProcNotFound);
}

TEST(PrivilegeTest, KnownNamesAreFoundAndGranted)
{
    const auto shutdown = LookupPrivilegeValue(u"SeShutdownPrivilege");
    ASSERT_TRUE(shutdown.ok());
    EXPECT_EQ(shutdown->value, 19u);
    EXPECT_EQ(LookupPrivilegeValue(u"sedebugprivilege")->value, 20u);
    EXPECT_TRUE(EnablePrivilege(*shutdown).ok());

    EXPECT_EQ(LookupPrivilegeValue(u"SeFlyingPrivilege").code(), kErrorNoSuchPrivilege);
    EXPECT_EQ(LookupPrivilegeValue(u"").code(), kErrorNoSuchPrivilege);
    EXPECT_EQ(EnablePrivilege(PrivilegeId{999}).code(), kErrorInvalidParameter);
}

// The project version with every missing part as 0: "1.0.0" is "1.0.0.0".
std::u16string FourPartProjectVersion()
{
    std::string version = LOCKORA_PROJECT_VERSION;
    for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots)
        version += ".0";
    return std::u16string(version.begin(), version.end());
}

class VersionTest : public SandboxTest {};

TEST_F(VersionTest, RunningExecutableCarriesTheProjectVersion)
{
    EXPECT_EQ(FileVersionString(u"", u"FileVersion").value(), FourPartProjectVersion());
    EXPECT_EQ(FileVersionString(u"", u"ProductVersion").value(), FourPartProjectVersion());
    EXPECT_EQ(FileVersionString(u"", u"fileversion").value(), FourPartProjectVersion());
    EXPECT_EQ(FileVersionString(u"C:\\App\\Lockora.exe", u"FileVersion").value(), FourPartProjectVersion());
}

TEST_F(VersionTest, UnknownKeysAndOtherFilesFail)
{
    EXPECT_EQ(FileVersionString(u"", u"").code(), kErrorInvalidParameter);
    EXPECT_EQ(FileVersionString(u"", u"Comments").code(), kErrorResourceNameNotFound);
    EXPECT_EQ(FileVersionString(u"C:\\App\\Other.exe", u"FileVersion").code(), kErrorResourceTypeNotFound);
}

} // namespace
} // namespace platform
