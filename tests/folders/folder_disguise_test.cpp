#include "folders/folder_disguise.h"

#include "folders/disguise_suffixes.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/support/recording_main_window.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lockora::folders {
namespace {

using bridge::ScriptValue;
using testing::RecordingMainWindow;
using testing::SandboxTest;
using testing::WriteHostFile;

ScriptValue Request(ScriptValue index, std::vector<std::u16string> paths)
{
    ScriptValue list = ScriptValue::Array();
    for (auto& path : paths)
        list.Append(ScriptValue::String(std::move(path)));
    return ScriptValue::Array({std::move(index), std::move(list)});
}

std::u16string Disguised(std::u16string path, std::size_t index)
{
    return path + std::u16string(kDisguiseSuffixes[index]);
}

class FolderDisguiseTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        WriteHostFile(sandbox(), u"C:\\Data\\Photos\\a.jpg", "picture");
    }

    RecordingMainWindow window_;
};

TEST_F(FolderDisguiseTest, SuffixTableIsExact)
{
    for (const auto suffix : kDisguiseSuffixes) {
        EXPECT_EQ(suffix.size(), 39u);
        EXPECT_TRUE(suffix.starts_with(u".{") && suffix.ends_with(u"}"));
    }
    EXPECT_EQ(kDisguiseSuffixes[3], u".{5ef4af3a-f726-11d0-b8a2-00c04fc309a4}");
    EXPECT_EQ(kDisguiseSuffixes[8], u".{D20EA4E1-3957-11d2-A40B-0C5020524153}");
}

TEST_F(FolderDisguiseTest, IndexFourAppendsItsSuffix)
{
    EXPECT_EQ(FolderDisGuise(Request(ScriptValue::Int(4), {u"C:\\Data\\Photos"})), ScriptValue::Int(100));
    EXPECT_TRUE(platform::IsDirectory(u"C:\\Data\\Photos.{645FF040-5081-101B-9F08-00AA002F954E}"));
    EXPECT_FALSE(platform::PathExists(u"C:\\Data\\Photos"));
}

TEST_F(FolderDisguiseTest, FailedRenameCountsAndTheRestGoesOn)
{
    WriteHostFile(sandbox(), u"C:\\Data\\Music\\b.mp3", "tune");
    EXPECT_EQ(FolderDisGuise(Request(ScriptValue::Int(4), {u"C:\\Data\\Photos", u"C:\\Data\\Missing",
                                                           u"C:\\Data\\Music"})),
              ScriptValue::Int(101));
    EXPECT_TRUE(platform::IsDirectory(Disguised(u"C:\\Data\\Photos", 4)));
    EXPECT_TRUE(platform::IsDirectory(Disguised(u"C:\\Data\\Music", 4)));
}

TEST_F(FolderDisguiseTest, ExistingTargetIsNeverReplaced)
{
    WriteHostFile(sandbox(), Disguised(u"C:\\Data\\Photos", 0) + u"\\other.txt", "other");
    EXPECT_EQ(FolderDisGuise(Request(ScriptValue::Int(0), {u"C:\\Data\\Photos"})), ScriptValue::Int(101));
    EXPECT_TRUE(platform::PathExists(u"C:\\Data\\Photos\\a.jpg"));
    EXPECT_TRUE(platform::PathExists(Disguised(u"C:\\Data\\Photos", 0) + u"\\other.txt"));
}

TEST_F(FolderDisguiseTest, IndexOutsideTheTableFailsEveryPath)
{
    for (const int index : {12, -1}) {
        EXPECT_EQ(FolderDisGuise(Request(ScriptValue::Int(index), {u"C:\\Data\\Photos", u"C:\\Data\\Photos"})),
                  ScriptValue::Int(102));
    }
    EXPECT_TRUE(platform::IsDirectory(u"C:\\Data\\Photos"));
}

