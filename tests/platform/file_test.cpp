#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr const char16_t* kFile = u"C:\\Data\\a.txt";

class FileTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        WriteHostFile(sandbox(), kFile, "hello");
    }

    static Result<File> OpenFile(Access access, Share share, Disposition disposition = Disposition::OpenExisting,
                                 std::u16string_view path = kFile)
    {
        return File::Open(path, access, share, disposition);
    }
};

TEST_F(FileTest, DispositionsCreateOpenAndTruncate)
{
    EXPECT_EQ(OpenFile(Access::Write, Share::None, Disposition::CreateNew).code(), kErrorFileExists);
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "hello");

    auto created = OpenFile(Access::ReadWrite, Share::None, Disposition::CreateNew, u"C:\\Data\\new.bin");
    ASSERT_TRUE(created.ok());
    EXPECT_EQ(created->Size().value(), 0u);

    auto opened = OpenFile(Access::Read, Share::None, Disposition::OpenAlways);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(opened->Size().value(), 5u);
    opened->Close();

    // Create-always truncates even a handle that only reads.
    ASSERT_TRUE(OpenFile(Access::Read, Share::None, Disposition::CreateAlways).ok());
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "");

    // Wine truncates through a handle that cannot write; Windows refuses.
    if (!lockora::testing::UnderWine()) {
        EXPECT_EQ(OpenFile(Access::Read, Share::None, Disposition::TruncateExisting).code(), kErrorInvalidParameter);
    }
    EXPECT_EQ(OpenFile(Access::Write, Share::None, Disposition::TruncateExisting, u"C:\\Data\\none").code(),
              kErrorFileNotFound);
}

TEST_F(FileTest, MissingFileIs2AndMissingFolderIs3)
{
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\Data\\missing.txt").code(),
              kErrorFileNotFound);
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\Nowhere\\a.txt").code(),
              kErrorPathNotFound);
    EXPECT_EQ(OpenFile(Access::Write, Share::All, Disposition::CreateAlways, u"C:\\Nowhere\\a.txt").code(),
              kErrorPathNotFound);
    // A file used as a folder.
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\Data\\a.txt\\b").code(),
              kErrorPathNotFound);
}

TEST_F(FileTest, FolderCannotBeOpenedAsFile)
{
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\Data").code(), kErrorAccessDenied);
    EXPECT_EQ(OpenFile(Access::Write, Share::All, Disposition::OpenAlways, u"C:\\Data").code(), kErrorAccessDenied);
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\").code(), kErrorAccessDenied);
}

TEST_F(FileTest, NoSharingRefusesSecondOpenUntilClosed)
{
    auto first = OpenFile(Access::Read, Share::None);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(OpenFile(Access::Read, Share::All).code(), kErrorSharingViolation);
    first->Close();
    EXPECT_TRUE(OpenFile(Access::Read, Share::All).ok());
}

TEST_F(FileTest, ReadSharingAdmitsReadersButNoWriter)
{
    auto reader = OpenFile(Access::Read, Share::Read);
    ASSERT_TRUE(reader.ok());
    EXPECT_TRUE(OpenFile(Access::Read, Share::ReadWrite).ok());
    EXPECT_EQ(OpenFile(Access::Write, Share::All).code(), kErrorSharingViolation);
    EXPECT_EQ(OpenFile(Access::ReadWrite, Share::All).code(), kErrorSharingViolation);
    // Truncating is writing, and must leave the content alone when refused
    // (Wine lets a handle without write access truncate past the readers).
    if (lockora::testing::UnderWine())
        return;
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::CreateAlways).code(), kErrorSharingViolation);
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "hello");
}

TEST_F(FileTest, NewShareModeMustAllowExistingAccess)
{
    auto writer = OpenFile(Access::Write, Share::ReadWrite);
    ASSERT_TRUE(writer.ok());
    // The reader is allowed by the writer, but refuses to share with writers.
    EXPECT_EQ(OpenFile(Access::Read, Share::Read).code(), kErrorSharingViolation);
    EXPECT_TRUE(OpenFile(Access::Read, Share::ReadWrite).ok());
}

