#include "system/debug_privilege.h"
#include "system/os_facts.h"
#include "system/version_strings.h"

#include "platform/system.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace lockora::system {
namespace {

using bridge::ScriptValue;

// The project version with four parts, as a version resource holds it.
std::u16string FourPartProjectVersion()
{
    std::string version = LOCKORA_PROJECT_VERSION;
    for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots)
        version += ".0";
    return std::u16string(version.begin(), version.end());
}

class SystemFactsTest : public testing::SandboxTest {
protected:
    void SetUp() override
    {
        testing::SandboxTest::SetUp();
#ifdef _WIN32
        // Windows reads the version strings from the executable's resource:
        // this test executable, which carries one, stands where the sandbox
        // puts the program.
        const std::u16string program = platform::ModuleFileName();
        platform::SetModuleFileName({});
        const std::u16string self = platform::ModuleFileName();
        platform::SetModuleFileName(program);
        std::filesystem::copy_file(std::filesystem::path(self), std::filesystem::path(program));
#endif
    }
};

TEST(OsGenerationTest, KernelVersionsMapToTheirGeneration)
{
    EXPECT_EQ(OsGenerationCode(5, 1), kOsBeforeVista);
    EXPECT_EQ(OsGenerationCode(0, 0), kOsBeforeVista);
    EXPECT_EQ(OsGenerationCode(6, 0), kOsOther);
    EXPECT_EQ(OsGenerationCode(6, 1), kOsWindows7);
    EXPECT_EQ(OsGenerationCode(6, 2), kOsOther);
    EXPECT_EQ(OsGenerationCode(6, 3), kOsWindows81);
    EXPECT_EQ(OsGenerationCode(10, 0), kOsWindows10);
    EXPECT_EQ(OsGenerationCode(10, 1), kOsOther);
    EXPECT_EQ(OsGenerationCode(7, 0), kOsOther);
    EXPECT_EQ(OsGenerationCode(11, 0), kOsOther);
}

#ifdef _WIN32
TEST(OsGenerationTest, TheGenerationComesFromTheKernelVersionRoutine)
{
    const auto version = platform::GetNtVersionNumbers();
    ASSERT_TRUE(version.ok());
    EXPECT_EQ(GetOsVersion(), ScriptValue::Int(OsGenerationCode(version->major, version->minor)));
}
#else
TEST(OsGenerationTest, WithoutTheKernelVersionRoutineTheGenerationIsZero)
{
    ASSERT_FALSE(platform::GetNtVersionNumbers().ok());
    EXPECT_EQ(GetOsVersion(), ScriptValue::Int(kOsBeforeVista));
}
#endif

TEST(OsGenerationTest, SixtyFourBitFollowsTheNativeArchitecture)
{
    const bool x64 = platform::NativeProcessorArchitecture() == platform::kProcessorArchitectureAmd64;
    EXPECT_EQ(Is64BitOS(), ScriptValue::Bool(x64));
}

TEST_F(SystemFactsTest, ProductVersionIsTheProjectVersion)
{
    EXPECT_EQ(GetProductVersion(), ScriptValue::String(FourPartProjectVersion()));
}

TEST_F(SystemFactsTest, VersionStringsOfTheRunningExecutable)
{
    std::u16string file;
    std::u16string product;
    ASSERT_TRUE(GetVersionString({}, u"FileVersion", file));
    ASSERT_TRUE(GetVersionString(platform::ModuleFileName(), u"ProductVersion", product));
    EXPECT_EQ(file, FourPartProjectVersion());
    EXPECT_EQ(product, FourPartProjectVersion());
}

TEST_F(SystemFactsTest, VersionStringFailuresLeaveTheTextAlone)
{
    std::u16string text = u"unchanged";
    EXPECT_FALSE(GetVersionString({}, {}, text));
    EXPECT_FALSE(GetVersionString({}, u"PrivateBuild", text));
    EXPECT_FALSE(GetVersionString(u"C:\\Windows\\System32\\other.exe", u"FileVersion", text));
    EXPECT_EQ(text, u"unchanged");
}

TEST(DebugPrivilegeTest, IsGranted)
{
    EXPECT_TRUE(EnableDebugPrivilege());
}

} // namespace
} // namespace lockora::system
