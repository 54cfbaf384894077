#include "browse/drive_walk.h"
#include "browse/icon_cache.h"

#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace lockora::browse {
namespace {

using lockora::testing::WriteHostFile;
using namespace std::chrono_literals;

class IconCacheTest : public lockora::testing::SandboxTest {
protected:
    void Write(std::u16string_view path) { WriteHostFile(sandbox(), path, "x"); }
    void Link(std::u16string_view link, std::u16string_view target)
    {
        std::filesystem::create_directory_symlink(sandbox().host(target), sandbox().host(link));
    }
    // Folders D0\D1\...\D<depth-1> below `root`, each holding one file
    // "f<level>.e<level>", so every file has an extension of its own.
    std::vector<std::u16string> MakeDeepTree(std::u16string root, int depth)
    {
        std::vector<std::u16string> files;
        std::u16string folder = std::move(root);
        for (int level = 0; level < depth; ++level) {
            const std::u16string number = std::u16string(u"") + ToText(level);
            folder += u"\\D" + number;
            files.push_back(folder + u"\\f" + number + u".e" + number);
            Write(files.back());
        }
        return files;
    }
    static std::u16string ToText(int value)
    {
        const std::string text = std::to_string(value);
        return std::u16string(text.begin(), text.end());
    }
};

TEST(ExtensionKeyTest, IsTheTextAfterTheLastDot)
{
    EXPECT_EQ(ExtensionKey(u"archive.tar.gz"), u"gz");
    EXPECT_EQ(ExtensionKey(u"README"), u"");
    EXPECT_EQ(ExtensionKey(u".profile"), u"profile");
    EXPECT_EQ(ExtensionKey(u"trailing."), u"");
    EXPECT_EQ(ExtensionKey(u"Setup.EXE"), u"EXE");
}

TEST_F(IconCacheTest, SeedsComeFirstWithAnIconEach)
{
    IconCache cache;
    ASSERT_TRUE(cache.WaitForWalk(20s));
    const auto folder = cache.Find(u"folder");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->position, 0);
    EXPECT_EQ(folder->typeName, u"Folder");
    std::int32_t position = 1;
    for (const std::u16string_view key : {u"exe", u"EXE", u"Exe"}) {
        const auto entry = cache.Find(key);
        ASSERT_TRUE(entry) << "missing seed";
        EXPECT_EQ(entry->position, position++);
        EXPECT_FALSE(entry->typeName.empty());
    }
    EXPECT_GE(cache.Icons().size(), 4u);
}

TEST_F(IconCacheTest, WalkRecordsOneEntryPerExtensionWithLetterCaseKept)
{
    Write(u"C:\\Data\\archive.tar.gz");
    Write(u"C:\\Data\\README");
    Write(u"C:\\Data\\Sub\\one.txt");
    Write(u"C:\\Data\\Sub\\two.txt");
    Write(u"C:\\Data\\Sub\\three.TXT");
    IconCache cache;
    ASSERT_TRUE(cache.WaitForWalk(20s));

    EXPECT_TRUE(cache.Find(u"gz"));
    EXPECT_FALSE(cache.Find(u"tar"));
    EXPECT_FALSE(cache.Find(u"tar.gz"));
    EXPECT_TRUE(cache.Find(u""));
    const auto lower = cache.Find(u"txt");
    const auto upper = cache.Find(u"TXT");
    ASSERT_TRUE(lower && upper);
    EXPECT_NE(lower->position, upper->position);
    // Four seeds and gz, "", txt, TXT: one icon each, none twice (on Windows
    // the walk meets the system's own files on C: too).
#ifndef _WIN32
    EXPECT_EQ(cache.Icons().size(), 8u);
#endif
}