TEST_F(FileTest, SharingFollowsTheFileNotItsName)
{
    auto held = OpenFile(Access::Read, Share::None, Disposition::OpenExisting, u"C:/Data/a.txt");
    ASSERT_TRUE(held.ok());
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"\\\\?\\C:\\Data\\a.txt").code(),
              kErrorSharingViolation);
    std::filesystem::create_hard_link(sandbox().host(kFile), sandbox().host(u"C:\\Data\\hard.txt"));
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"C:\\Data\\hard.txt").code(),
              kErrorSharingViolation);
}

TEST_F(FileTest, MovedHandleKeepsItsShareEntry)
{
    auto opened = OpenFile(Access::Read, Share::None);
    ASSERT_TRUE(opened.ok());
    File moved = std::move(opened).value();
    EXPECT_TRUE(moved.IsOpen());
    EXPECT_EQ(OpenFile(Access::Read, Share::All).code(), kErrorSharingViolation);
    File target;
    target = std::move(moved);
    EXPECT_FALSE(moved.IsOpen());
    EXPECT_EQ(OpenFile(Access::Read, Share::All).code(), kErrorSharingViolation);
    target.Close();
    EXPECT_TRUE(OpenFile(Access::Read, Share::All).ok());
}

TEST_F(FileTest, ConcurrentOpensWithoutSharingNeverOverlap)
{
    std::atomic<int> holders{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> successes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto file = File::Open(kFile, Access::ReadWrite, Share::None, Disposition::OpenExisting);
                if (!file.ok())
                    continue;
                if (holders.fetch_add(1) != 0)
                    overlaps.fetch_add(1);
                successes.fetch_add(1);
                holders.fetch_sub(1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_GT(successes.load(), 0);
}

TEST_F(FileTest, ReadAndWriteAtExplicitOffsets)
{
    auto file = OpenFile(Access::ReadWrite, Share::None);
    ASSERT_TRUE(file.ok());
    char buffer[16] = {};
    EXPECT_EQ(file->ReadAt(5, buffer, sizeof buffer).value(), 0u);
    EXPECT_EQ(file->ReadAt(1000, buffer, sizeof buffer).value(), 0u);
    EXPECT_EQ(file->ReadAt(3, buffer, sizeof buffer).value(), 2u);
    EXPECT_EQ(std::string(buffer, 2), "lo");

    // Beyond 4 GiB: the offset is 64-bit all the way down.
    const std::uint64_t far = (5ull << 30) + 7;
    EXPECT_EQ(file->WriteAt(far, "xyz", 3).value(), 3u);
    EXPECT_EQ(file->Size().value(), far + 3);
    EXPECT_EQ(file->ReadAt(far + 1, buffer, sizeof buffer).value(), 2u);
    EXPECT_EQ(std::string(buffer, 2), "yz");

    ASSERT_TRUE(file->SetEnd(2).ok());
    EXPECT_EQ(file->Size().value(), 2u);
    ASSERT_TRUE(file->SetEnd(4).ok());
    EXPECT_EQ(file->ReadAt(0, buffer, sizeof buffer).value(), 4u);
    EXPECT_EQ(std::string(buffer, 4), std::string("he\0\0", 4));
    EXPECT_TRUE(file->Flush().ok());
}

TEST_F(FileTest, RepeatedWritesLayCopiesEndToEnd)
{
    auto file = OpenFile(Access::ReadWrite, Share::None);
    ASSERT_TRUE(file.ok());
    // More copies than one system call carries, at an offset inside the file.
    ASSERT_TRUE(file->WriteRepeatedAt(1, "abc", 3, 200).ok());
    EXPECT_EQ(file->Size().value(), 601u);
    std::string content(601, '\0');
    ASSERT_EQ(file->ReadAt(0, content.data(), 601).value(), 601u);
    std::string expected = "h";
    for (int i = 0; i < 200; ++i)
        expected += "abc";
    EXPECT_EQ(content, expected);

    file->Close();
    auto reader = OpenFile(Access::Read, Share::All);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader->WriteRepeatedAt(0, "abc", 3, 2).code(), kErrorAccessDenied);
}

TEST_F(FileTest, HandleAccessIsEnforced)
{
    auto reader = OpenFile(Access::Read, Share::All);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader->WriteAt(0, "x", 1).code(), kErrorAccessDenied);
    // Wine answers 87 where Windows answers 5.
    EXPECT_EQ(reader->SetEnd(0).code(), lockora::testing::UnderWine() ? kErrorInvalidParameter : kErrorAccessDenied);
    EXPECT_EQ(reader->Flush().code(), kErrorAccessDenied);

    auto writer = OpenFile(Access::Write, Share::All);
    ASSERT_TRUE(writer.ok());
    char byte = 0;
    EXPECT_EQ(writer->ReadAt(0, &byte, 1).code(), kErrorAccessDenied);

    File closed;
    EXPECT_EQ(closed.ReadAt(0, &byte, 1).code(), kErrorInvalidHandle);
    EXPECT_EQ(closed.Size().code(), kErrorInvalidHandle);
    closed.Close();
}

