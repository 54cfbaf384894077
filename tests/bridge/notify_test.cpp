#include "bridge/notify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lockora::bridge {
namespace {

// Records every delivered message; restores the previous delivery at the end.
class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = InstallNotifyUI([this](const ScriptValue& message) {
            std::lock_guard lock(mutex_);
            messages_.push_back(message);
        });
    }
    void TearDown() override { InstallNotifyUI(std::move(previous_)); }

    std::vector<ScriptValue> Messages()
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    ScriptValue Only()
    {
        auto all = Messages();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? ScriptValue() : all.front();
    }

private:
    NotifyDelivery previous_;
    std::mutex mutex_;
    std::vector<ScriptValue> messages_;
};

ScriptValue Text(const char16_t* text)
{
    return ScriptValue::String(text);
}

TEST_F(NotifyTest, ParameterShapesFollowTheId)
{
    EXPECT_EQ(NotifyUI(MSG_SET_PRGRRESS, u"C:\\a.txt", 50), 0);
    EXPECT_EQ(Only(), ScriptValue::Array({ScriptValue::Int(2), ScriptValue::Array({Text(u"C:\\a.txt"), ScriptValue::Int(50)})}));

    const std::vector<ScriptValue> pairIds = {ScriptValue::Int(6), ScriptValue::Int(10), ScriptValue::Int(14)};
    for (const auto& id : pairIds) {
        const auto message = BuildNotifyMessage(id.GetInt(), u"x", 3);
        EXPECT_EQ(message.At(1), ScriptValue::Array({Text(u"x"), ScriptValue::Int(3)})) << id.GetInt();
    }
}

TEST_F(NotifyTest, BackupNameExistSendsThePlainText)
{
    NotifyUI(MSG_BACKUP_FILE_NAME_EXIST, u"D:\\Backup\\a.txt.xep", 0);
    const auto message = Only();
    ASSERT_EQ(message.Length(), 2u);
    EXPECT_EQ(message.At(0), ScriptValue::Int(15));
    EXPECT_EQ(message.At(1), Text(u"D:\\Backup\\a.txt.xep"));
}

TEST_F(NotifyTest, ModifiedContainerDropsTextAndNumber)
{
    NotifyUI(MSG_ENCRYPT_FILE_HAD_MODIFY, u"C:\\a.txt.xep", 7);
    const auto message = Only();
    ASSERT_EQ(message.Length(), 2u);
    EXPECT_EQ(message.At(0), ScriptValue::Int(8));
    EXPECT_TRUE(message.At(1).IsUndefined());
}

TEST_F(NotifyTest, NullTextIsTakenAsEmpty)
{
    NotifyUI(MSG_SET_PRGRRESS, {}, 50);
    EXPECT_EQ(Only().At(1), ScriptValue::Array({Text(u""), ScriptValue::Int(50)}));
}

TEST_F(NotifyTest, EncryptFailedAndItemWrittenDropTheNumber)
{
    NotifyUI(MSG_ENCRYPT_FAILED, u"C:\\docs", 9);
    EXPECT_EQ(Only().At(1), ScriptValue::Array({Text(u"C:\\docs")}));
    EXPECT_EQ(BuildNotifyMessage(MSG_ITEM_WRITTEN, u"C:\\docs.xep", 9).At(1),
              ScriptValue::Array({Text(u"C:\\docs.xep")}));
}

TEST_F(NotifyTest, IdsOutsideTheTableCarryNoParameter)
{
    for (std::int32_t id : {0, -1, 11, 17, 19, 1000}) {
        const auto message = BuildNotifyMessage(id, u"text", 1);
        EXPECT_EQ(message.At(0), ScriptValue::Int(id));
        EXPECT_TRUE(message.At(1).IsUndefined()) << id;
    }
}

TEST_F(NotifyTest, CallsFromManyThreadsAreAllDelivered)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i)
                NotifyUI(MSG_SET_PRGRRESS, u"p", t * kPerThread + i);
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::vector<bool> seen(kThreads * kPerThread, false);
    for (const auto& message : Messages())
        seen.at(static_cast<std::size_t>(message.At(1).At(1).GetInt())) = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kThreads * kPerThread);
}

TEST(NotifyInstallTest, WithoutDeliveryMessagesAreDroppedAndZeroIsReturned)
{
    auto previous = InstallNotifyUI({});
    EXPECT_EQ(NotifyUI(MSG_SET_PRGRRESS, u"p", 1), 0);

    int calls = 0;
    InstallNotifyUI([&calls](const ScriptValue&) { ++calls; });
    NotifyUI(MSG_SET_PRGRRESS, u"p", 1);
    auto recorder = InstallNotifyUI(std::move(previous));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(static_cast<bool>(recorder));
}

} // namespace
} // namespace lockora::bridge
