// Every file operation of an item fails once, in turn, for each way an item
// can run, until a run completes without reaching the failure. Whatever
// fails, nothing is lost: the source is as it was (bytes and attributes),
// or, when the failure came while the source was going after its container
// had been verified, that container is complete; nothing half-written is
// left; an outcome that differs from a clean run's is reported to the page;
// and the next operation works.
#include "platform/attributes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"
#include "tests/support/fault_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <tuple>

namespace lockora::crypto {
namespace {

using testing::Pattern;

constexpr platform::ErrorCode kInjected = 112; // disk full

enum class Kind { File, LargeFile, Folder };

struct Way {
    const char* name;
    Kind kind;
    std::int32_t deleteChoice; // iDelSel
    bool backup;
    bool strong;
};

void PrintTo(const Way& way, std::ostream* out)
{
    *out << way.name;
}

// Relative path, bytes, and the read-only and hidden attributes of each entry.
using Tree = std::vector<std::tuple<std::string, std::string, std::uint32_t>>;

class OperationFaultsTest : public testing::OperationTest, public ::testing::WithParamInterface<Way> {
protected:
    void SetUp() override
    {
        OperationTest::SetUp();
        strongCost_ = {kMinPasses, kMinMemoryKiB, kMinChunkSize};
    }

    void TearDown() override
    {
        platform::testing::ResetFileOperationCount();
        OperationTest::TearDown();
    }

    static std::u16string Name(Kind kind)
    {
        return kind == Kind::Folder ? u"docs" : kind == Kind::File ? u"a.bin" : u"big.bin";
    }

    // The item below `folder`, with a hidden file and a read-only one.
    void Make(const std::u16string& folder, Kind kind)
    {
        if (kind == Kind::File) {
            Write(folder + u"\\a.bin", Pattern(5000, 29, 3));
            ASSERT_TRUE(platform::SetFileAttributes(folder + u"\\a.bin", platform::kAttrHidden).ok());
        } else if (kind == Kind::LargeFile) {
            // Three runs of the stream loop, the last one short, and a tail.
            Write(folder + u"\\big.bin", Pattern((5u << 19) + 1003, 37, 5));
        } else {
            Write(folder + u"\\docs\\a.bin", Pattern(3000, 31, 1));
            Write(folder + u"\\docs\\sub\\b.txt", "b");
            ASSERT_TRUE(platform::CreateDirectory(folder + u"\\docs\\empty").ok());
            ASSERT_TRUE(platform::SetFileAttributes(folder + u"\\docs\\a.bin", platform::kAttrHidden).ok());
            ASSERT_TRUE(platform::SetFileAttributes(folder + u"\\docs\\sub\\b.txt", platform::kAttrReadOnly).ok());
        }
    }

    Tree Snapshot(const std::u16string& folder, bool withAttributes = true)
    {
        Tree tree;
        for (const auto& [path, bytes] : testing::SnapshotTree(sandbox().host(folder))) {
            // The hidden attribute is the ".hidden" list here, seen below.
            if (path.ends_with(".hidden"))
                continue;
            std::uint32_t attributes = 0;
            if (withAttributes) {
                std::u16string windowsPath = folder + u"\\" + platform::Utf8ToUtf16(path);
                std::replace(windowsPath.begin(), windowsPath.end(), u'/', u'\\');
                attributes = platform::GetFileAttributes(windowsPath).value_or(0) &
                             (platform::kAttrReadOnly | platform::kAttrHidden);
            }
            tree.emplace_back(path, bytes, attributes);
        }
        return tree;
    }

    // The entries of `tree` outside `name` (the container of an item).
    static Tree Without(Tree tree, const std::u16string& name)
    {
        const std::string prefix = platform::Utf16ToUtf8(name);
        std::erase_if(tree, [&](const auto& entry) { return std::get<0>(entry).starts_with(prefix); });
        return tree;
    }

    static std::u16string Numbered(const char16_t* stem, std::uint64_t n)
    {
        return stem + platform::Utf8ToUtf16(std::to_string(n));
    }

    static settings::SettingsRecord Options(const Way& way, const std::u16string& backups)
    {
        settings::SettingsRecord options;
        options.iDelSel = way.deleteChoice;
        options.bBackup = way.backup;
        options.strBackDir = way.backup ? backups : u"";
        options.bStrong = way.strong;
        return options;
    }

