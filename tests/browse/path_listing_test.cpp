#include "browse/path_listing.h"

#include "platform/attributes.h"
#include "tests/browse/browse_test_support.h"
#include "tests/support/recording_main_window.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#ifndef _WIN32
#include <sys/fsuid.h>
#endif
#include <vector>

namespace lockora::browse {
namespace {

using bridge::ScriptValue;
using lockora::testing::RecordingMainWindow;
using lockora::testing::WriteHostFile;
using testing::kFixedZone;
using testing::ScopedTimeZone;
using testing::SetWriteTimeUtc;

ScriptValue Row(std::u16string name, std::u16string time, std::int32_t attributes, std::u16string size, std::int32_t kind)
{
    return ScriptValue::Array({ScriptValue::String(std::move(name)), ScriptValue::String(std::move(time)),
                               ScriptValue::Int(attributes), ScriptValue::String(std::move(size)),
                               ScriptValue::Int(kind)});
}

class PathListingTest : public lockora::testing::SandboxTest {
protected:
    void Write(std::u16string_view path, std::size_t size) { WriteHostFile(sandbox(), path, std::string(size, 'x')); }
    void MakeFolder(std::u16string_view path) { std::filesystem::create_directories(sandbox().host(path)); }
    void SetTime(std::u16string_view path) { SetWriteTimeUtc(sandbox().host(path), 2021, 3, 7, 13, 5); }

    void SetUp() override
    {
        SandboxTest::SetUp();
        bridge::MainWindow::Register(&window_);
        window_.Respond("RefreshFileListInfo", {});
        callsBefore_ = window_.Calls().size();
    }

    // The rows of the one RefreshFileListInfo call that a request makes.
    ScriptValue DeliveredRows()
    {
        const bool delivered = window_.WaitFor([this](const auto& calls) { return calls.size() > callsBefore_; });
        EXPECT_TRUE(delivered) << "no rows arrived";
        if (!delivered)
            return {};
        const auto calls = window_.Calls();
        EXPECT_EQ(calls.size(), callsBefore_ + 1);
        EXPECT_EQ(calls.back().name, "RefreshFileListInfo");
        return calls.back().argument;
    }

    // One window for the whole run, never destroyed: a detached worker may
    // still be on its way out of CallPageFunction when its test has seen the
    // rows, and the window must not go away under it.
    static RecordingMainWindow& SharedWindow()
    {
        static auto* window = new RecordingMainWindow();
        return *window;
    }