TEST_F(FolderDisguiseTest, IndexThatIsNoIntCountsAsZero)
{
    EXPECT_EQ(FolderDisGuise(Request(ScriptValue::String(u"4"), {u"C:\\Data\\Photos"})), ScriptValue::Int(100));
    EXPECT_TRUE(platform::IsDirectory(Disguised(u"C:\\Data\\Photos", 0)));
}

TEST_F(FolderDisguiseTest, BusyOperationIsAnsweredAndNothingRenamed)
{
    window_.busyCode() = bridge::kDeleting;
    EXPECT_EQ(FolderDisGuise(Request(ScriptValue::Int(4), {u"C:\\Data\\Photos"})), ScriptValue::Int(3));
    EXPECT_TRUE(platform::IsDirectory(u"C:\\Data\\Photos"));
    EXPECT_EQ(window_.busyCode().load(), bridge::kDeleting);
}

TEST_F(FolderDisguiseTest, StackedSuffixesRenameBackToTheOriginal)
{
    ASSERT_EQ(FolderDisGuise(Request(ScriptValue::Int(1), {u"C:\\Data\\Photos"})), ScriptValue::Int(100));
    const std::u16string once = Disguised(u"C:\\Data\\Photos", 1);
    ASSERT_EQ(FolderDisGuise(Request(ScriptValue::Int(7), {once})), ScriptValue::Int(100));
    const std::u16string twice = once + std::u16string(kDisguiseSuffixes[7]);

    // The folder screen restores by renaming to the name without suffixes.
    ASSERT_TRUE(platform::MoveFile(twice, u"C:\\Data\\Photos").ok());
    EXPECT_EQ(testing::ReadHostFile(sandbox(), u"C:\\Data\\Photos\\a.jpg"), "picture");
    EXPECT_FALSE(platform::PathExists(twice));
}

class DirIconTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        saved_ = std::filesystem::current_path();
        WriteHostFile(sandbox(), u"C:\\Work\\keep.txt", "keep");
        ASSERT_TRUE(platform::SetCurrentDirectory(u"C:\\Work").ok());
    }
    void TearDown() override
    {
        std::filesystem::current_path(saved_);
        SandboxTest::TearDown();
    }

    std::vector<std::string> WorkEntries()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(sandbox().host(u"C:\\Work")))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::filesystem::path saved_;
};

TEST_F(DirIconTest, TwelveRowsInTableOrderAndNoFolderLeft)
{
    // Without an installed icon theme the shell has no folder icon to give.
    const bool shellHasIcon =
        !platform::GetShellFileInfoByName(u"Folder", platform::kAttrDirectory, platform::ShellIconSize::Small)
             .iconPng.empty();
    const ScriptValue rows = GetDirIcon();
    ASSERT_EQ(rows.Length(), kDisguiseSuffixes.size());
    for (std::size_t i = 0; i < rows.Length(); ++i) {
        EXPECT_EQ(rows.At(i).At(0), ScriptValue::String(std::u16string(kDisguiseSuffixes[i])));
        const std::u16string& icon = rows.At(i).At(1).GetString();
        EXPECT_EQ(icon.empty(), !shellHasIcon) << i;
        // An icon file with one image: reserved 0, type 1, count 1.
        if (shellHasIcon) {
            EXPECT_TRUE(icon.starts_with(u"AAABAAEA")) << i;
        }
    }
    EXPECT_EQ(WorkEntries(), std::vector<std::string>{"keep.txt"});
}

TEST_F(DirIconTest, FolderOfTheSameNameIsLeftAlone)
{
    const std::u16string existing = u"C:\\Work\\~LockoraDisguiseIcon" + std::u16string(kDisguiseSuffixes[2]);
    WriteHostFile(sandbox(), existing + u"\\mine.txt", "mine");
    const ScriptValue rows = GetDirIcon();
    EXPECT_EQ(rows.At(2).At(1), ScriptValue::String(u""));
    EXPECT_EQ(testing::ReadHostFile(sandbox(), existing + u"\\mine.txt"), "mine");
}

} // namespace
} // namespace lockora::folders
