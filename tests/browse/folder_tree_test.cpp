#include "browse/folder_tree.h"

#include "platform/attributes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lockora::browse {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

class FolderTreeTest : public SandboxTest {
protected:
    void Write(std::u16string_view path, std::size_t size) { WriteHostFile(sandbox(), path, std::string(size, 'x')); }
    void MakeFolder(std::u16string_view path) { std::filesystem::create_directories(sandbox().host(path)); }
    void Link(std::u16string_view link, std::u16string_view target)
    {
        std::filesystem::create_symlink(sandbox().host(target), sandbox().host(link));
    }
    bool Exists(std::u16string_view path)
    {
        return std::filesystem::exists(std::filesystem::symlink_status(sandbox().host(path)));
    }
    bool IsEmptyFolder(std::u16string_view path) { return std::filesystem::is_empty(sandbox().host(path)); }

    // A tree of 1 + 20 + 300 + 4000 bytes: files at three depths, a hidden
    // file and a read-only, hidden subfolder among them.
    void MakeTree()
    {
        Write(u"C:\\Tree\\a.txt", 1);
        Write(u"C:\\Tree\\.dotfile", 20);
        Write(u"C:\\Tree\\Sub\\b.bin", 300);
        Write(u"C:\\Tree\\Sub\\Deep\\c", 4000);
        MakeFolder(u"C:\\Tree\\Empty");
        ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Tree\\a.txt", platform::kAttrReadOnly).ok());
        ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Tree\\Sub\\b.bin", platform::kAttrHidden | platform::kAttrSystem).ok());
        ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Tree\\Sub\\Deep\\c", platform::kAttrReadOnly).ok());
        ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Tree\\Sub", platform::kAttrReadOnly | platform::kAttrHidden).ok());
    }
};

TEST_F(FolderTreeTest, SumAddsEveryFileOfTheTreeToTheAccumulator)
{
    MakeTree();
    std::uint64_t total = 5;
    EXPECT_TRUE(SumFolderSize(u"C:\\Tree", total));
    // The files, and on Linux the ".hidden" lists that hiding Sub ("Sub\n")
    // and b.bin ("b.bin\n") wrote for the desktop.
#ifdef _WIN32
    constexpr std::uint64_t kHiddenLists = 0;
#else
    constexpr std::uint64_t kHiddenLists = 4u + 6u;
#endif
    EXPECT_EQ(total, 5u + 4321u + kHiddenLists);

    std::uint64_t withSeparator = 0;
    EXPECT_TRUE(SumFolderSize(u"C:\\Tree\\", withSeparator));
    EXPECT_EQ(withSeparator, 4321u + kHiddenLists);
}

TEST_F(FolderTreeTest, SumOfEmptyFolderFileOrNothingAddsNothing)
{
    MakeFolder(u"C:\\Empty");
    Write(u"C:\\File.txt", 10);
    // An empty drive root lists no "." or "..", so its listing fails.
    for (const std::u16string_view path : {u"C:\\Empty", u"C:\\File.txt", u"C:\\Missing", u"D:\\"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(path));
        std::uint64_t total = 7;
        EXPECT_TRUE(SumFolderSize(path, total));
        EXPECT_EQ(total, 7u);
    }
}

TEST_F(FolderTreeTest, SumDoesNotCountOrEnterLinks)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\big.bin", 5000);
    Write(u"C:\\Tree\\own.txt", 3);
    Link(u"C:\\Tree\\ToFolder", u"D:\\Outside");
    Link(u"C:\\Tree\\ToFile", u"D:\\Outside\\big.bin");
    Link(u"C:\\Tree\\Loop", u"C:\\Tree");
    std::uint64_t total = 0;
    EXPECT_TRUE(SumFolderSize(u"C:\\Tree", total));
    EXPECT_EQ(total, 3u);
}

TEST_F(FolderTreeTest, DeleteClearsAttributesAndLeavesTheFolderEmpty)
{
    MakeTree();
    EXPECT_TRUE(DeleteFolderTree(u"C:\\Tree"));
    EXPECT_TRUE(platform::IsDirectory(u"C:\\Tree"));
    EXPECT_TRUE(IsEmptyFolder(u"C:\\Tree"));
}

TEST_F(FolderTreeTest, DeleteWithTrailingSeparatorRemovesTheSame)
{
    MakeTree();
    EXPECT_TRUE(DeleteFolderTree(u"C:\\Tree\\"));
    EXPECT_TRUE(IsEmptyFolder(u"C:\\Tree"));
}

TEST_F(FolderTreeTest, DeleteRemovesLinksButNeverTheirTargets)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    Write(u"D:\\Outside\\keep.txt", 12);
    Write(u"D:\\Outside\\Inner\\keep2.txt", 34);
    Write(u"D:\\single.txt", 5);
    ASSERT_TRUE(platform::SetFileAttributes(u"D:\\Outside\\keep.txt", platform::kAttrReadOnly).ok());
    Write(u"C:\\Tree\\own.txt", 3);
    Link(u"C:\\Tree\\ToFolder", u"D:\\Outside");
    MakeFolder(u"C:\\Tree\\Sub");
    Link(u"C:\\Tree\\Sub\\ToFile", u"D:\\single.txt");
    Link(u"C:\\Tree\\Dangling", u"D:\\gone");

    EXPECT_TRUE(DeleteFolderTree(u"C:\\Tree"));
    EXPECT_TRUE(IsEmptyFolder(u"C:\\Tree"));
    EXPECT_EQ(ReadHostFile(sandbox(), u"D:\\Outside\\keep.txt"), std::string(12, 'x'));
    EXPECT_EQ(ReadHostFile(sandbox(), u"D:\\Outside\\Inner\\keep2.txt"), std::string(34, 'x'));
    EXPECT_EQ(ReadHostFile(sandbox(), u"D:\\single.txt"), std::string(5, 'x'));
    EXPECT_EQ(platform::GetFileAttributes(u"D:\\Outside\\keep.txt").value_or(0) & platform::kAttrReadOnly,
              platform::kAttrReadOnly);
}

TEST_F(FolderTreeTest, UndeletableFileKeepsItsFoldersAndFailsTheResult)
{
    Write(u"C:\\Tree\\Sub\\locked.bin", 8);
    Write(u"C:\\Tree\\Sub\\free.bin", 8);
    Write(u"C:\\Tree\\Other\\free.bin", 8);
    // An open handle that does not share deletion blocks the delete.
    auto locked = platform::File::Open(u"C:\\Tree\\Sub\\locked.bin", platform::Access::Read, platform::Share::Read,
                                       platform::Disposition::OpenExisting);
    ASSERT_TRUE(locked.ok());

    EXPECT_FALSE(DeleteFolderTree(u"C:\\Tree"));
    EXPECT_TRUE(Exists(u"C:\\Tree\\Sub\\locked.bin"));
    EXPECT_FALSE(Exists(u"C:\\Tree\\Sub\\free.bin"));
    EXPECT_FALSE(Exists(u"C:\\Tree\\Other"));
}

TEST_F(FolderTreeTest, UndeletableFileDirectlyInTheFolderFailsTheResult)
{
    Write(u"C:\\Tree\\locked.bin", 8);
    auto locked = platform::File::Open(u"C:\\Tree\\locked.bin", platform::Access::Read, platform::Share::Read,
                                       platform::Disposition::OpenExisting);
    ASSERT_TRUE(locked.ok());
    EXPECT_FALSE(DeleteFolderTree(u"C:\\Tree"));
    EXPECT_TRUE(Exists(u"C:\\Tree\\locked.bin"));
}

} // namespace
} // namespace lockora::browse
