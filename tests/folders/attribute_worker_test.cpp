#include "folders/attribute_worker.h"

#include "bridge/notify.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "tests/support/recording_main_window.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace lockora::folders {
namespace {

using bridge::ScriptValue;
using platform::kAttrHidden;
using platform::kAttrReadOnly;
using testing::RecordingMainWindow;
using testing::SandboxTest;
using testing::WriteHostFile;

constexpr const char* kPageFunction = "BackupServiceCallUI";

ScriptValue Request(ScriptValue code, std::vector<std::u16string> paths)
{
    ScriptValue list = ScriptValue::Array();
    for (auto& path : paths)
        list.Append(ScriptValue::String(std::move(path)));
    return ScriptValue::Array({std::move(code), std::move(list)});
}

ScriptValue Message(std::int32_t id, std::u16string path, std::int32_t percent)
{
    return ScriptValue::Array(
        {ScriptValue::Int(id), ScriptValue::Array({ScriptValue::String(std::move(path)), ScriptValue::Int(percent)})});
}

std::uint32_t AttributesOf(std::u16string_view path)
{
    return platform::GetFileAttributes(path).value_or(platform::kInvalidFileAttributes);
}

class AttributeWorkerTest : public SandboxTest {
protected:
    // C:\Data\Box holds three files and a subfolder with two more.
    void MakeBox()
    {
        for (const auto* name : {u"C:\\Data\\Box\\a.txt", u"C:\\Data\\Box\\b.txt", u"C:\\Data\\Box\\c.txt",
                                 u"C:\\Data\\Box\\Sub\\x.txt", u"C:\\Data\\Box\\Sub\\y.txt"})
            WriteHostFile(sandbox(), name, "data");
    }

    void SetUp() override
    {
        SandboxTest::SetUp();
        // The finish is taken from inside the page call, after the recorder
        // is done with its own members, so the test can end without racing
        // the worker thread on its way out.
        window_.Respond(kPageFunction, [this](const ScriptValue& message) {
            if (message.At(0) == ScriptValue::Int(bridge::MSG_SET_ATTRIBUTES_FINISHED)) {
                std::lock_guard lock(finishMutex_);
                finished_ = true;
                finishChanged_.notify_all();
            }
            return ScriptValue();
        });
    }

    // Runs a request through the script function and waits for its finish.
    std::vector<ScriptValue> Run(ScriptValue request)
    {
        EXPECT_EQ(SetAttributes(request), ScriptValue::Int(0));
        std::unique_lock lock(finishMutex_);
        EXPECT_TRUE(finishChanged_.wait_for(lock, std::chrono::seconds(20), [&] { return finished_; }));
        return window_.CallsOf(kPageFunction);
    }

    std::mutex finishMutex_;
    std::condition_variable finishChanged_;
    bool finished_ = false;
    RecordingMainWindow window_;
};

TEST_F(AttributeWorkerTest, FolderWalkReportsEveryPercentAndEndsAtHundred)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine keeps no read-only attribute on folders";
    MakeBox();
    const auto messages = Run(Request(ScriptValue::Int(1), {u"C:\\Data\\Box"}));

    // Total 7: the folder's four entries, the subfolder's two, the folder.
    const std::u16string progressPath = u"C:\\Data\\Box\\";
    std::vector<ScriptValue> expected;
    for (const int percent : {14, 28, 42, 57, 71, 85, 100})
        expected.push_back(Message(bridge::MSG_SET_PRGRRESS, progressPath, percent));
    expected.push_back(Message(bridge::MSG_SET_ATTRIBUTES_FINISHED, progressPath, 100));
    EXPECT_EQ(messages, expected);

    for (const auto* path : {u"C:\\Data\\Box", u"C:\\Data\\Box\\a.txt", u"C:\\Data\\Box\\Sub",
                             u"C:\\Data\\Box\\Sub\\y.txt"})
        EXPECT_EQ(AttributesOf(path) & (kAttrReadOnly | kAttrHidden), kAttrReadOnly) << platform::Utf16ToUtf8(path);
}

TEST_F(AttributeWorkerTest, SingleFileSendsHundredThenFinish)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "data");
    const auto messages = Run(Request(ScriptValue::Int(5), {u"C:\\Data\\a.txt"}));
    EXPECT_EQ(messages, (std::vector<ScriptValue>{Message(bridge::MSG_SET_PRGRRESS, u"C:\\Data\\a.txt", 100),
                                                  Message(bridge::MSG_SET_ATTRIBUTES_FINISHED, u"C:\\Data\\a.txt", 100)}));
    EXPECT_EQ(AttributesOf(u"C:\\Data\\a.txt") & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);
}

TEST_F(AttributeWorkerTest, RequestWithoutPathsOnlyFinishes)
{
    const auto messages = Run(Request(ScriptValue::Int(1), {}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].At(0), ScriptValue::Int(bridge::MSG_SET_ATTRIBUTES_FINISHED));
    EXPECT_TRUE(messages[0].At(1).IsUndefined());
}

TEST_F(AttributeWorkerTest, MissingPathStillCountsAndFinishes)
{
    WriteHostFile(sandbox(), u"C:\\Data\\b.txt", "data");
    const auto messages = Run(Request(ScriptValue::Int(1), {u"C:\\Data\\missing.txt", u"C:\\Data\\b.txt"}));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], Message(bridge::MSG_SET_PRGRRESS, u"C:\\Data\\missing.txt", 100));
    // The counter runs across the whole request; each path has its own total.
    EXPECT_EQ(messages[1], Message(bridge::MSG_SET_PRGRRESS, u"C:\\Data\\b.txt", 200));
    EXPECT_EQ(AttributesOf(u"C:\\Data\\b.txt") & kAttrReadOnly, kAttrReadOnly);
}

