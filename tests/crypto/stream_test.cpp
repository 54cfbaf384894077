#include "crypto/abandon_item.h"
#include "crypto/password_key.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "tests/crypto/engine_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lockora::crypto {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::WriteHostFile;
using testing::Pattern;

class StreamTest : public testing::EngineTest {
protected:
    // An engine reading C:\in.bin and writing a new C:\out.bin.
    void Open(CryptEngine& engine, bool encrypt, std::uint64_t key = 0x0123456789ABCDEFull)
    {
        engine.bEncrypt = encrypt;
        engine.strSrcPath = u"C:\\in.bin";
        BuildKeyTable(key, engine.arrKeyTable);
        engine.hSrcFile = platform::File::Open(u"C:\\in.bin", platform::Access::Read, platform::Share::None,
                                               platform::Disposition::OpenExisting)
                              .value();
        engine.hOutFile = platform::File::Open(u"C:\\out.bin", platform::Access::Write, platform::Share::None,
                                               platform::Disposition::CreateAlways)
                              .value();
    }

    std::string Encrypt(const std::string& input)
    {
        WriteHostFile(sandbox(), u"C:\\in.bin", input);
        {
            CryptEngine engine;
            Open(engine, true);
            StreamCursor cursor;
            engine.TransformStream(input.size(), cursor, ProgressMode::WritePosition);
            EXPECT_EQ(cursor.read, input.size());
            EXPECT_EQ(cursor.write, input.size());
        }
        return ReadHostFile(sandbox(), u"C:\\out.bin");
    }
};

// The stream of `length` zero bytes as the layout describes it: with x = 0
// a word becomes k * (c + 1) and a tail byte k * (1 + m) modulo 256, where
// word j of full chunk m uses T[j] and counter 10 + 256m + j, word j of the
// remainder T[j] and 10 + 256 * full + j, tail byte j byte j of T[0] and
// 10 + length / 8 + j.
std::string ExpectedZeroStream(std::uint64_t length, const KeyTable& table)
{
    std::string out(length, '\0');
    const std::uint64_t full = length / 2048;
    const std::uint64_t words = length / 8;
    for (std::uint64_t w = 0; w < words; ++w) {
        const std::uint64_t chunk = w / 256;
        const std::uint64_t j = w % 256;
        const std::uint64_t counter = chunk < full ? 10 + 256 * chunk + j : 10 + 256 * full + j;
        const std::uint64_t word = table[j] * (counter + 1);
        std::memcpy(&out[8 * w], &word, 8);
    }
    for (std::uint64_t j = 0; j < length % 8; ++j) {
        const auto k = static_cast<std::uint8_t>(table[0] >> (8 * j));
        const auto m = static_cast<std::uint8_t>(10 + words + j);
        out[8 * words + j] = static_cast<char>(static_cast<std::uint8_t>(k + k * m));
    }
    return out;
}

TEST_F(StreamTest, LayoutOfChunksRemainderAndTail)
{
    KeyTable table{};
    BuildKeyTable(0x0123456789ABCDEFull, table);
    for (std::uint64_t length : {0u, 5u, 8u, 2048u, 2053u, 2056u, 4096u + 2047u}) {
        const std::string zeros(length, '\0');
        EXPECT_EQ(Encrypt(zeros), ExpectedZeroStream(length, table)) << length;
    }
}

TEST_F(StreamTest, EmptyStreamReadsNothingAndReportsOneHundredOnce)
{
    WriteHostFile(sandbox(), u"C:\\in.bin", "");
    CryptEngine engine;
    Open(engine, true);
    engine.uTotal = 0;
    platform::testing::ResetFileOperationCount();
    StreamCursor cursor;
    engine.TransformStream(0, cursor, ProgressMode::WritePosition);
    EXPECT_EQ(platform::testing::FileOperationCount(), 0u);
    EXPECT_EQ(engine.uCrc, kCrcStart);
    EXPECT_EQ(ProgressPercents(), std::vector<std::int32_t>{100});
}

TEST_F(StreamTest, RoundTripForEveryLengthUpTo4200)
{
    // One source; each length reads its first bytes. Fresh files per length
    // (rewriting a truncated file makes ext4 flush it on close).
    const std::string all = Pattern(4200, 197, 11);
    WriteHostFile(sandbox(), u"C:\\in.bin", all);
    const auto run = [](bool encrypt, const char16_t* from, const char16_t* to, std::uint64_t length) {
        CryptEngine engine;
        engine.bEncrypt = encrypt;
        BuildKeyTable(0xFEEDFACE12345678ull, engine.arrKeyTable);
        engine.hSrcFile = platform::File::Open(from, platform::Access::Read, platform::Share::None,
                                               platform::Disposition::OpenExisting)
                              .value();
        engine.hOutFile = platform::File::Open(to, platform::Access::Write, platform::Share::None,
                                               platform::Disposition::CreateNew)
                              .value();
        StreamCursor cursor;
        engine.TransformStream(length, cursor, ProgressMode::WritePosition);
        return engine.uCrc;
    };
    for (std::size_t length = 0; length <= 4200; ++length) {
        const std::uint32_t encryptCrc = run(true, u"C:\\in.bin", u"C:\\out.bin", length);
        const std::uint32_t decryptCrc = run(false, u"C:\\out.bin", u"C:\\back.bin", length);
        const std::string cipher = ReadHostFile(sandbox(), u"C:\\out.bin");
        ASSERT_EQ(cipher.size(), length);
        if (length >= 8) {
            ASSERT_NE(cipher, all.substr(0, length)) << length;
        }
        ASSERT_EQ(ReadHostFile(sandbox(), u"C:\\back.bin"), all.substr(0, length)) << length;
        // Both directions checksum the plaintext.
        ASSERT_EQ(encryptCrc, decryptCrc) << length;
        ASSERT_TRUE(platform::DeleteFile(u"C:\\out.bin").ok());
        ASSERT_TRUE(platform::DeleteFile(u"C:\\back.bin").ok());
    }
}