TEST_F(FileTest, BadPathsAnswerWithWindowsCodes)
{
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"").code(), kErrorPathNotFound);
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"Data\\a.txt").code(), kErrorPathNotFound);
    // A drive that does not exist: Wine answers 2 where Windows answers 3.
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, u"Q:\\a.txt").code(),
              lockora::testing::UnderWine() ? kErrorFileNotFound : kErrorPathNotFound);
    EXPECT_EQ(OpenFile(Access::Read, Share::All, Disposition::OpenExisting, std::u16string(u"C:\\Data\\a.txt\0x", 16)).code(),
              kErrorInvalidName);
    // A name longer than a file system takes: Wine answers 2.
    EXPECT_EQ(OpenFile(Access::Write, Share::All, Disposition::CreateAlways, u"C:\\Data\\" + std::u16string(300, u'n')).code(),
              lockora::testing::UnderWine() ? kErrorFileNotFound : kErrorFilenameExcedRange);
    EXPECT_EQ(File::Open(kFile, static_cast<Access>(0), Share::All, Disposition::OpenExisting).code(),
              kErrorInvalidParameter);
}

TEST_F(FileTest, FaultInjectionFailsExactlyTheNthOperation)
{
    testing::ResetFileOperationCount();
    testing::FailNthFileOperation(3, kErrorDiskFull);
    auto file = OpenFile(Access::ReadWrite, Share::None); // 1
    ASSERT_TRUE(file.ok());
    EXPECT_TRUE(file->WriteAt(0, "a", 1).ok());               // 2
    EXPECT_EQ(file->WriteAt(1, "b", 1).code(), kErrorDiskFull); // 3
    EXPECT_TRUE(file->WriteAt(1, "c", 1).ok());               // 4
    EXPECT_EQ(testing::FileOperationCount(), 4u);
    file->Close();
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "acllo");

    // An injected open fails before anything is created.
    testing::FailNthFileOperation(1, kErrorAccessDenied);
    EXPECT_EQ(OpenFile(Access::Write, Share::None, Disposition::CreateNew, u"C:\\Data\\b.txt").code(),
              kErrorAccessDenied);
    EXPECT_FALSE(std::filesystem::exists(sandbox().host(u"C:\\Data\\b.txt")));

    testing::FailNthFileOperation(2, kErrorDiskFull);
    testing::FailNthFileOperation(0, 0);
    auto again = OpenFile(Access::Read, Share::All);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again->Size().ok());
}

} // namespace
} // namespace platform
