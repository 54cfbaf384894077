#include "shred/delete_operation.h"

#include "bridge/main_window.h"
#include "platform/attributes.h"
#include "tests/shred/shred_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace lockora::shred {
namespace {

using bridge::ScriptValue;
using PercentList = std::vector<std::int32_t>;

ScriptValue Request(std::vector<std::u16string> paths)
{
    ScriptValue list = ScriptValue::Array();
    for (auto& path : paths)
        list.Append(ScriptValue::String(std::move(path)));
    return ScriptValue::Array({ScriptValue::String(u""), std::move(list)});
}

class DeleteOperationTest : public ShredTest {
protected:
    void SetUp() override
    {
        ShredTest::SetUp();
        // Notes the busy code seen by the page with each message; the finish
        // message is the worker's last use of the window.
        window().Respond("BackupServiceCallUI", [this](const ScriptValue& message) {
            std::lock_guard lock(mutex_);
            busyAtMessage_.push_back(window().busyCode().load());
            if (message.At(0).GetInt() == bridge::MSG_DELETE_FINISH) {
                finish_ = message;
                changed_.notify_all();
            }
            return ScriptValue();
        });
    }

    // The finish message, once the page has handled it; fails the test
    // when it does not come.
    ScriptValue WaitForFinish()
    {
        std::unique_lock lock(mutex_);
        EXPECT_TRUE(changed_.wait_for(lock, std::chrono::seconds(20), [&] { return !finish_.IsUndefined(); }));
        return finish_;
    }

    std::vector<std::int32_t> BusyAtMessages()
    {
        std::lock_guard lock(mutex_);
        return busyAtMessage_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    ScriptValue finish_;
    std::vector<std::int32_t> busyAtMessage_;
};

TEST_F(DeleteOperationTest, SingleFileIsShreddedWhileBusyAndFinishesAfterTheBusyCodeIsCleared)
{
    Write(u"C:\\Data\\ten.bin", std::string(10000, 't'));
    EXPECT_EQ(CompleteDelFile(Request({u"C:\\Data\\ten.bin"})), ScriptValue::Int(0));

    const ScriptValue finish = WaitForFinish();
    EXPECT_EQ(finish, ScriptValue::Array({ScriptValue::Int(12), ScriptValue::String(u"C:\\Data\\ten.bin")}));
    EXPECT_EQ(Percents(), (PercentList{10, 20, 30, 40, 60, 70, 80, 90}));
    // 3 with every progress message, 0 by the finish message, which is last.
    EXPECT_EQ(BusyAtMessages(), (PercentList{3, 3, 3, 3, 3, 3, 3, 3, 0}));
    EXPECT_EQ(window().Calls().back().argument, finish);
    EXPECT_FALSE(Exists(u"C:\\Data\\ten.bin"));
}

TEST_F(DeleteOperationTest, BusyWindowStartsNothing)
{
    Write(u"C:\\Data\\a.txt", "a");
    for (const std::int32_t busy : {bridge::kEncrypting, bridge::kDecrypting, bridge::kDeleting}) {
        window().busyCode() = busy;
        EXPECT_EQ(CompleteDelFile(Request({u"C:\\Data\\a.txt"})), ScriptValue::Int(busy));
        EXPECT_EQ(window().busyCode().load(), busy);
    }
    EXPECT_EQ(Read(u"C:\\Data\\a.txt"), "a");
    EXPECT_TRUE(window().Calls().empty());
}

TEST_F(DeleteOperationTest, FinishCarriesTheFirstPathEvenWhenALaterOneFailed)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine run as root opens read-only files for writing; Windows refuses";
    Write(u"C:\\Data\\first.txt", "1");
    Write(u"C:\\Data\\locked.txt", "2");
    Write(u"C:\\Folder\\Keep\\locked.txt", "3");
    Write(u"C:\\Folder\\gone.txt", "4");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Data\\locked.txt", platform::kAttrReadOnly).ok());
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\Folder\\Keep\\locked.txt", platform::kAttrReadOnly).ok());

    ASSERT_EQ(CompleteDelFile(Request({u"C:\\Data\\first.txt", u"C:\\Data\\locked.txt", u"C:\\Folder\\",
                                       u"C:\\Data\\missing.txt"})),
              ScriptValue::Int(0));

    EXPECT_EQ(WaitForFinish().At(1), ScriptValue::String(u"C:\\Data\\first.txt"));
    EXPECT_FALSE(Exists(u"C:\\Data\\first.txt"));
    EXPECT_EQ(Read(u"C:\\Data\\locked.txt"), "2");
    // The trailing backslash still names a folder: it was walked.
    EXPECT_FALSE(Exists(u"C:\\Folder\\gone.txt"));
    EXPECT_EQ(Read(u"C:\\Folder\\Keep\\locked.txt"), "3");
    EXPECT_EQ(window().busyCode().load(), bridge::kIdle);
}

TEST_F(DeleteOperationTest, EmptyRequestIsAnsweredWithAnEmptyPath)
{
    ASSERT_EQ(CompleteDelFile(ScriptValue::Array({ScriptValue::String(u""), ScriptValue::Array()})),
              ScriptValue::Int(0));
    EXPECT_EQ(WaitForFinish(), ScriptValue::Array({ScriptValue::Int(12), ScriptValue::String(u"")}));
    EXPECT_EQ(window().busyCode().load(), bridge::kIdle);
}

TEST_F(DeleteOperationTest, PageCanStartTheNextDeletionFromTheFinishHandler)
{
    Write(u"C:\\Data\\one.txt", "1");
    Write(u"C:\\Data\\two.txt", "2");
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ScriptValue> finishes;
    std::vector<std::int32_t> starts;
    window().Respond("BackupServiceCallUI", [&](const ScriptValue& message) {
        if (message.At(0).GetInt() != bridge::MSG_DELETE_FINISH)
            return ScriptValue();
        std::lock_guard lock(mutex);
        finishes.push_back(message);
        if (finishes.size() == 1)
            starts.push_back(CompleteDelFile(Request({u"C:\\Data\\two.txt"})).GetInt());
        changed.notify_all();
        return ScriptValue();
    });

    ASSERT_EQ(CompleteDelFile(Request({u"C:\\Data\\one.txt"})), ScriptValue::Int(0));
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return finishes.size() == 2; }));
    EXPECT_EQ(starts, (PercentList{0}));
    EXPECT_EQ(finishes[1].At(1), ScriptValue::String(u"C:\\Data\\two.txt"));
    EXPECT_FALSE(Exists(u"C:\\Data\\two.txt"));
}

} // namespace
} // namespace lockora::shred