    ScopedTimeZone zone_{kFixedZone};
    RecordingMainWindow& window_ = SharedWindow();
    std::size_t callsBefore_ = 0;
};

TEST_F(PathListingTest, FolderRowsCarrySizesAndSubfolderTotals)
{
    Write(u"C:\\Data\\big.bin", 1048576);
    Write(u"C:\\Data\\Sub\\a.txt", 4);
    Write(u"C:\\Data\\Sub\\Deep\\b.txt", 6);
    SetTime(u"C:\\Data\\big.bin");
    SetTime(u"C:\\Data\\Sub");

    EXPECT_EQ(GetPathInfo(ScriptValue::String(u"C:\\Data")), ScriptValue::Int(0));
    EXPECT_EQ(DeliveredRows(), ScriptValue::Array({
                                   Row(u"big.bin", u"03/07/2021 14:05", platform::kAttrArchive, u"1048576", 3),
                                   Row(u"Sub", u"03/07/2021 14:05", platform::kAttrDirectory, u"10", 1),
                               }));
}

TEST_F(PathListingTest, DriveNameListsTheDriveRootWithoutDotEntries)
{
    // D: holds only what the test puts there (on Windows C: is the system's).
    MakeFolder(u"D:\\App");
    MakeFolder(u"D:\\Windows");
    Write(u"D:\\top.txt", 2);
    const ScriptValue rows = ListPathRows(u"D:");
    std::vector<std::u16string> names;
    for (const ScriptValue& row : rows.Elements())
        names.push_back(row.At(0).GetString());
    const std::vector<std::u16string> expected{u"App", u"top.txt", u"Windows"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(rows.At(1).At(3), ScriptValue::String(u"2"));
}

TEST_F(PathListingTest, EmptyFolderGivesNoRows)
{
    MakeFolder(u"C:\\Empty");
    GetPathInfo(ScriptValue::String(u"C:/Empty/"));
    EXPECT_EQ(DeliveredRows(), ScriptValue::Array());
}

TEST_F(PathListingTest, SlashedFilePathGivesOneFileRow)
{
    Write(u"C:\\Data\\report.txt", 7);
    SetTime(u"C:\\Data\\report.txt");
    GetPathInfo(ScriptValue::String(u"C:/Data/report.txt"));
    EXPECT_EQ(DeliveredRows(),
              ScriptValue::Array({Row(u"report.txt", u"03/07/2021 14:05", platform::kAttrArchive, u"7", 3)}));
}

TEST_F(PathListingTest, PickedPathsGiveOneFileRowEachEvenForFolders)
{
    Write(u"C:\\Data\\report.txt", 7);
    Write(u"C:\\Data\\Sub\\inner.bin", 9);
    SetTime(u"C:\\Data\\report.txt");
    SetTime(u"C:\\Data\\Sub");
    GetPathArrInfo(ScriptValue::Array({ScriptValue::String(u"C:/Data/report.txt"), ScriptValue::String(u"C:\\Data\\Sub")}));
    EXPECT_EQ(DeliveredRows(), ScriptValue::Array({
                                   Row(u"report.txt", u"03/07/2021 14:05", platform::kAttrArchive, u"7", 3),
                                   Row(u"Sub", u"03/07/2021 14:05", platform::kAttrDirectory, u"0", 3),
                               }));
}

TEST_F(PathListingTest, MissingPathStillGivesARowWithoutBitsOrTime)
{
    GetPathInfo(ScriptValue::String(u"C:\\Nowhere\\gone.txt"));
    EXPECT_EQ(DeliveredRows(), ScriptValue::Array({Row(u"gone.txt", u"Invalid DateTime", 0, u"0", 3)}));
}

TEST_F(PathListingTest, LinkedFolderIsListedButNeitherFollowedNorScanned)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\large.bin", 500);
    MakeFolder(u"C:\\Data");
    std::filesystem::create_directory_symlink(sandbox().host(u"D:\\Outside"), sandbox().host(u"C:\\Data\\Link"));
    const ScriptValue rows = ListPathRows(u"C:\\Data");
    ASSERT_EQ(rows.Length(), 1u);
    EXPECT_EQ(rows.At(0).At(0), ScriptValue::String(u"Link"));
    EXPECT_EQ(rows.At(0).At(2), ScriptValue::Int(platform::kAttrDirectory | platform::kAttrReparsePoint));
    EXPECT_EQ(rows.At(0).At(3), ScriptValue::String(u"0"));
    EXPECT_EQ(rows.At(0).At(4), ScriptValue::Int(1));
}

TEST_F(PathListingTest, SubfolderWithALongPathShowsOnlyItsOwnSize)
{
    const std::u16string parent = u"C:\\" + std::u16string(200, u'p');
    const std::u16string longChild = parent + u"\\" + std::u16string(60, u'c'); // 264 units
    const std::u16string shortChild = parent + u"\\" + std::u16string(50, u's'); // 254 units
    Write(longChild + u"\\f.bin", 10);
    Write(shortChild + u"\\f.bin", 10);
    const ScriptValue rows = ListPathRows(parent);
    ASSERT_EQ(rows.Length(), 2u);
    EXPECT_EQ(rows.At(0).At(3), ScriptValue::String(u"0"));  // ccc...
    EXPECT_EQ(rows.At(1).At(3), ScriptValue::String(u"10")); // sss...
}

#ifndef _WIN32
// Runs `list` with the file-system rights of an ordinary user, so that a
// folder without read permission cannot be listed even when the tests run
// as root. The file-system user is the calling thread's own.
template <typename List>
ScriptValue ListAsOrdinaryUser(List list)
{
    constexpr uid_t kNobody = 65534;
    const uid_t previous = ::setfsuid(kNobody);
    ScriptValue rows = list();
    ::setfsuid(previous);
    return rows;
}

TEST_F(PathListingTest, FolderThatCannotBeListedGivesNoRows)
{
    Write(u"C:\\Locked\\secret.txt", 3);
    namespace fs = std::filesystem;
    // Every folder on the way may be passed, the last one not read.
    for (const std::string& folder : {sandbox().root(), sandbox().driveRoot('C')})
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(sandbox().host(u"C:\\Locked"), fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);

    ScriptValue isFolder;
    const ScriptValue rows = ListAsOrdinaryUser([&] {
        isFolder = IsDirectory(ScriptValue::String(u"C:\\Locked"));
        return ListPathRows(u"C:\\Locked");
    });
    fs::permissions(sandbox().host(u"C:\\Locked"), fs::perms::owner_all);
    EXPECT_EQ(isFolder, ScriptValue::Bool(true));
    EXPECT_EQ(rows, ScriptValue::Array());
}
#endif

TEST_F(PathListingTest, ScriptErrorOfThePageEndsTheWorkerQuietly)
{
    window_.Respond("RefreshFileListInfo", [](const ScriptValue&) -> ScriptValue {
        throw bridge::PageScriptError("TypeError: rows is undefined");
    });
    MakeFolder(u"C:\\Data");
    GetPathInfo(ScriptValue::String(u"C:\\Data"));
    GetPathArrInfo(ScriptValue::Array({ScriptValue::String(u"C:\\Data")}));
    EXPECT_TRUE(window_.WaitFor([this](const auto& calls) { return calls.size() == callsBefore_ + 2; }));
}

TEST_F(PathListingTest, IsDirectoryAcceptsATrailingSeparatorAndRejectsFiles)
{
    Write(u"C:\\Data\\a.txt", 1);
    EXPECT_EQ(IsDirectory(ScriptValue::String(u"C:\\Data\\")), ScriptValue::Bool(true));
    EXPECT_EQ(IsDirectory(ScriptValue::String(u"C:\\Data\\a.txt")), ScriptValue::Bool(false));
    EXPECT_EQ(IsDirectory(ScriptValue::String(u"C:\\Missing")), ScriptValue::Bool(false));
}

TEST_F(PathListingTest, PathAttributesOfAHiddenReadOnlyFile)
{
    Write(u"C:\\Data\\a.txt", 1);
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Data\\a.txt", platform::kAttrReadOnly | platform::kAttrHidden).ok());
    const ScriptValue attributes = GetPathAttr(ScriptValue::String(u"C:/Data/a.txt"));
    ASSERT_TRUE(attributes.IsInt());
    EXPECT_EQ(attributes.GetInt() & 0x3, 0x3);
    EXPECT_EQ(GetPathAttr(ScriptValue::String(u"C:\\Data\\missing.txt")), ScriptValue::Int(-1));
}

} // namespace
} // namespace lockora::browse
