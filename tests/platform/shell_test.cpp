#include "platform/errors.h"
#include "platform/shell.h"
#include "tests/platform/fake_command.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace platform {
namespace {

using lockora::testing::SandboxTest;
using lockora::testing::ScopedFakeCommand;
using lockora::testing::WriteHostFile;

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// Width from a PNG's header chunk, to tell the icon sizes apart.
std::uint32_t PngWidth(const std::string& png)
{
    std::uint32_t width = 0;
    for (int i = 16; i < 20; ++i)
        width = (width << 8) | static_cast<unsigned char>(png[i]);
    return width;
}

class ShellFileInfoTest : public SandboxTest {};

TEST_F(ShellFileInfoTest, TextFileIsNamedByTheMimeDatabase)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "text");
    auto info = GetShellFileInfo(u"C:\\Data\\a.txt", ShellIconSize::Large);
    ASSERT_TRUE(info.ok()) << info.code();
    EXPECT_FALSE(info->typeName.empty());
    EXPECT_NE(info->typeName, u"TXT File") << "a registered type must not fall back to its extension";
    if (!info->iconPng.empty()) {
        EXPECT_TRUE(info->iconPng.starts_with(kPngSignature));
    }

    // The name alone gives the same answer, whether the file exists or not.
    EXPECT_EQ(GetShellFileInfoByName(u".txt", 0x80, ShellIconSize::Large).typeName, info->typeName);
    EXPECT_EQ(GetShellFileInfoByName(u"C:\\Nowhere\\b.txt", 0x80, ShellIconSize::Large).typeName, info->typeName);
}

TEST_F(ShellFileInfoTest, FoldersDrivesAndUnknownTypesGetTheirOwnNames)
{
    std::filesystem::create_directories(sandbox().host(u"C:\\Data\\Sub.txt"));
    auto folder = GetShellFileInfo(u"C:\\Data\\Sub.txt", ShellIconSize::Large);
    ASSERT_TRUE(folder.ok()) << folder.code();
    EXPECT_FALSE(folder->typeName.empty());
    EXPECT_EQ(GetShellFileInfoByName(u"anything.txt", 0x10, ShellIconSize::Large).typeName, folder->typeName);

    auto drive = GetShellFileInfo(u"C:", ShellIconSize::Large);
    ASSERT_TRUE(drive.ok()) << drive.code();
    EXPECT_EQ(drive->typeName, u"Local Disk");
    EXPECT_EQ(GetShellFileInfo(u"D:\\", ShellIconSize::Large)->typeName, u"Local Disk");

    WriteHostFile(sandbox(), u"C:\\Data\\secret.xEp", "x");
    EXPECT_EQ(GetShellFileInfo(u"C:\\Data\\secret.xEp", ShellIconSize::Large)->typeName, u"XEP File");
    EXPECT_EQ(GetShellFileInfoByName(u"trailing.", 0x80, ShellIconSize::Large).typeName, u"File");
}

TEST_F(ShellFileInfoTest, MissingItemsFailAsTheWindowsCallDoes)
{
    EXPECT_EQ(GetShellFileInfo(u"C:\\missing.txt", ShellIconSize::Large).code(), kErrorFileNotFound);
    EXPECT_EQ(GetShellFileInfo(u"C:\\Nope\\a.txt", ShellIconSize::Large).code(), kErrorPathNotFound);
    EXPECT_EQ(GetShellFileInfo(u"Q:\\a.txt", ShellIconSize::Large).code(), kErrorPathNotFound);
    EXPECT_EQ(GetShellFileInfo(u"relative.txt", ShellIconSize::Large).code(), kErrorPathNotFound);
}

TEST_F(ShellFileInfoTest, IconsAreSmallerWhenAskedSmall)
{
    const auto large = GetShellFileInfoByName(u"a.txt", 0x80, ShellIconSize::Large).iconPng;
    const auto small = GetShellFileInfoByName(u"a.txt", 0x80, ShellIconSize::Small).iconPng;
    if (large.empty() || small.empty())
        GTEST_SKIP() << "no icon theme installed";
    ASSERT_TRUE(small.starts_with(kPngSignature));
    EXPECT_LT(PngWidth(small), PngWidth(large));
}

class ShellOpenTest : public SandboxTest {
protected:
    void TearDown() override
    {
        SetShellOpenLauncher({});
        SandboxTest::TearDown();
    }

    std::string FakeFolder() { return sandbox().root() + "/bin"; }
};

TEST_F(ShellOpenTest, LauncherReceivesTheHostPathOfAnExistingItem)
{
    std::optional<std::string> launched;
    SetShellOpenLauncher([&](const std::string& hostPath) {
        launched = hostPath;
        return kShellOpenSucceeded;
    });
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "text");

    EXPECT_GT(ShellOpen(u"C:\\Data\\a.txt"), 32);
    EXPECT_EQ(launched, sandbox().host(u"C:\\Data\\a.txt"));
    EXPECT_GT(ShellOpen(u"C:\\Data"), 32);
    EXPECT_EQ(launched, sandbox().host(u"C:\\Data"));
}

TEST_F(ShellOpenTest, MissingItemsAreReportedWithoutLaunching)
{
    bool launched = false;
    SetShellOpenLauncher([&](const std::string&) {
        launched = true;
        return kShellOpenSucceeded;
    });
    EXPECT_EQ(ShellOpen(u"C:\\Log"), kShellErrorFileNotFound);
    EXPECT_EQ(ShellOpen(u"C:\\Missing\\Log"), kShellErrorPathNotFound);
    EXPECT_EQ(ShellOpen(u"Q:\\Log"), kShellErrorPathNotFound);
    EXPECT_FALSE(launched);
}

TEST_F(ShellOpenTest, XdgOpenExitCodesBecomeShellResults)
{
    std::filesystem::create_directories(sandbox().host(u"C:\\Log"));
    const std::string record = sandbox().root() + "/opened";
    {
        ScopedFakeCommand command(FakeFolder(), "xdg-open", "printf '%s' \"$1\" > '" + record + "'; exit 0");
        EXPECT_GT(ShellOpen(u"C:\\Log"), 32);
    }
    std::ifstream recorded(record);
    std::string argument((std::istreambuf_iterator<char>(recorded)), std::istreambuf_iterator<char>());
    EXPECT_EQ(argument, sandbox().host(u"C:\\Log"));

    {
        ScopedFakeCommand command(FakeFolder(), "xdg-open", "exit 3");
        EXPECT_EQ(ShellOpen(u"C:\\Log"), kShellErrorNoAssociation);
    }
    {
        ScopedFakeCommand command(FakeFolder(), "xdg-open", "exit 4");
        EXPECT_EQ(ShellOpen(u"C:\\Log"), kShellErrorNoAssociation);
    }
    {
        ScopedFakeCommand command(FakeFolder(), "xdg-open", "exit 2");
        EXPECT_EQ(ShellOpen(u"C:\\Log"), kShellErrorFileNotFound);
    }
    std::filesystem::remove(FakeFolder() + "/xdg-open");
    {
        ScopedFakeCommand noCommand(FakeFolder(), "", "");
        EXPECT_EQ(ShellOpen(u"C:\\Log"), kShellErrorNoAssociation);
    }
}

} // namespace
} // namespace platform
