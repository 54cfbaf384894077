#include "crypto/record_path.h"

#include <gtest/gtest.h>

namespace lockora::crypto {
namespace {

TEST(RecordPathTest, PlainRelativePathsAreAccepted)
{
    for (const char16_t* path : {u"\\a.txt", u"\\sub", u"\\sub\\a.txt", u"\\.hidden", u"\\a..b", u"\\CONSOLE",
                                 u"\\COM10", u"\\LPT", u"\\x.CON", u"\\\u00e4\u4e2d.txt", u"\\a b\\c", u"\\\uF03A"}) {
        EXPECT_TRUE(IsSafeRecordPath(path)) << ::testing::PrintToString(std::u16string(path));
    }
}

TEST(RecordPathTest, PathsThatLeaveTheFolderOrNameDevicesAreRefused)
{
    for (const char16_t* path : {
             u"",                // empty
             u"\\",              // no name
             u"a.txt",           // not below the folder's root
             u"\\\\server\\share", // UNC
             u"\\C:\\x", u"C:\\x", // drive
             u"\\a:stream",      // alternate data stream
             u"\\a/b", u"\\..\\escape.txt", u"\\a\\..\\..\\b", u"\\.", u"\\a\\.\\b",
             u"\\a\\\\b",        // empty name
             u"\\x.", u"\\x ", u"\\sub.\\a", // trailing dot or blank
             u"\\a\tb", u"\\a\x1f", // control characters
             u"\\a*", u"\\a?", u"\\a\"", u"\\a<", u"\\a>", u"\\a|",
             u"\\CON", u"\\con", u"\\PRN.txt", u"\\aux.tar.gz", u"\\Nul", u"\\COM0", u"\\com9.log", u"\\LPT1",
             u"\\lpt5.x", u"\\CON .txt", u"\\COM\u00b9", u"\\sub\\NUL",
         }) {
        EXPECT_FALSE(IsSafeRecordPath(path)) << ::testing::PrintToString(std::u16string(path));
    }
    EXPECT_FALSE(IsSafeRecordPath(std::u16string_view(u"\\a\0b", 4)));
}

} // namespace
} // namespace lockora::crypto
