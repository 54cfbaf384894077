#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;
using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr const char16_t* kFile = u"C:\\Data\\settings.dat";

class AtomicFileTest : public SandboxTest {
protected:
    std::vector<std::string> DataFolderNames()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(sandbox().driveRoot('C') + "/Data"))
            names.push_back(entry.path().filename().string());
        return names;
    }
    fs::perms Mode() { return fs::status(sandbox().host(kFile)).permissions(); }
};

TEST_F(AtomicFileTest, ReplacesContentKeepsModeAndLeavesNoTemporaryFile)
{
    WriteHostFile(sandbox(), kFile, "old content that is longer than the new one");
    fs::permissions(sandbox().host(kFile), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(WriteFileAtomically(kFile, "new"));
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "new");
    EXPECT_EQ(Mode(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(DataFolderNames(), std::vector<std::string>{"settings.dat"});

    ASSERT_TRUE(WriteFileAtomically(kFile, ""));
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "");
}

TEST_F(AtomicFileTest, NewFileGetsDefaultModeLessUmask)
{
    fs::create_directories(sandbox().driveRoot('C') + "/Data");
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(WriteFileAtomically(kFile, "bytes"));
    ::umask(mask);
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "bytes");
    EXPECT_EQ(Mode(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(AtomicFileTest, RefusesWhatWindowsWouldNotWrite)
{
    EXPECT_EQ(WriteFileAtomically(u"C:\\Missing\\a.txt", "x").code(), kErrorPathNotFound);

    fs::create_directories(sandbox().driveRoot('C') + "/Data/Folder");
    EXPECT_EQ(WriteFileAtomically(u"C:\\Data\\Folder", "x").code(), kErrorAccessDenied);

    WriteHostFile(sandbox(), kFile, "kept");
    fs::permissions(sandbox().host(kFile), fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(WriteFileAtomically(kFile, "lost").code(), kErrorAccessDenied);
    EXPECT_EQ(ReadHostFile(sandbox(), kFile), "kept");
    EXPECT_EQ(DataFolderNames().size(), 2u); // the file and the folder, no temporary file
}

TEST_F(AtomicFileTest, WritesThroughASymbolicLink)
{
    WriteHostFile(sandbox(), u"C:\\Data\\real.dat", "old");
    fs::create_symlink("real.dat", sandbox().host(kFile));
    ASSERT_TRUE(WriteFileAtomically(kFile, "new"));
    EXPECT_TRUE(fs::is_symlink(sandbox().host(kFile)));
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\real.dat"), "new");
}

TEST_F(AtomicFileTest, KeepsUserExtendedAttributes)
{
    WriteHostFile(sandbox(), kFile, "old");
    const std::string host = sandbox().host(kFile);
    if (::setxattr(host.c_str(), "user.DOSATTRIB", "0x2", 3, 0) != 0)
        GTEST_SKIP() << "no user extended attributes here (errno " << errno << ")";

    ASSERT_TRUE(WriteFileAtomically(kFile, "new"));
    char value[16] = {};
    ASSERT_EQ(::getxattr(host.c_str(), "user.DOSATTRIB", value, sizeof value), 3);
    EXPECT_EQ(std::string(value), "0x2");
}

} // namespace
} // namespace platform