TEST_F(IconCacheTest, LookupAddsAMissOnceAndThenFindsIt)
{
    IconCache cache;
    ASSERT_TRUE(cache.WaitForWalk(20s));
    const std::size_t before = cache.Icons().size();
    const IconEntry drive = cache.Lookup(u"C:");
    EXPECT_EQ(drive.position, static_cast<std::int32_t>(before));
    EXPECT_FALSE(drive.typeName.empty());
    EXPECT_EQ(cache.Lookup(u"C:"), drive);
    EXPECT_EQ(cache.Icons().size(), before + 1);

    const IconEntry mixed = cache.Lookup(u"eXe");
    EXPECT_NE(mixed.position, cache.Find(u"exe")->position);
}

TEST_F(IconCacheTest, WalkNeverFollowsLinksAndEndsOnCycles)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\only.outside");
    Write(u"C:\\Data\\a.inside");
    Link(u"C:\\Data\\Out", u"D:\\Outside");
    Link(u"C:\\Data\\Loop", u"C:\\Data");
    IconCache cache;
    ASSERT_TRUE(cache.WaitForWalk(20s));
    EXPECT_TRUE(cache.Find(u"inside"));
    EXPECT_FALSE(cache.Find(u"outside"));
}

TEST_F(IconCacheTest, LookupsFromAnotherThreadRunBesideTheWalk)
{
    const auto files = MakeDeepTree(u"C:\\Deep", 40);
    IconCache cache;
    std::set<std::int32_t> positions;
    for (int level = 0; level < 40; ++level)
        positions.insert(cache.Lookup(u"e" + ToText(level)).position);
    ASSERT_TRUE(cache.WaitForWalk(20s));
    // Each key has one entry, whichever thread added it first.
    EXPECT_EQ(positions.size(), 40u);
#ifndef _WIN32
    EXPECT_EQ(cache.Icons().size(), 4u + 40u); // on Windows C: holds the system's files too
#endif
}

TEST_F(IconCacheTest, DestructionDuringTheWalkOfADeepTreeReturns)
{
    MakeDeepTree(u"C:\\Deep", 300);
    auto cache = std::make_unique<IconCache>();
    cache.reset();
    SUCCEED();
}

TEST_F(IconCacheTest, WalkVisitsEveryFileDepthFirstInListingOrder)
{
    Write(u"C:\\Tree\\b.txt");
    Write(u"C:\\Tree\\A\\inner.txt");
    Write(u"C:\\Tree\\c\\last.txt");
    std::atomic<bool> running{true};
    std::vector<std::u16string> visited;
    WalkFolderTree(u"C:\\Tree", running, [&](std::u16string_view folder, const platform::FindData& file) {
        visited.push_back(std::u16string(folder) + u"|" + file.name);
    });
    const std::vector<std::u16string> expected{u"C:\\Tree\\A|inner.txt", u"C:\\Tree|b.txt", u"C:\\Tree\\c|last.txt"};
    EXPECT_EQ(visited, expected);
}

TEST_F(IconCacheTest, StopRequestEndsTheWalkAfterTheEntryInHand)
{
    const auto files = MakeDeepTree(u"C:\\Deep", 200);
    std::atomic<bool> running{true};
    std::size_t visits = 0;
    std::size_t visitsAtStop = 0;
    WalkFolderTree(u"C:\\Deep", running, [&](std::u16string_view, const platform::FindData&) {
        if (++visits == 50) {
            // The request comes while the walk is 50 levels down, in the
            // middle of an entry.
            running = false;
            visitsAtStop = visits;
        }
    });
    EXPECT_EQ(visitsAtStop, 50u);
    EXPECT_EQ(visits, visitsAtStop) << "entries visited after the stop request";
}

TEST_F(IconCacheTest, WalkOfAMissingFolderEndsAtOnce)
{
    std::atomic<bool> running{true};
    std::size_t visits = 0;
    WalkFolderTree(u"C:\\Missing", running, [&](std::u16string_view, const platform::FindData&) { ++visits; });
    EXPECT_EQ(visits, 0u);
}

} // namespace
} // namespace lockora::browse
