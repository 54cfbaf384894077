#include "engine/archive.h"
#include "engine/archive_table.h"
#include "engine/packer/archive_writer.h"
#include "platform/errors.h"

#include "test_archive_block.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::engine {
namespace {

using packer::ArchiveItem;
using packer::BuildArchive;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::string Text(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> Build(std::vector<ArchiveItem> items)
{
    auto block = BuildArchive(std::move(items));
    EXPECT_TRUE(block.ok()) << block.code();
    return block.ok() ? *block : std::vector<std::uint8_t>{};
}

void PutU32(std::vector<std::uint8_t>& block, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool Opens(const std::vector<std::uint8_t>& block)
{
    return Archive::Open(block).ok();
}

// The archive packed from tests/engine/data/archive at build time.
TEST(PackedArchive, FindsItemsWhateverTheLetterCase)
{
    auto archive = Archive::Open(testing::TestArchiveBlock());
    ASSERT_TRUE(archive.ok());
    EXPECT_EQ(archive->ItemCount(), 4u);

    const std::string script = "function AsynMsgBox(text) { return text; }\n";
    for (const auto* path : {u"TIS/AsynMsgBox.tis", u"tis/asynmsgbox.tis", u"/tis/asynmsgbox.tis", u"TIS/ASYNMSGBOX.TIS"}) {
        const auto item = archive->Item(path);
        ASSERT_TRUE(item.has_value());
        EXPECT_EQ(Text(*item), script);
    }
    EXPECT_EQ(Text(*archive->Item(u"index.html")), "<html><body>Index</body></html>\n");
    EXPECT_EQ(Text(*archive->Item(u"CSS/base.css")), "body { margin: 0; }\n");
}

TEST(PackedArchive, AnEmptyFileIsAnEmptyItem)
{
    auto archive = Archive::Open(testing::TestArchiveBlock());
    ASSERT_TRUE(archive.ok());
    const auto item = archive->Item(u"empty.txt");
    ASSERT_TRUE(item.has_value());
    EXPECT_TRUE(item->empty());
}

TEST(PackedArchive, MissingItemsAreNotFound)
{
    auto archive = Archive::Open(testing::TestArchiveBlock());
    ASSERT_TRUE(archive.ok());
    for (const auto* path : {u"tis/jp.tis", u"tis", u"tis/", u"", u"/", u"//index.html", u"index.htm", u"index.html ",
                             u"tis\\asynmsgbox.tis", u"tis/asynmsgbox.tis/x"})
        EXPECT_FALSE(archive->Item(path).has_value()) << std::string(path, path + std::char_traits<char16_t>::length(path));
}

TEST(ArchiveWriter, SameItemsGiveTheSameBlockInAnyOrder)
{
    const auto forward = Build({{"b/Two.txt", Bytes("2")}, {"a.txt", Bytes("1")}, {"c", Bytes("")}});
    const auto backward = Build({{"c", Bytes("")}, {"a.txt", Bytes("1")}, {"b/Two.txt", Bytes("2")}});
    EXPECT_EQ(forward, backward);
    auto archive = Archive::Open(forward);
    ASSERT_TRUE(archive.ok());
    EXPECT_EQ(Text(*archive->Item(u"b/two.txt")), "2");
}

TEST(ArchiveWriter, RefusesNamesTheReaderCouldNotServe)
{
    EXPECT_EQ(BuildArchive({{"", Bytes("x")}}).code(), platform::kErrorInvalidName);
    EXPECT_EQ(BuildArchive({{"/index.html", Bytes("x")}}).code(), platform::kErrorInvalidName);
    EXPECT_EQ(BuildArchive({{"bad\xff.txt", Bytes("x")}}).code(), platform::kErrorInvalidName);
    EXPECT_EQ(BuildArchive({{std::string(kMaxArchiveNameBytes + 1, 'a'), Bytes("x")}}).code(),
              platform::kErrorInvalidName);
    EXPECT_EQ(BuildArchive({{"Tis/A.tis", Bytes("1")}, {"tis/a.TIS", Bytes("2")}}).code(),
              platform::kErrorAlreadyExists);
}

TEST(ArchiveWriter, NonAsciiNamesRoundTrip)
{
    const auto block = Build({{"image/Ärger.png", Bytes("png")}});
    auto archive = Archive::Open(block);
    ASSERT_TRUE(archive.ok());
    EXPECT_EQ(Text(*archive->Item(u"IMAGE/Ärger.png")), "png");
}

TEST(ArchiveReader, AnEmptyArchiveOpens)
{
    auto archive = Archive::Open(Build({}));
    ASSERT_TRUE(archive.ok());
    EXPECT_EQ(archive->ItemCount(), 0u);
    EXPECT_FALSE(archive->Item(u"index.html").has_value());
}

// Each cut copy has exactly the cut length, so reading past it is caught by
// the address sanitizer as well as by the result.
TEST(ArchiveReader, RefusesABlockTruncatedAtAnyOffset)
{
    const auto packed = testing::TestArchiveBlock();
    ASSERT_TRUE(Archive::Open(packed).ok());
    for (std::size_t length = 0; length < packed.size(); ++length) {
        const std::vector<std::uint8_t> cut(packed.begin(), packed.begin() + length);
        EXPECT_EQ(Archive::Open(cut).code(), platform::kErrorInvalidData) << "length " << length;
    }
}

// Block of "a.txt" and "b.txt": entry 0 at 12 (name length), name at 16,
// offset at 21, size at 25; entry 1 starts at 29.
class MalformedBlock : public ::testing::Test {
protected:
    static constexpr std::size_t kCount = 8;
    static constexpr std::size_t kNameLength0 = 12;
    static constexpr std::size_t kName0 = 16;
    static constexpr std::size_t kOffset0 = 21;
    static constexpr std::size_t kSize0 = 25;
    static constexpr std::size_t kName1 = 33;

    std::vector<std::uint8_t> block_ = Build({{"a.txt", Bytes("first")}, {"b.txt", Bytes("second")}});
};

TEST_F(MalformedBlock, TheUntouchedBlockOpens)
{
    auto archive = Archive::Open(block_);
    ASSERT_TRUE(archive.ok());
    EXPECT_EQ(Text(*archive->Item(u"a.txt")), "first");
    EXPECT_EQ(Text(*archive->Item(u"b.txt")), "second");
}

TEST_F(MalformedBlock, WrongMagic)
{
    block_[0] = 'X';
    EXPECT_FALSE(Opens(block_));
}

TEST_F(MalformedBlock, HugeOrOverstatedCount)
{
    for (std::uint32_t count : {0xFFFFFFFFu, 0x10000000u, 3u}) {
        auto copy = block_;
        PutU32(copy, kCount, count);
        EXPECT_FALSE(Opens(copy)) << count;
    }
}

TEST_F(MalformedBlock, ItemBytesOutsideTheBlock)
{
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> cases = {
        {0xFFFFFFF0u, 1},                                              // offset far past the end
        {0, 0xFFFFFFFFu},                                              // size far past the end
        {0x80000000u, 0x80000000u},                                    // sum wraps in 32 bits
        {static_cast<std::uint32_t>(block_.size()), 1},                // starts at the end
        {static_cast<std::uint32_t>(block_.size() - 1), 2},            // one byte too many
    };
    for (const auto& [offset, size] : cases) {
        auto copy = block_;
        PutU32(copy, kOffset0, offset);
        PutU32(copy, kSize0, size);
        EXPECT_FALSE(Opens(copy)) << offset << "+" << size;
    }
    // An empty item exactly at the end is still inside the block.
    PutU32(block_, kOffset0, static_cast<std::uint32_t>(block_.size()));
    PutU32(block_, kSize0, 0);
    EXPECT_TRUE(Opens(block_));
}

TEST_F(MalformedBlock, BadNameLengths)
{
    for (std::uint32_t length : {0u, 0xFFFFFFFFu, static_cast<std::uint32_t>(kMaxArchiveNameBytes + 1), 1000u}) {
        auto copy = block_;
        PutU32(copy, kNameLength0, length);
        EXPECT_FALSE(Opens(copy)) << length;
    }
}

TEST_F(MalformedBlock, NamesThatBreakTheTableOrder)
{
    auto upper = block_;
    upper[kName0] = 'A'; // could never be found by a folded lookup
    EXPECT_FALSE(Opens(upper));

    auto duplicate = block_;
    duplicate[kName1] = 'a'; // "a.txt" twice
    EXPECT_FALSE(Opens(duplicate));

    auto unsorted = block_;
    unsorted[kName0] = 'c'; // "c.txt" before "b.txt"
    EXPECT_FALSE(Opens(unsorted));

    auto notUtf8 = block_;
    notUtf8[kName0] = 0xC0;
    EXPECT_FALSE(Opens(notUtf8));
}

// Random damage either opens as some archive or is refused; either way no
// read leaves the block (checked under the sanitizers).
TEST(ArchiveReader, RandomDamageNeverReadsOutsideTheBlock)
{
    const auto packed = testing::TestArchiveBlock();
    std::mt19937 random(20220621);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> damaged(packed.begin(), packed.end());
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        auto archive = Archive::Open(damaged);
        if (!archive)
            continue;
        for (const auto* path : {u"index.html", u"tis/asynmsgbox.tis", u"css/base.css", u"empty.txt"}) {
            if (auto item = archive->Item(path); item && !item->empty()) {
                EXPECT_GE(item->data(), damaged.data());
                EXPECT_LE(item->data() + item->size(), damaged.data() + damaged.size());
            }
        }
    }
}

TEST(ArchiveTable, OpensLooksUpAndCloses)
{
    ArchiveTable table;
    const auto block = Build({{"index.html", Bytes("page")}});
    EXPECT_EQ(table.Open(std::span<const std::uint8_t>(block).first(5)), 0u);

    const auto first = table.Open(block);
    const auto second = table.Open(testing::TestArchiveBlock());
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(Text(*table.Item(first, u"INDEX.HTML")), "page");
    EXPECT_FALSE(table.Item(first, u"tis/asynmsgbox.tis").has_value());
    EXPECT_TRUE(table.Item(second, u"tis/asynmsgbox.tis").has_value());

    table.Close(first);
    EXPECT_FALSE(table.Item(first, u"index.html").has_value());
    EXPECT_TRUE(table.Item(second, u"index.html").has_value());
    table.Close(first); // already closed: nothing happens
    table.Close(0);
    EXPECT_NE(table.Open(block), first); // a closed id does not come back
}

} // namespace
} // namespace lockora::engine
