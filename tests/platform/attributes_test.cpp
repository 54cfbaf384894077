#include "platform/attributes.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;
namespace fs = std::filesystem;

class AttributesTest : public SandboxTest {
protected:
    // The raw "user.DOSATTRIB" bytes of a Windows-form path; nothing when absent.
    std::optional<std::string> StoredAttrib(std::u16string_view path)
    {
        char buffer[64];
        const ssize_t length = ::lgetxattr(sandbox().host(path).c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
        if (length < 0) {
            EXPECT_EQ(errno, ENODATA);
            return std::nullopt;
        }
        return std::string(buffer, static_cast<std::size_t>(length));
    }

    void Store(std::u16string_view path, std::string_view value)
    {
        ASSERT_EQ(::setxattr(sandbox().host(path).c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0);
    }

    mode_t Mode(std::u16string_view path)
    {
        struct stat st {};
        EXPECT_EQ(::lstat(sandbox().host(path).c_str(), &st), 0);
        return st.st_mode & 07777;
    }
};

TEST_F(AttributesTest, KindsReportTheirBaseBits)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "x");
    EXPECT_EQ(GetFileAttributes(u"C:\\Data\\a.txt").value(), kAttrArchive);
    EXPECT_EQ(GetFileAttributes(u"C:\\Data").value(), kAttrDirectory);
    EXPECT_EQ(GetFileAttributes(u"C:\\Data\\missing").code(), kErrorFileNotFound);
    EXPECT_EQ(GetFileAttributes(u"C:\\Missing\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(GetFileAttributes(u"Q:\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(GetFileAttributes(std::u16string(u"C:\\Data\0", 8)).code(), kErrorInvalidName);
}

TEST_F(AttributesTest, ReadOnlyFileIsEnforcedEvenForRoot)
{
    ASSERT_EQ(::geteuid(), 0u) << "this machine's tests run as root; the check matters because root bypasses modes";
    WriteHostFile(sandbox(), u"C:\\ro.txt", "keep");
    ASSERT_TRUE(SetFileAttributes(u"C:\\ro.txt", kAttrReadOnly).ok());
    EXPECT_EQ(Mode(u"C:\\ro.txt") & 0222, 0u);
    EXPECT_EQ(GetFileAttributes(u"C:\\ro.txt").value(), kAttrReadOnly | kAttrArchive);

    EXPECT_EQ(File::Open(u"C:\\ro.txt", Access::Write, Share::All, Disposition::OpenExisting).code(), kErrorAccessDenied);
    EXPECT_EQ(File::Open(u"C:\\ro.txt", Access::Read, Share::All, Disposition::CreateAlways).code(), kErrorAccessDenied);
    EXPECT_EQ(DeleteFile(u"C:\\ro.txt").code(), kErrorAccessDenied);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\ro.txt"), "keep");
    EXPECT_TRUE(File::Open(u"C:\\ro.txt", Access::Read, Share::All, Disposition::OpenExisting).ok());

    ASSERT_TRUE(SetFileAttributes(u"C:\\ro.txt", kAttrNormal).ok());
    EXPECT_NE(Mode(u"C:\\ro.txt") & S_IWUSR, 0u);
    EXPECT_TRUE(File::Open(u"C:\\ro.txt", Access::Write, Share::All, Disposition::OpenExisting).ok());
    EXPECT_TRUE(DeleteFile(u"C:\\ro.txt").ok());
}

TEST_F(AttributesTest, HiddenLivesInDosAttrib)
{
    WriteHostFile(sandbox(), u"C:\\h.txt", "x");
    ASSERT_TRUE(SetFileAttributes(u"C:\\h.txt", kAttrHidden).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\h.txt"), "0x2");
    EXPECT_EQ(GetFileAttributes(u"C:\\h.txt").value(), kAttrHidden | kAttrArchive);

    // Read-only joins without disturbing hidden; system and not-indexed are stored too.
    ASSERT_TRUE(SetFileAttributes(u"C:\\h.txt", kAttrHidden | kAttrSystem | kAttrNotContentIndexed | kAttrReadOnly).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\h.txt"), "0x2006");
    EXPECT_EQ(GetFileAttributes(u"C:\\h.txt").value(),
              kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive | kAttrNotContentIndexed);

    ASSERT_TRUE(SetFileAttributes(u"C:\\h.txt", kAttrArchive).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\h.txt"), std::nullopt);
    EXPECT_EQ(GetFileAttributes(u"C:\\h.txt").value(), kAttrArchive);
}

TEST_F(AttributesTest, DotNameIsHiddenUntilItsAttributeSaysOtherwise)
{
    WriteHostFile(sandbox(), u"C:\\.profile", "x");
    EXPECT_EQ(GetFileAttributes(u"C:\\.profile").value(), kAttrHidden | kAttrArchive);
    ASSERT_TRUE(SetFileAttributes(u"C:\\.profile", kAttrNormal).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\.profile"), "0x0");
    EXPECT_EQ(GetFileAttributes(u"C:\\.profile").value(), kAttrArchive);
    ASSERT_TRUE(SetFileAttributes(u"C:\\.profile", kAttrHidden).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\.profile"), "0x2");
}

TEST_F(AttributesTest, ValuesWrittenElsewhereAreReadLeniently)
{
    WriteHostFile(sandbox(), u"C:\\samba.txt", "x");
    Store(u"C:\\samba.txt", "0x22"); // archive and hidden, as Samba writes them
    EXPECT_EQ(GetFileAttributes(u"C:\\samba.txt").value(), kAttrHidden | kAttrArchive);
    Store(u"C:\\samba.txt", std::string_view("0X4\0", 4));
    EXPECT_EQ(GetFileAttributes(u"C:\\samba.txt").value(), kAttrSystem | kAttrArchive);
    // A file's read-only comes from its mode, never from the stored bits.
    Store(u"C:\\samba.txt", "0x1");
    EXPECT_EQ(GetFileAttributes(u"C:\\samba.txt").value(), kAttrArchive);
    ASSERT_TRUE(SetFileAttributes(u"C:\\samba.txt", kAttrHidden).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\samba.txt"), "0x2");
}

TEST_F(AttributesTest, FolderReadOnlyLivesInDosAttribAndBlocksRemoval)
{
    ASSERT_TRUE(CreateDirectory(u"C:\\Locked").ok());
    const mode_t before = Mode(u"C:\\Locked");
    ASSERT_TRUE(SetFileAttributes(u"C:\\Locked", kAttrReadOnly).ok());
    EXPECT_EQ(StoredAttrib(u"C:\\Locked"), "0x1");
    EXPECT_EQ(Mode(u"C:\\Locked"), before);
    EXPECT_EQ(GetFileAttributes(u"C:\\Locked").value(), kAttrDirectory | kAttrReadOnly);
    EXPECT_EQ(RemoveDirectory(u"C:\\Locked").code(), kErrorAccessDenied);
    EXPECT_TRUE(IsDirectory(u"C:\\Locked"));

    ASSERT_TRUE(SetFileAttributes(u"C:\\Locked", kAttrNormal).ok());
    EXPECT_TRUE(RemoveDirectory(u"C:\\Locked").ok());
}

TEST_F(AttributesTest, SymbolicLinksReportThemselves)
{
    WriteHostFile(sandbox(), u"C:\\Target\\t.txt", "x");
    ASSERT_TRUE(SetFileAttributes(u"C:\\Target\\t.txt", kAttrHidden | kAttrReadOnly).ok());
    fs::create_symlink(sandbox().host(u"C:\\Target\\t.txt"), sandbox().host(u"C:\\file-link"));
    fs::create_directory_symlink(sandbox().host(u"C:\\Target"), sandbox().host(u"C:\\folder-link"));
    fs::create_symlink(sandbox().host(u"C:\\nothing"), sandbox().host(u"C:\\dangling"));

    EXPECT_EQ(GetFileAttributes(u"C:\\file-link").value(), kAttrReparsePoint | kAttrArchive);
    EXPECT_EQ(GetFileAttributes(u"C:\\folder-link").value(), kAttrReparsePoint | kAttrDirectory);
    EXPECT_EQ(GetFileAttributes(u"C:\\dangling").value(), kAttrReparsePoint | kAttrArchive);
    EXPECT_FALSE(IsDirectory(u"C:\\folder-link"));

    // A link's attributes cannot be changed, and its target is never touched through it.
    EXPECT_EQ(SetFileAttributes(u"C:\\file-link", kAttrNormal).code(), kErrorAccessDenied);
    EXPECT_EQ(GetFileAttributes(u"C:\\Target\\t.txt").value(), kAttrHidden | kAttrReadOnly | kAttrArchive);
}

TEST_F(AttributesTest, ExtendedQueryReportsSizeAndTime)
{
    WriteHostFile(sandbox(), u"C:\\Data\\five.bin", "12345");
    const timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, sandbox().host(u"C:\\Data\\five.bin").c_str(), times, 0), 0);
    auto data = GetFileAttributesEx(u"\\\\?\\C:\\Data\\five.bin");
    ASSERT_TRUE(data.ok());
    EXPECT_EQ(data->attributes, kAttrArchive);
    EXPECT_EQ(data->size, 5u);
    EXPECT_EQ(data->lastWriteTime, FileTimeFromUnix(1'600'000'000));
    EXPECT_EQ(GetFileAttributesEx(u"C:\\Data").value().size, 0u);
}

TEST_F(AttributesTest, LinkCountSeesHardLinksButNotThroughSymbolicLinks)
{
    WriteHostFile(sandbox(), u"C:\\Data\\one.txt", "x");
    EXPECT_EQ(GetFileLinkCount(u"C:\\Data\\one.txt").value(), 1u);
    fs::create_hard_link(sandbox().host(u"C:\\Data\\one.txt"), sandbox().host(u"D:\\two.txt"));
    EXPECT_EQ(GetFileLinkCount(u"C:\\Data\\one.txt").value(), 2u);
    EXPECT_EQ(GetFileLinkCount(u"D:\\two.txt").value(), 2u);

    fs::create_symlink(sandbox().host(u"C:\\Data\\one.txt"), sandbox().host(u"C:\\link"));
    EXPECT_EQ(GetFileLinkCount(u"C:\\link").value(), 1u);
    EXPECT_EQ(GetFileLinkCount(u"C:\\Data\\missing").code(), kErrorFileNotFound);
}

TEST_F(AttributesTest, VolumeIdSeparatesFileSystems)
{
    DriveTable drives = CurrentDriveTable();
    drives.Map(u'P', "/proc");
    SetDriveTable(drives);
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "x");
    const auto root = GetVolumeId(u"C:\\");
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(GetVolumeId(u"C:\\Data\\a.txt").value(), root.value());
    EXPECT_NE(GetVolumeId(u"P:\\").value(), root.value());
    EXPECT_EQ(GetVolumeId(u"C:\\missing").code(), kErrorFileNotFound);
}

} // namespace
} // namespace platform

namespace platform {
namespace {

class HiddenListTest : public AttributesTest {};

TEST_F(HiddenListTest, HiddenNamesAreListedForDesktopsBesideTheOthers)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "a");
    WriteHostFile(sandbox(), u"C:\\Data\\b.txt", "b");
    ASSERT_TRUE(CreateDirectory(u"C:\\Data\\sub").ok());
    WriteHostFile(sandbox(), u"C:\\Data\\.hidden", "kept by the user\n");

    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\a.txt", kAttrHidden).ok());
    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\sub", kAttrHidden | kAttrReadOnly).ok());
    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\a.txt", kAttrHidden | kAttrReadOnly).ok()); // listed once
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\.hidden"), "kept by the user\na.txt\nsub\n");
    EXPECT_EQ(GetFileAttributes(u"C:\\Data\\a.txt").value() & kAttrHidden, kAttrHidden);

    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\a.txt", kAttrNormal).ok());
    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\b.txt", kAttrNormal).ok()); // never listed: nothing to do
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\.hidden"), "kept by the user\nsub\n");

    // The file goes with the last name this program put there, when no
    // other name is left.
    WriteHostFile(sandbox(), u"C:\\Data\\.hidden", "sub\n");
    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\sub", kAttrNormal).ok());
    EXPECT_FALSE(fs::exists(sandbox().host(u"C:\\Data\\.hidden")));
    // Dot names are hidden on the desktop already.
    WriteHostFile(sandbox(), u"C:\\Data\\.dot", "d");
    ASSERT_TRUE(SetFileAttributes(u"C:\\Data\\.dot", kAttrHidden).ok());
    EXPECT_FALSE(fs::exists(sandbox().host(u"C:\\Data\\.hidden")));
}

TEST_F(HiddenListTest, AListThatCannotBeWrittenFailsAndChangesNothing)
{
    // A read-only ".hidden" (a read-only folder does not stop root, who runs
    // these tests in CI).
    WriteHostFile(sandbox(), u"C:\\Locked\\a.txt", "a");
    WriteHostFile(sandbox(), u"C:\\Locked\\.hidden", "other\n");
    ASSERT_EQ(::chmod(sandbox().host(u"C:\\Locked\\.hidden").c_str(), 0444), 0);
    EXPECT_EQ(SetFileAttributes(u"C:\\Locked\\a.txt", kAttrHidden).code(), kErrorAccessDenied);
    EXPECT_EQ(GetFileAttributes(u"C:\\Locked\\a.txt").value() & kAttrHidden, 0u);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Locked\\.hidden"), "other\n");
}

} // namespace
} // namespace platform
