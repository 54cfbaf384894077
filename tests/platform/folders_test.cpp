#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace platform {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;
namespace fs = std::filesystem;

std::vector<std::u16string> Names(const std::vector<FindData>& entries)
{
    std::vector<std::u16string> names;
    for (const auto& entry : entries)
        names.push_back(entry.name);
    return names;
}

const FindData* Entry(const std::vector<FindData>& entries, std::u16string_view name)
{
    for (const auto& entry : entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

using FoldersTest = SandboxTest;

TEST_F(FoldersTest, CreateAndRemoveFolders)
{
    EXPECT_TRUE(CreateDirectory(u"C:\\New").ok());
    EXPECT_EQ(CreateDirectory(u"C:\\New").code(), kErrorAlreadyExists);
    EXPECT_EQ(CreateDirectory(u"C:\\Missing\\New").code(), kErrorPathNotFound);
    WriteHostFile(sandbox(), u"C:\\New\\a.txt", "x");
    EXPECT_EQ(CreateDirectory(u"C:\\New\\a.txt").code(), kErrorAlreadyExists);

    EXPECT_EQ(RemoveDirectory(u"C:\\New").code(), kErrorDirNotEmpty);
    EXPECT_EQ(RemoveDirectory(u"C:\\New\\a.txt").code(), kErrorDirectory);
    EXPECT_EQ(RemoveDirectory(u"C:\\Gone").code(), kErrorFileNotFound);
    EXPECT_EQ(RemoveDirectory(u"C:\\").code(), kErrorAccessDenied);
    ASSERT_TRUE(DeleteFile(u"C:\\New\\a.txt").ok());
    EXPECT_TRUE(RemoveDirectory(u"C:\\New\\").ok());
    EXPECT_FALSE(PathExists(u"C:\\New"));
}

TEST_F(FoldersTest, IsDirectoryAcceptsTrailingSeparatorButNotLinks)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "x");
    fs::create_directory_symlink(sandbox().host(u"C:\\Data"), sandbox().host(u"C:\\link"));
    EXPECT_TRUE(IsDirectory(u"C:\\Data"));
    EXPECT_TRUE(IsDirectory(u"C:\\Data\\"));
    EXPECT_TRUE(IsDirectory(u"C:/Data/"));
    EXPECT_TRUE(IsDirectory(u"C:\\"));
    EXPECT_FALSE(IsDirectory(u"C:\\Data\\a.txt"));
    EXPECT_FALSE(IsDirectory(u"C:\\link"));
    EXPECT_FALSE(IsDirectory(u"C:\\Missing"));
    EXPECT_FALSE(IsDirectory(u"Q:\\"));
    EXPECT_FALSE(IsDirectory(std::u16string(u"C:\\Data\0", 8)));
    EXPECT_TRUE(PathExists(u"C:\\link"));
}

TEST_F(FoldersTest, SeparatorsAndLongPathPrefixReachTheSameFile)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "x");
    EXPECT_TRUE(PathExists(u"C:/Data/a.txt"));
    EXPECT_TRUE(PathExists(u"\\\\?\\C:\\Data\\a.txt"));
    ASSERT_TRUE(SetFileAttributes(u"C:/Data/a.txt", kAttrHidden).ok());
    EXPECT_EQ(GetFileAttributes(u"\\\\?\\C:\\Data\\a.txt").value(), kAttrHidden | kAttrArchive);
    EXPECT_TRUE(DeleteFile(u"\\\\?\\C:/Data\\a.txt").ok());
    EXPECT_FALSE(PathExists(u"C:\\Data\\a.txt"));
}