TEST_F(StreamTest, ProgressFollowsTheWritePositionOrTheCounter)
{
    // t = 1,000: the remainder chunk ends at 496 (49 %), the tail at 500.
    WriteHostFile(sandbox(), u"C:\\in.bin", Pattern(500, 3, 1));
    {
        CryptEngine engine;
        Open(engine, true);
        engine.uTotal = 1000;
        StreamCursor cursor;
        engine.TransformStream(500, cursor, ProgressMode::WritePosition);
    }
    EXPECT_EQ(ProgressPercents(), (std::vector<std::int32_t>{49, 50}));
    const auto first = Notifications().front();
    EXPECT_EQ(first.At(1).At(0).GetString(), u"C:\\in.bin");

    // t = 2,000,000 in counter mode: the chunk brings uDone to 1,000,000.
    ClearRecords();
    WriteHostFile(sandbox(), u"C:\\in.bin", Pattern(2048, 3, 1));
    {
        CryptEngine engine;
        Open(engine, true);
        engine.uTotal = 2000000;
        engine.uDone = 1000000 - 2048;
        StreamCursor cursor{0, 777};
        engine.TransformStream(2048, cursor, ProgressMode::Counter);
        EXPECT_EQ(engine.uDone, 1000000u);
        EXPECT_EQ(cursor.write, 777u + 2048);
    }
    EXPECT_EQ(ProgressPercents(), std::vector<std::int32_t>{50});
}

TEST_F(StreamTest, FileThatShrankAbandonsWithReadFileError)
{
    WriteHostFile(sandbox(), u"C:\\in.bin", Pattern(100, 1, 0));
    CryptEngine engine;
    Open(engine, true);
    StreamCursor cursor;
    try {
        engine.TransformStream(200, cursor, ProgressMode::WritePosition); // the length read before
        FAIL() << "not abandoned";
    } catch (const AbandonItem& abandoned) {
        EXPECT_EQ(abandoned.reason(), "ReadFile Error");
        EXPECT_EQ(abandoned.code(), platform::kErrorHandleEof);
    }
    // Nothing was written for the short chunk.
    engine.hOutFile.Close();
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\out.bin").size(), 0u);
    const auto messages = Notifications();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().At(0).GetInt(), bridge::MSG_SHOW_ERROR_INFO);
    EXPECT_EQ(messages.back().At(1).At(1).GetInt(), 38);
}

TEST_F(StreamTest, FailedReadAndWriteAbandonAfterAnErrorNotification)
{
    WriteHostFile(sandbox(), u"C:\\in.bin", Pattern(5000, 1, 0));
    for (const auto& [failAt, reason] : {std::pair{1, "ReadFile Error"}, std::pair{2, "WriteFile Error"},
                                         std::pair{3, "ReadFile Error"}, std::pair{4, "WriteFile Error"}}) {
        ClearRecords();
        CryptEngine engine;
        Open(engine, true);
        platform::testing::FailNthFileOperation(failAt, platform::kErrorDiskFull);
        StreamCursor cursor;
        try {
            engine.TransformStream(5000, cursor, ProgressMode::WritePosition);
            ADD_FAILURE() << "not abandoned at " << failAt;
        } catch (const AbandonItem& abandoned) {
            EXPECT_EQ(abandoned.reason(), reason) << failAt;
            EXPECT_EQ(abandoned.code(), platform::kErrorDiskFull);
        }
        platform::testing::FailNthFileOperation(0, 0);
        const auto messages = Notifications();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), bridge::BuildNotifyMessage(bridge::MSG_SHOW_ERROR_INFO,
                                                              platform::SystemMessage(112), 112));
    }
}

TEST_F(StreamTest, EncryptingWithABackupWritesTheSameBytesToIt)
{
    WriteHostFile(sandbox(), u"C:\\in.bin", Pattern(3000, 7, 5));
    {
        CryptEngine engine;
        Open(engine, true);
        engine.hBackupFile = platform::File::Open(u"D:\\backup.bin", platform::Access::Write, platform::Share::None,
                                                  platform::Disposition::CreateNew)
                                 .value();
        StreamCursor cursor;
        engine.TransformStream(3000, cursor, ProgressMode::WritePosition);
    }
    const std::string out = ReadHostFile(sandbox(), u"C:\\out.bin");
    EXPECT_EQ(out.size(), 3000u);
    EXPECT_EQ(ReadHostFile(sandbox(), u"D:\\backup.bin"), out);
}

TEST_F(StreamTest, EngineKeysFollowTheRecoverySetting)
{
    CryptEngine engine;
    engine.DeriveKeys(u"secret");
    EXPECT_EQ(engine.uKey, PasswordKey(u"secret"));
    EXPECT_EQ(engine.uKeyPlain, engine.uKey);
    EXPECT_EQ(engine.uCheckValue, PasswordCheck(u"secret"));
    engine.bEptCanFgt = true;
    engine.DeriveKeys(u"secret");
    EXPECT_EQ(engine.uCheckValue, PasswordKey(u"secret"));
}

} // namespace
} // namespace lockora::crypto