struct CodeCase {
    const char* name;
    std::int32_t code;
    std::uint32_t before;
    std::uint32_t after;
};

class AttributeCodeTest : public SandboxTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(AttributeCodeTest, NoChoiceClearsLikeClear)
{
    const CodeCase& c = GetParam();
    WriteHostFile(sandbox(), u"C:\\Data\\f.txt", "data");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Data\\f.txt", c.before | platform::kAttrArchive).ok());
    AttributeWorker({platform::Utf8ToUtf16(std::to_string(c.code)), u"C:\\Data\\f.txt"});
    EXPECT_EQ(AttributesOf(u"C:\\Data\\f.txt") & (kAttrReadOnly | kAttrHidden), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AttributeCodeTest,
    ::testing::Values(CodeCase{"SetReadOnlyShowsHidden", 1, kAttrHidden, kAttrReadOnly},
                      CodeCase{"HideMakesWritable", 4, kAttrReadOnly, kAttrHidden},
                      CodeCase{"ClearBoth", 10, kAttrReadOnly | kAttrHidden, 0},
                      CodeCase{"SetBoth", 5, 0, kAttrReadOnly | kAttrHidden}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AttributeWorkerTest, CodeThatIsNoNumberClearsBoth)
{
    WriteHostFile(sandbox(), u"C:\\Data\\f.txt", "data");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Data\\f.txt", kAttrReadOnly | kAttrHidden).ok());
    AttributeWorker({u"hide", u"C:\\Data\\f.txt"});
    EXPECT_EQ(AttributesOf(u"C:\\Data\\f.txt") & (kAttrReadOnly | kAttrHidden), 0u);
}

TEST_F(AttributeWorkerTest, OtherBitsAreKept)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine does not keep the not-content-indexed attribute";
    WriteHostFile(sandbox(), u"C:\\Data\\f.txt", "data");
    const std::uint32_t kept = platform::kAttrSystem | platform::kAttrNotContentIndexed;
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Data\\f.txt", kept).ok());
    AttributeWorker({u"5", u"C:\\Data\\f.txt"});
    EXPECT_EQ(AttributesOf(u"C:\\Data\\f.txt") & (kept | kAttrReadOnly | kAttrHidden),
              kept | kAttrReadOnly | kAttrHidden);
}

TEST_F(AttributeWorkerTest, LinksAreCountedButNeverEntered)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine cannot make symbolic links (CreateSymbolicLinkW is not implemented)";
    MakeBox();
    WriteHostFile(sandbox(), u"C:\\Outside\\secret.txt", "data");
    std::filesystem::create_directory_symlink(sandbox().host(u"C:\\Outside"), sandbox().host(u"C:\\Data\\Box\\ToOutside"));
    std::filesystem::create_symlink(sandbox().host(u"C:\\Outside\\secret.txt"),
                                    sandbox().host(u"C:\\Data\\Box\\secret-link.txt"));
    EXPECT_EQ(CountTreeEntries(u"C:\\Data\\Box\\"), 8);

    const auto messages = Run(Request(ScriptValue::Int(5), {u"C:\\Data\\Box"}));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), Message(bridge::MSG_SET_ATTRIBUTES_FINISHED, u"C:\\Data\\Box\\", 100));
    EXPECT_EQ(AttributesOf(u"C:\\Outside") & (kAttrReadOnly | kAttrHidden), 0u);
    EXPECT_EQ(AttributesOf(u"C:\\Outside\\secret.txt") & (kAttrReadOnly | kAttrHidden), 0u);
    EXPECT_EQ(AttributesOf(u"C:\\Data\\Box\\Sub\\x.txt") & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);

    // A link chosen itself is changed as the link, never through it.
    AttributeWorker({u"5", u"C:\\Data\\Box\\ToOutside"});
    EXPECT_EQ(AttributesOf(u"C:\\Outside") & (kAttrReadOnly | kAttrHidden), 0u);
    EXPECT_EQ(AttributesOf(u"C:\\Outside\\secret.txt") & (kAttrReadOnly | kAttrHidden), 0u);
}

TEST_F(AttributeWorkerTest, CountIncludesHiddenEntriesAndNestedFolders)
{
    MakeBox();
    WriteHostFile(sandbox(), u"C:\\Data\\Box\\Sub\\Deep\\.hidden", "data");
    // a, b, c, Sub; x, y, Deep; .hidden
    EXPECT_EQ(CountTreeEntries(u"C:\\Data\\Box\\"), 8);
    EXPECT_EQ(CountTreeEntries(u"C:\\Data\\Missing\\"), 0);
}

TEST_F(AttributeWorkerTest, FolderWithForwardSlashKeepsItsSeparator)
{
    MakeBox();
    const auto messages = Run(Request(ScriptValue::Int(0), {u"C:\\Data\\Box/"}));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), Message(bridge::MSG_SET_ATTRIBUTES_FINISHED, u"C:\\Data\\Box/", 100));
}

TEST_F(AttributeWorkerTest, ReadOnlyFolderTreeCanBeClearedAgain)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine keeps no read-only attribute on folders";
    MakeBox();
    AttributeWorker({u"5", u"C:\\Data\\Box"});
    ASSERT_EQ(AttributesOf(u"C:\\Data\\Box\\Sub") & kAttrReadOnly, kAttrReadOnly);
    AttributeWorker({u"10", u"C:\\Data\\Box"});
    for (const auto* path : {u"C:\\Data\\Box", u"C:\\Data\\Box\\Sub", u"C:\\Data\\Box\\Sub\\x.txt"})
        EXPECT_EQ(AttributesOf(path) & (kAttrReadOnly | kAttrHidden), 0u) << platform::Utf16ToUtf8(path);
}

} // namespace
} // namespace lockora::folders