TEST_F(FoldersTest, DeleteFileErrors)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "x");
    EXPECT_EQ(DeleteFile(u"C:\\Data\\missing.txt").code(), kErrorFileNotFound);
    EXPECT_EQ(DeleteFile(u"C:\\Missing\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(DeleteFile(u"C:\\Data").code(), kErrorAccessDenied);
    EXPECT_EQ(DeleteFile(u"Q:\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(DeleteFile(u"C:\\Data\\*.txt").code(), kErrorInvalidName);
}

TEST_F(FoldersTest, DeleteNeedsEveryOpenHandleToShareDeletion)
{
    WriteHostFile(sandbox(), u"C:\\a.txt", "x");
    {
        auto held = File::Open(u"C:\\a.txt", Access::Read, Share::ReadWrite, Disposition::OpenExisting);
        ASSERT_TRUE(held.ok());
        EXPECT_EQ(DeleteFile(u"C:\\a.txt").code(), kErrorSharingViolation);
        EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\b.txt").code(), kErrorSharingViolation);
        EXPECT_TRUE(PathExists(u"C:\\a.txt"));
    }
    auto shared = File::Open(u"C:\\a.txt", Access::Read, Share::All, Disposition::OpenExisting);
    ASSERT_TRUE(shared.ok());
    EXPECT_TRUE(MoveFile(u"C:\\a.txt", u"C:\\b.txt").ok());
    EXPECT_TRUE(DeleteFile(u"C:\\b.txt").ok());
    char byte = 0;
    EXPECT_EQ(shared->ReadAt(0, &byte, 1).value(), 1u); // the handle outlives the name
}

TEST_F(FoldersTest, DeleteAndRemoveTakeLinksThemselves)
{
    WriteHostFile(sandbox(), u"C:\\Target\\t.txt", "keep");
    fs::create_symlink(sandbox().host(u"C:\\Target\\t.txt"), sandbox().host(u"C:\\file-link"));
    fs::create_directory_symlink(sandbox().host(u"C:\\Target"), sandbox().host(u"C:\\folder-link"));
    EXPECT_EQ(RemoveDirectory(u"C:\\file-link").code(), kErrorDirectory);
    EXPECT_TRUE(DeleteFile(u"C:\\file-link").ok());
    EXPECT_TRUE(RemoveDirectory(u"C:\\folder-link").ok());
    EXPECT_FALSE(PathExists(u"C:\\file-link"));
    EXPECT_FALSE(PathExists(u"C:\\folder-link"));
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Target\\t.txt"), "keep");
}

TEST_F(FoldersTest, MoveNeverReplacesAnExistingTarget)
{
    WriteHostFile(sandbox(), u"C:\\a.txt", "a");
    WriteHostFile(sandbox(), u"C:\\b.txt", "b");
    ASSERT_TRUE(CreateDirectory(u"C:\\Dir").ok());
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\b.txt").code(), kErrorAlreadyExists);
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\Dir").code(), kErrorAlreadyExists);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\a.txt"), "a");
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\b.txt"), "b");

    EXPECT_EQ(MoveFile(u"C:\\missing", u"C:\\c.txt").code(), kErrorFileNotFound);
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"C:\\Missing\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"Q:\\a.txt").code(), kErrorPathNotFound);
    EXPECT_TRUE(MoveFile(u"C:\\a.txt", u"C:\\Dir\\c.txt").ok());
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Dir\\c.txt"), "a");
    EXPECT_TRUE(MoveFile(u"C:\\Dir", u"D:\\Moved").ok()); // both drives lie on one device here
    EXPECT_TRUE(IsDirectory(u"D:\\Moved"));
}

TEST_F(FoldersTest, MoveAcrossDevicesIs17)
{
    const std::string shm = "/dev/shm";
    struct stat shmStat {};
    struct stat rootStat {};
    if (::stat(shm.c_str(), &shmStat) != 0 || ::stat(sandbox().root().c_str(), &rootStat) != 0
        || shmStat.st_dev == rootStat.st_dev)
        GTEST_SKIP() << "no second file system to move to";
    std::string other = shm + "/lockora-move-XXXXXX";
    ASSERT_NE(::mkdtemp(other.data()), nullptr);
    DriveTable table = CurrentDriveTable();
    table.Map(u'E', other);
    SetDriveTable(table);
    WriteHostFile(sandbox(), u"C:\\a.txt", "a");
    EXPECT_EQ(MoveFile(u"C:\\a.txt", u"E:\\a.txt").code(), kErrorNotSameDevice);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\a.txt"), "a");
    fs::remove_all(other);
}

class FindFilesTest : public SandboxTest {};

TEST_F(FindFilesTest, EmptyFolderHoldsOnlyDotsAndEmptyRootNothing)
{
    ASSERT_TRUE(CreateDirectory(u"D:\\Empty").ok());
    auto empty = FindFiles(u"D:\\Empty\\*.*");
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(Names(*empty), (std::vector<std::u16string>{u".", u".."}));
    EXPECT_EQ((*empty)[0].attributes & kAttrDirectory, kAttrDirectory);
    ASSERT_TRUE(RemoveDirectory(u"D:\\Empty").ok());
    EXPECT_EQ(FindFiles(u"D:\\*.*").code(), kErrorFileNotFound);
}

TEST_F(FindFilesTest, DriveRootListsNoDots)
{
    WriteHostFile(sandbox(), u"D:\\x.txt", "x");
    auto root = FindFiles(u"D:\\*");
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(Names(*root), std::vector<std::u16string>{u"x.txt"});
}

TEST_F(FindFilesTest, SortedCaseInsensitivelyWithTiesByCodeUnit)
{
    for (const char16_t* name : {u"b", u"A", u"a", u"_x", u"C"})
        WriteHostFile(sandbox(), std::u16string(u"C:\\Sort\\") + name, "");
    auto entries = FindFiles(u"C:\\Sort\\*.*");
    ASSERT_TRUE(entries.ok());
    EXPECT_EQ(Names(*entries), (std::vector<std::u16string>{u".", u"..", u"A", u"a", u"b", u"C", u"_x"}));
}

TEST_F(FindFilesTest, WildcardsMatchWithoutCase)
{
    for (const char16_t* name : {u"a.txt", u"B.TXT", u"c.txt.bak", u"README", u"ab.doc"})
        WriteHostFile(sandbox(), std::u16string(u"C:\\W\\") + name, "");
    EXPECT_EQ(Names(FindFiles(u"C:\\W\\*.txt").value()), (std::vector<std::u16string>{u"a.txt", u"B.TXT"}));
    EXPECT_EQ(Names(FindFiles(u"C:\\W\\?.TXT").value()), (std::vector<std::u16string>{u"a.txt", u"B.TXT"}));
    EXPECT_EQ(Names(FindFiles(u"C:\\W\\readme.*").value()), std::vector<std::u16string>{u"README"});
    EXPECT_EQ(FindFiles(u"C:\\W\\*.*").value().size(), 7u);
    EXPECT_EQ(FindFiles(u"C:\\W\\*.zip").code(), kErrorFileNotFound);
    // A folder that already ends with a separator takes "*" alone.
    EXPECT_EQ(FindFiles(u"C:\\W\\" u"*").value().size(), 7u);
    EXPECT_EQ(FindFiles(u"C:/W/*").value().size(), 7u);
}

TEST_F(FindFilesTest, EntriesCarryAttributesSizeAndTime)
{
    WriteHostFile(sandbox(), u"C:\\E\\file.bin", "12345");
    WriteHostFile(sandbox(), u"C:\\E\\Sub\\inner.txt", "x");
    fs::create_directory_symlink(sandbox().host(u"C:\\E\\Sub"), sandbox().host(u"C:\\E\\link"));
    auto entries = FindFiles(u"C:\\E\\*.*");
    ASSERT_TRUE(entries.ok());
    const FindData* file = Entry(*entries, u"file.bin");
    const FindData* sub = Entry(*entries, u"Sub");
    const FindData* link = Entry(*entries, u"link");
    ASSERT_TRUE(file && sub && link);
    EXPECT_EQ(file->attributes, kAttrArchive);
    EXPECT_EQ(file->size, 5u);
    EXPECT_EQ(file->lastWriteTime, GetLastWriteTime(u"C:\\E\\file.bin").value());
    EXPECT_EQ(sub->attributes, kAttrDirectory);
    EXPECT_EQ(sub->size, 0u);
    EXPECT_EQ(link->attributes, kAttrReparsePoint | kAttrDirectory);
}

TEST_F(FindFilesTest, HostNamesWindowsCannotHoldRoundTrip)
{
    const std::string host = sandbox().driveRoot('C') + "/Odd";
    fs::create_directories(host);
    {
        std::FILE* file = std::fopen((host + "/a:b").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("colon", file);
        std::fclose(file);
    }
    auto entries = FindFiles(u"C:\\Odd\\*.*");
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries->size(), 3u);
    const std::u16string name = (*entries)[2].name;
    EXPECT_EQ(name, u"a\uF03Ab");
    auto opened = File::Open(u"C:\\Odd\\" + name, Access::Read, Share::All, Disposition::OpenExisting);
    ASSERT_TRUE(opened.ok());
    char buffer[8] = {};
    EXPECT_EQ(opened->ReadAt(0, buffer, sizeof buffer).value(), 5u);
}

TEST_F(FindFilesTest, BadPatternsAnswerWithWindowsCodes)
{
    WriteHostFile(sandbox(), u"C:\\f.txt", "x");
    EXPECT_EQ(FindFiles(u"C:\\Missing\\*.*").code(), kErrorPathNotFound);
    EXPECT_EQ(FindFiles(u"C:\\f.txt\\*.*").code(), kErrorDirectory);
    EXPECT_EQ(FindFiles(u"Q:\\*.*").code(), kErrorPathNotFound);
    EXPECT_EQ(FindFiles(u"*.*").code(), kErrorPathNotFound);
    EXPECT_EQ(FindFiles(u"").code(), kErrorPathNotFound);
    EXPECT_EQ(FindFiles(u"C:\\").code(), kErrorFileNotFound);
    EXPECT_EQ(FindFiles(std::u16string(u"C:\\a\0b\\*", 8)).code(), kErrorInvalidName);
    EXPECT_EQ(FindFiles(std::u16string(u"C:\\*\0", 5)).code(), kErrorInvalidName);
    EXPECT_EQ(FindFiles(u"C:\\" + std::u16string(300, u'n') + u"\\*").code(), kErrorFilenameExcedRange);
}

} // namespace
} // namespace platform