    bool FailureReported() const
    {
        for (const std::int32_t id : MessageIds()) {
            if (id == bridge::MSG_ENCRYPT_FAILED || id == bridge::MSG_DENCRYPT_FAILED ||
                id == bridge::MSG_SHOW_ERROR_INFO || id == bridge::MSG_BACKUP_FILE_NAME_EXIST)
                return true;
        }
        return false;
    }

    // What a fresh decryption of `container` restores, without attributes.
    Tree Restored(const std::string& container, const std::u16string& name, std::uint64_t n)
    {
        const std::u16string folder = Numbered(u"C:\\check", n);
        Write(folder + u"\\" + name + u".xep", container);
        EXPECT_EQ(Decrypt(folder + u"\\" + name + u".xep"), kOpened);
        return Without(Snapshot(folder, false), name + u".xep");
    }

    // Sweeps `item` over copies of the item that `make` puts in a folder of
    // their own; `check` judges each case. Returns the number of cases.
    std::uint64_t Sweep(const std::function<void(const std::u16string&)>& make,
                        const std::function<void(const std::u16string&)>& item,
                        const std::function<void(const std::u16string&, std::uint64_t)>& check)
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        return lockora::testing::SweepFaults(name, [&](std::uint64_t n) {
            const std::u16string folder = Numbered(u"C:\\r", n);
            make(folder);
            ClearMessages();
            if (!lockora::testing::RunWithNthOperationFailing(n, kInjected, [&] { item(folder); }))
                return false;
            check(folder, n);
            return true;
        });
    }
};

class EncryptFaultsTest : public OperationFaultsTest {};
class DecryptFaultsTest : public OperationFaultsTest {};

TEST_P(EncryptFaultsTest, NothingIsLost)
{
    const Way way = GetParam();
    const std::u16string name = Name(way.kind);
    Make(u"C:\\ref", way.kind);
    const Tree original = Snapshot(u"C:\\ref");
    const Tree content = Snapshot(u"C:\\ref", false);

    const auto backupsOf = [](const std::u16string& folder) { return u"D:" + folder.substr(2); };
    const auto make = [&](const std::u16string& folder) {
        Make(folder, way.kind);
        if (way.backup) {
            ASSERT_TRUE(platform::CreateDirectory(backupsOf(folder)).ok());
        }
    };
    const auto encrypt = [&](const std::u16string& folder) {
        (void)Encrypt(folder + u"\\" + name, Options(way, backupsOf(folder)));
    };
    const std::uint64_t cases = Sweep(make, encrypt, [&](const std::u16string& folder, std::uint64_t n) {
        const std::u16string container = folder + u"\\" + name + u".xep";
        if (!Exists(container)) {
            EXPECT_TRUE(FailureReported());
            EXPECT_TRUE(Snapshot(folder) == original) << "the source changed";
            if (way.backup) {
                EXPECT_TRUE(Snapshot(backupsOf(folder)).empty());
            }
            // The next operation works.
            EXPECT_EQ(Encrypt(folder + u"\\" + name, Options(way, backupsOf(folder))), kOpened);
            ASSERT_TRUE(Exists(container));
        }
        const std::string bytes = Read(container);
        EXPECT_TRUE(Restored(bytes, name, n) == content) << "the container is not complete";
        if (way.backup) {
            EXPECT_EQ(Read(backupsOf(folder) + u"\\" + name + u".xep"), bytes);
        }
        const Tree source = Without(Snapshot(folder), name + u".xep");
        if (way.deleteChoice == kKeepSource) {
            EXPECT_TRUE(source == original);
        } else if (!source.empty()) {
            EXPECT_TRUE(FailureReported()) << "the source stayed without a word";
        }
    });
    EXPECT_GE(cases, 5u);
}

TEST_P(DecryptFaultsTest, NothingIsLost)
{
    const Way way = GetParam();
    const std::u16string name = Name(way.kind);
    Make(u"C:\\ref", way.kind);
    const Tree content = Snapshot(u"C:\\ref", false);
    ASSERT_EQ(Encrypt(u"C:\\ref\\" + name, Options({"", way.kind, kKeepSource, false, way.strong}, u"")), kOpened);
    const std::string container = Read(u"C:\\ref\\" + name + u".xep");

    const auto make = [&](const std::u16string& folder) { Write(folder + u"\\" + name + u".xep", container); };
    const auto decrypt = [&](const std::u16string& folder) {
        (void)Decrypt(folder + u"\\" + name + u".xep", Options(way, u""));
    };
    const std::uint64_t cases = Sweep(make, decrypt, [&](const std::u16string& folder, std::uint64_t) {
        const std::u16string containerPath = folder + u"\\" + name + u".xep";
        if (!Exists(folder + u"\\" + name)) {
            EXPECT_TRUE(FailureReported());
            EXPECT_EQ(Snapshot(folder).size(), 1u) << "something half-written is left";
            EXPECT_EQ(Read(containerPath), container);
            // The next operation works.
            EXPECT_EQ(Decrypt(containerPath, Options(way, u"")), kOpened);
        }
        EXPECT_TRUE(Without(Snapshot(folder, false), name + u".xep") == content) << "the output is not complete";
        if (!Exists(containerPath)) {
            EXPECT_NE(way.deleteChoice, kKeepSource) << "the container went";
        } else if (way.deleteChoice == kKeepSource) {
            EXPECT_EQ(Read(containerPath), container);
        } else {
            EXPECT_TRUE(FailureReported()) << "the container stayed without a word";
        }
    });
    EXPECT_GE(cases, 5u);
}

std::string WayName(const ::testing::TestParamInfo<Way>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Ways, EncryptFaultsTest,
                         ::testing::Values(Way{"FileKept", Kind::File, kKeepSource, false, false},
                                           Way{"FileKeptWithBackup", Kind::File, kKeepSource, true, false},
                                           Way{"FileDeleted", Kind::File, kDeleteSource, false, false},
                                           Way{"FileDeletedWithBackup", Kind::File, kDeleteSource, true, false},
                                           Way{"FileShredded", Kind::File, kShredSource, false, false},
                                           Way{"FileShreddedWithBackup", Kind::File, kShredSource, true, false},
                                           Way{"LargeFileDeletedWithBackup", Kind::LargeFile, kDeleteSource, true, false},
                                           Way{"FolderKept", Kind::Folder, kKeepSource, false, false},
                                           Way{"FolderKeptWithBackup", Kind::Folder, kKeepSource, true, false},
                                           Way{"FolderDeleted", Kind::Folder, kDeleteSource, false, false},
                                           Way{"FolderDeletedWithBackup", Kind::Folder, kDeleteSource, true, false},
                                           Way{"FolderShredded", Kind::Folder, kShredSource, false, false},
                                           Way{"FolderShreddedWithBackup", Kind::Folder, kShredSource, true, false},
                                           Way{"StrongFileDeletedWithBackup", Kind::File, kDeleteSource, true, true},
                                           Way{"StrongFileShredded", Kind::File, kShredSource, false, true},
                                           Way{"StrongFolderDeleted", Kind::Folder, kDeleteSource, false, true},
                                           Way{"StrongFolderShreddedWithBackup", Kind::Folder, kShredSource, true, true}),
                         WayName);

INSTANTIATE_TEST_SUITE_P(Ways, DecryptFaultsTest,
                         ::testing::Values(Way{"FileKept", Kind::File, kKeepSource, false, false},
                                           Way{"FileDeleted", Kind::File, kDeleteSource, false, false},
                                           Way{"FileShredded", Kind::File, kShredSource, false, false},
                                           Way{"LargeFileDeleted", Kind::LargeFile, kDeleteSource, false, false},
                                           Way{"FolderKept", Kind::Folder, kKeepSource, false, false},
                                           Way{"FolderDeleted", Kind::Folder, kDeleteSource, false, false},
                                           Way{"FolderShredded", Kind::Folder, kShredSource, false, false},
                                           Way{"StrongFileShredded", Kind::File, kShredSource, false, true},
                                           Way{"StrongFolderDeleted", Kind::Folder, kDeleteSource, false, true}),
                         WayName);

} // namespace
} // namespace lockora::crypto
