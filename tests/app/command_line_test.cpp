#include "app/command_line.h"

#include <gtest/gtest.h>

namespace lockora::app {
namespace {

TEST(CommandLine, VerbsAreTestedAtTheStartWithLetterCaseCounting)
{
    EXPECT_EQ(VerbPage(u"encrypt \"C:\\a\""), u"this://app/operation-encrypt.html");
    EXPECT_EQ(VerbPage(u"decrypt \"C:\\a\""), u"this://app/operation-decrypt.html");
    EXPECT_EQ(VerbPage(u"remove \"C:\\a\""), u"this://app/operation-delete.html");
    EXPECT_EQ(VerbPage(u"open \"C:\\a.xep\""), u"this://app/index.html");
    EXPECT_EQ(VerbPage(u"encryption"), u"this://app/operation-encrypt.html");
    EXPECT_FALSE(VerbPage(u"Encrypt \"C:\\a\""));
    EXPECT_FALSE(VerbPage(u" encrypt \"C:\\a\""));
    EXPECT_FALSE(VerbPage(u"\"C:\\a\""));
    EXPECT_FALSE(VerbPage(u""));
}

TEST(CommandLine, HandedOverPathRemovesOnlyTheVerbWithItsQuoteAndTheFinalQuote)
{
    EXPECT_EQ(HandedOverPath(u"encrypt \"C:\\Data\\a.txt\""), u"C:\\Data\\a.txt");
    EXPECT_EQ(HandedOverPath(u"remove   \"C:\\Data\""), u"C:\\Data");
    EXPECT_EQ(HandedOverPath(u"open\"C:\\x.xep\""), u"C:\\x.xep");
    EXPECT_EQ(HandedOverPath(u"encrypt C:\\Data\\a.txt"), u"encrypt C:\\Data\\a.txt");
    EXPECT_EQ(HandedOverPath(u"encryption \"C:\\a\""), u"encryption \"C:\\a");
    EXPECT_EQ(HandedOverPath(u"encrypt \"C:\\a\" "), u"C:\\a\" ");
    // Text past the basic plane survives the round trip through the wide form.
    EXPECT_EQ(HandedOverPath(u"decrypt \"C:\\\u6587\U0001F600.xep\""), u"C:\\\u6587\U0001F600.xep");
}

} // namespace
} // namespace lockora::app
