#include "folders/base64.h"
#include "folders/icon_file.h"

#include <gtest/gtest.h>

#include <string>

namespace lockora::folders {
namespace {

TEST(Base64Test, PaddingCompletesEveryGroup)
{
    EXPECT_EQ(EncodeBase64(""), u"");
    EXPECT_EQ(EncodeBase64("f"), u"Zg==");
    EXPECT_EQ(EncodeBase64("fo"), u"Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), u"Zm9v");
    EXPECT_EQ(EncodeBase64("foobar"), u"Zm9vYmFy");
    EXPECT_EQ(EncodeBase64(std::string("\xff\xfe\x00", 3)), u"//4A");
    EXPECT_EQ(EncodeBase64(std::string("\xfb\xff", 2)), u"+/8=");
}

std::string FakePng(std::uint32_t width, std::uint32_t height)
{
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (const std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<char>((value >> shift) & 0xFF));
    png += "rest";
    return png;
}

TEST(IconFileTest, OnePngImageBehindItsDirectoryEntry)
{
    const std::string png = FakePng(16, 16);
    const std::string icon = IconFileFromPng(png);
    ASSERT_EQ(icon.size(), 22 + png.size());
    EXPECT_EQ(icon.substr(0, 6), std::string("\0\0\1\0\1\0", 6));
    EXPECT_EQ(icon[6], 16);
    EXPECT_EQ(icon[7], 16);
    ASSERT_EQ(png.size(), 28u);
    EXPECT_EQ(icon.substr(8, 8), std::string("\0\0\1\0\x20\0\x1c\0", 8)); // planes, bits, size low
    EXPECT_EQ(icon.substr(16, 2), std::string("\0\0", 2));
    EXPECT_EQ(icon.substr(18, 4), std::string("\x16\0\0\0", 4)); // image offset 22
    EXPECT_EQ(icon.substr(22), png);
}

TEST(IconFileTest, LargeImagesAreMarkedZeroAndOtherDataRefused)
{
    const std::string icon = IconFileFromPng(FakePng(256, 512));
    ASSERT_FALSE(icon.empty());
    EXPECT_EQ(icon[6], 0);
    EXPECT_EQ(icon[7], 0);
    EXPECT_EQ(IconFileFromPng("GIF89a not a png at all, long enough"), "");
    EXPECT_EQ(IconFileFromPng(FakePng(16, 16).substr(0, 20)), "");
}

} // namespace
} // namespace lockora::folders
