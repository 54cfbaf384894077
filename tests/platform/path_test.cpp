#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using lockora::testing::SandboxTest;

TEST(TextTest, Utf8RoundTripsEveryPlane)
{
    const std::u16string text = u"a\u00e9\u4e2d\U0001F600z";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"\u00e9"), "\xc3\xa9");
}

TEST(TextTest, MalformedInputBecomesReplacementCharacter)
{
    EXPECT_EQ(Utf8ToUtf16("a\xff" "b"), u"a\ufffdb");
    EXPECT_EQ(Utf8ToUtf16("\xc0\xaf"), u"\ufffd\ufffd"); // overlong "/"
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80")); // encoded surrogate
}

TEST(TextTest, CaseInsensitiveComparisonFoldsLatinAndCyrillic)
{
    EXPECT_TRUE(EqualsNoCase(u"Config.INI", u"config.ini"));
    EXPECT_TRUE(EqualsNoCase(u"\u00e9t\u00e9", u"\u00c9T\u00c9"));
    EXPECT_TRUE(EqualsNoCase(u"\u0444\u0430\u0439\u043b", u"\u0424\u0410\u0419\u041b"));
    EXPECT_TRUE(EqualsNoCase(u"\u0142\u00f3d\u017a", u"\u0141\u00d3D\u0179"));
    EXPECT_LT(CompareNoCase(u"apple", u"Banana"), 0);
    EXPECT_FALSE(EqualsNoCase(u"a", u"ab"));
}

TEST(DriveTableTest, ParsesSpecificationAndRejectsMalformedEntries)
{
    auto table = DriveTable::Parse("c=/srv/c/;D=/mnt/data;Z=/");
    ASSERT_TRUE(table.ok());
    ASSERT_NE(table->Root(u'C'), nullptr);
    EXPECT_EQ(*table->Root(u'c'), "/srv/c");
    EXPECT_EQ(*table->Root(u'Z'), "/");
    EXPECT_EQ(table->Root(u'E'), nullptr);
    EXPECT_EQ(DriveTable::Parse("C=relative").code(), kErrorInvalidParameter);
    EXPECT_EQ(DriveTable::Parse("1=/x").code(), kErrorInvalidParameter);
}

class PathTest : public SandboxTest {};

TEST_F(PathTest, SeparatorsAndLongPathPrefixReachTheSameHostPath)
{
    const std::string expected = sandbox().driveRoot('C') + "/Data/a.txt";
    EXPECT_EQ(ToHostPath(u"C:\\Data\\a.txt").value(), expected);
    EXPECT_EQ(ToHostPath(u"C:/Data/a.txt").value(), expected);
    EXPECT_EQ(ToHostPath(u"\\\\?\\C:\\Data\\a.txt").value(), expected);
    EXPECT_EQ(ToHostPath(u"c:\\Data\\\\.\\x\\..\\a.txt").value(), expected);
    EXPECT_EQ(ToHostPath(u"C:\\").value(), sandbox().driveRoot('C'));
    EXPECT_EQ(ToHostPath(u"C:").value(), sandbox().driveRoot('C'));
}

TEST_F(PathTest, DotDotNeverClimbsAboveTheDriveRoot)
{
    EXPECT_EQ(ToHostPath(u"C:\\..\\..\\etc\\passwd").value(), sandbox().driveRoot('C') + "/etc/passwd");
}

TEST_F(PathTest, BadInputGivesWindowsErrorCodes)
{
    EXPECT_EQ(ToHostPath(u"").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(u"Data\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(u"\\Data\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(u"\\\\server\\share\\a").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(u"C:relative").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(u"Q:\\a.txt").code(), kErrorPathNotFound);
    EXPECT_EQ(ToHostPath(std::u16string(u"C:\\a\0b", 6)).code(), kErrorInvalidName);
    EXPECT_EQ(ToHostPath(u"C:\\a:stream").code(), kErrorInvalidName);
    EXPECT_EQ(ToHostPath(u"C:\\a*.txt").code(), kErrorInvalidName);
    EXPECT_EQ(ToHostPath(u"C:\\" + std::u16string(256, u'n')).code(), kErrorFilenameExcedRange);
    EXPECT_EQ(ToHostPath(u"C:\\" + std::u16string(kMaxPathUnits, u'n')).code(), kErrorFilenameExcedRange);
}

TEST_F(PathTest, HostNamesThatWindowsCannotHoldRoundTrip)
{
    EXPECT_EQ(HostNameToWindows("a:b"), u"a\uF03Ab");
    EXPECT_EQ(WindowsNameToHost(u"a\uF03Ab"), "a:b");
    for (const std::string& name : std::vector<std::string>{"a\\b", "q?\"<>|*", std::string("tab\there"), std::string("bad\xff\xfe" "utf8"),
                                   std::string("\xc3\xa9t\xc3\xa9")})
        EXPECT_EQ(WindowsNameToHost(HostNameToWindows(name)), name) << name;

    const std::string host = sandbox().driveRoot('C') + "/dir/a:b";
    const auto windows = ToWindowsPath(host);
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ(windows.value(), u"C:\\dir\\a\uF03Ab");
    EXPECT_EQ(ToHostPath(windows.value()).value(), host);
}

TEST_F(PathTest, HostPathsMapBackThroughTheLongestDriveRoot)
{
    DriveTable table;
    table.Map(u'Z', "/");
    table.Map(u'C', sandbox().driveRoot('C'));
    SetDriveTable(table);
    EXPECT_EQ(ToWindowsPath(sandbox().driveRoot('C') + "/x/y").value(), u"C:\\x\\y");
    EXPECT_EQ(ToWindowsPath("/usr/bin").value(), u"Z:\\usr\\bin");
    EXPECT_EQ(ToWindowsPath(sandbox().driveRoot('C')).value(), u"C:\\");
    EXPECT_EQ(ToWindowsPath("relative").code(), kErrorPathNotFound);
}

TEST_F(PathTest, LogicalDrivesInLetterOrder)
{
    const std::vector<std::u16string> expected{u"C:\\", u"D:\\"};
    EXPECT_EQ(LogicalDrives(), expected);
}

TEST(ErrorsTest, ErrnoTableAndMessages)
{
    EXPECT_EQ(ErrorFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(ErrorFromErrno(ENOENT, ErrnoContext::General, true), kErrorPathNotFound);
    EXPECT_EQ(ErrorFromErrno(EEXIST, ErrnoContext::CreateNew), kErrorFileExists);
    EXPECT_EQ(ErrorFromErrno(EEXIST), kErrorAlreadyExists);
    EXPECT_EQ(ErrorFromErrno(EROFS), kErrorAccessDenied);
    EXPECT_EQ(ErrorFromErrno(ENOSPC), kErrorDiskFull);
    EXPECT_EQ(ErrorFromErrno(EXDEV), kErrorNotSameDevice);
    EXPECT_EQ(SystemMessage(5), u"Access is denied.");
    EXPECT_EQ(Error(32).message(), u"The process cannot access the file because it is being used by another process.");
}

} // namespace
} // namespace platform
