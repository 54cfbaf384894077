// Containers made by hand, one fault each: the reader must reject each with
// its named outcome, write nothing outside the output folder, and never
// crash (this suite also runs under AddressSanitizer).
//
// What an abandoned folder restore leaves is the output folder with the
// records restored before the bad one; removing it is the decrypt
// operation's clean-up. A bad record itself is refused before anything is
// created for it.
#include "crypto/password_key.h"
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lockora::crypto {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::WriteHostFile;

std::string Little(std::uint64_t value, int size)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

std::string PathBytes(std::u16string_view path)
{
    std::string bytes;
    for (char16_t unit : path)
        bytes += Little(unit, 2);
    return bytes + std::string(2, '\0');
}

std::string DirRecord(std::u16string_view path)
{
    return "\xFF" + Little(static_cast<std::uint32_t>(kKindFolder), 4) + PathBytes(path);
}

std::string FileRecord(std::u16string_view path, std::uint64_t length, std::string_view content)
{
    return "\xFF" + Little(static_cast<std::uint32_t>(kKindFile), 4) + PathBytes(path) + Little(length, 8) +
           std::string(content);
}

// A valid trailer for the password "pw" after the given body.
std::string WithTrailer(const std::string& body, std::int32_t kind = kKindFolder)
{
    auto trailer = ContainerTrailer::Make(false, kind, PasswordCheck(u"pw"));
    trailer.Seal(kCrcStart);
    return body + std::string(trailer.bytes.begin(), trailer.bytes.end());
}

class CraftedContainerTest : public testing::EngineTest {
protected:
    // Decrypts `container` into D:\out and checks that nothing but D:\out
    // changed; returns the outcome.
    testing::DecryptOutcome Restore(const std::string& container)
    {
        WriteHostFile(sandbox(), u"C:\\crafted.xep", container);
        std::filesystem::remove_all(sandbox().host(u"D:\\out"));
        const auto before = testing::SnapshotTree(sandbox().root());
        const auto outcome = DecryptItem(u"C:\\crafted.xep", u"D:\\out", u"pw");
        auto after = testing::SnapshotTree(sandbox().root());
        std::erase_if(after, [](const auto& entry) { return entry.first.starts_with("d/out"); });
        EXPECT_EQ(after, before);
        return outcome;
    }

    void ExpectRejected(const std::string& body, const std::string& what)
    {
        ClearRecords();
        const auto outcome = Restore(WithTrailer(body));
        EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok) << what;
        EXPECT_EQ(outcome.abandoned, "Error data") << what;
        EXPECT_EQ(MessageBoxes(), 1) << what;
        EXPECT_TRUE(std::filesystem::is_empty(sandbox().host(u"D:\\out"))) << what;
    }
};

TEST_F(CraftedContainerTest, RecordPathsOutsideTheOutputFolderAreErrorData)
{
    for (const char16_t* path : {u"\\..\\escape.txt", u"\\a\\..\\..\\b", u"\\C:\\x", u"\\a:stream", u"\\CON", u"\\x.",
                                 u"\\..", u"..\\x", u"\\\\server\\share\\x", u"\\a/../../x", u"\\", u""}) {
        const std::string name = ::testing::PrintToString(std::u16string(path));
        ExpectRejected(FileRecord(path, 3, "abc"), "file " + name);
        ExpectRejected(DirRecord(path), "directory " + name);
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox().root() + "/d/escape.txt"));
    EXPECT_FALSE(std::filesystem::exists(sandbox().root() + "/d/b"));
}

TEST_F(CraftedContainerTest, LengthsPastTheBodyAreErrorData)
{
    ExpectRejected(FileRecord(u"\\a.txt", 4, "abc"), "one byte too long");
    ExpectRejected(FileRecord(u"\\a.txt", 0xFFFFFFFFFFFFFFFFull, "abc"), "2^64 - 1");
    ExpectRejected(FileRecord(u"\\a.txt", 0xFFFFFFFFFFFFFFF0ull, "abc"), "near 2^64");
    ExpectRejected(FileRecord(u"\\a.txt", 0x8000000000000000ull, "abc"), "2^63");
    // A file record whose length field itself is cut off by the body's end.
    ExpectRejected(FileRecord(u"\\a.txt", 3, "").substr(0, 5 + 14 + 4), "cut length");
    // A path without its terminator inside the body.
    ExpectRejected(DirRecord(u"\\abc").substr(0, 5 + 6), "cut path");
    // A path longer than any header may be.
    ExpectRejected(DirRecord(std::u16string(u"\\") + std::u16string(400, u'x')), "header over 600 bytes");
}

TEST_F(CraftedContainerTest, BadMarkerOrKindIsErrorData)
{
    std::string record = DirRecord(u"\\a");
    record[0] = '\xFE';
    ExpectRejected(record, "first byte");
    record = DirRecord(u"\\a");
    record[1] = '\x03';
    ExpectRejected(record, "kind");
}

TEST_F(CraftedContainerTest, RecordsBeforeABadOneStayForTheCleanUp)
{
    const std::string body = DirRecord(u"\\kept") + DirRecord(u"\\kept\\..\\..\\gone");
    ClearRecords();
    const auto outcome = Restore(WithTrailer(body));
    EXPECT_EQ(outcome.abandoned, "Error data");
    EXPECT_TRUE(platform::IsDirectory(u"D:\\out\\kept"));
    EXPECT_FALSE(std::filesystem::exists(sandbox().root() + "/gone"));
}

TEST_F(CraftedContainerTest, FiveOrFewerLeftoverBytesEndTheBody)
{
    const auto outcome = Restore(WithTrailer(DirRecord(u"\\a") + "\xFF\x01\xFF\xFF\xFF"));
    EXPECT_EQ(outcome.trailer, TrailerOutcome::Ok);
    EXPECT_FALSE(outcome.abandoned);
    EXPECT_TRUE(platform::IsDirectory(u"D:\\out\\a"));
    EXPECT_EQ(MessageBoxes(), 0);
}

TEST_F(CraftedContainerTest, ContainerCutAtEveryOffset)
{
    WriteHostFile(sandbox(), u"C:\\docs\\a.txt", "0123456789");
    WriteHostFile(sandbox(), u"C:\\docs\\d\\b.bin", testing::Pattern(20, 7, 1));
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\docs\\e").ok());
    ASSERT_FALSE(EncryptItem(u"C:\\docs", u"C:\\docs.xep", u"pw"));
    const std::string whole = ReadHostFile(sandbox(), u"C:\\docs.xep");
    const std::string body = whole.substr(0, whole.size() - kTrailerSize);

    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        // Cut as it stands: the trailer is gone, so it is no container.
        const auto plain = Restore(whole.substr(0, cut));
        EXPECT_EQ(plain.trailer, TrailerOutcome::BadContainer) << cut;
        if (cut > body.size())
            continue;

        // The body cut with a valid trailer after it: restored up to the
        // cut, never beyond the output folder.
        ClearRecords();
        const auto sealed = Restore(WithTrailer(body.substr(0, cut)));
        ASSERT_EQ(sealed.trailer, TrailerOutcome::Ok) << cut;
        if (sealed.abandoned) {
            EXPECT_EQ(*sealed.abandoned, "Error data") << cut;
            EXPECT_EQ(MessageBoxes(), 1) << cut;
        } else {
            // The trailer was sealed over no data: only a body of at most
            // five bytes, which ends the restore at once, matches it.
            EXPECT_EQ(sealed.checksumOk, cut <= 5) << cut;
        }
    }
}

} // namespace
} // namespace lockora::crypto
