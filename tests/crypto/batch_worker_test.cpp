// The batch: script functions, the busy code, the worker's item loop, its
// settings copy and its finish message.
#include "crypto/batch_worker.h"
#include "platform/attributes.h"
#include "settings/settings_store.h"
#include "tests/crypto/engine_fixture.h"
#include "tests/crypto/operation_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

namespace lockora::crypto {
namespace {

using bridge::ScriptValue;

using StartFunction = ScriptValue (*)(const ScriptValue&, const settings::SettingsHolder&);

ScriptValue Request(std::u16string password, std::vector<std::u16string> paths)
{
    std::vector<ScriptValue> values;
    for (auto& path : paths)
        values.push_back(ScriptValue::String(std::move(path)));
    return ScriptValue::Array({ScriptValue::String(std::move(password)), ScriptValue::Array(std::move(values))});
}

const ScriptValue& Finish()
{
    static const ScriptValue finish = ScriptValue::Array({ScriptValue::Int(bridge::MSG_ENCORDEC_FINISH)});
    return finish;
}

class BatchWorkerTest : public testing::OperationTest {
protected:
    void SetUp() override
    {
        OperationTest::SetUp();
        // Built inside the sandbox, so that it loads the sandbox's store.
        holder_ = std::make_unique<settings::SettingsHolder>();
    }

    // Starts a batch through the script function and waits for its worker.
    void RunToEnd(StartFunction start, const ScriptValue& param)
    {
        ASSERT_EQ(start(param, *holder_), ScriptValue::Int(0));
        ASSERT_TRUE(crypto::testing::WaitForCryptWorkers());
    }

    void SetOptions(std::int32_t deleteSelection)
    {
        holder_->Update([&](settings::SettingsRecord& record) { record.iDelSel = deleteSelection; });
    }

    std::unique_ptr<settings::SettingsHolder> holder_;
};

TEST_F(BatchWorkerTest, BusyOperationStartsNothing)
{
    Write(u"C:\\a.txt", "a");
    window_.busyCode().store(bridge::kDecrypting);
    EXPECT_EQ(Encrypted(Request(u"pw", {u"C:\\a.txt"}), *holder_), ScriptValue::Int(2));
    window_.busyCode().store(bridge::kDeleting);
    EXPECT_EQ(Decrypted(Request(u"pw", {u"C:\\a.txt"}), *holder_), ScriptValue::Int(3));
    ASSERT_TRUE(crypto::testing::WaitForCryptWorkers());
    EXPECT_EQ(window_.busyCode().load(), bridge::kDeleting);
    EXPECT_TRUE(window_.Calls().empty());
    EXPECT_FALSE(Exists(u"C:\\a.txt.xep"));
}

TEST_F(BatchWorkerTest, EmptyBatchStillFinishes)
{
    RunToEnd(Encrypted, Request(u"pw", {}));
    EXPECT_EQ(Messages(), std::vector{Finish()});
    EXPECT_EQ(window_.busyCode().load(), bridge::kIdle);
}

TEST_F(BatchWorkerTest, ItemThatCannotBeOpenedEndsTheBatch)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine run as root opens read-only files for writing; Windows refuses";
    Write(u"C:\\first.txt", "1");
    Write(u"C:\\second.txt", "2");
    ASSERT_TRUE(platform::SetFileAttributes(u"C:\\first.txt", platform::kAttrReadOnly).ok());
    RunToEnd(Encrypted, Request(u"pw", {u"C:\\first.txt", u"C:\\second.txt"}));
    EXPECT_FALSE(Exists(u"C:\\first.txt.xep"));
    EXPECT_FALSE(Exists(u"C:\\second.txt.xep"));
    EXPECT_EQ(MessageIds(), (std::vector<std::int32_t>{bridge::MSG_SHOW_ERROR_INFO, bridge::MSG_ENCORDEC_FINISH}));
}

TEST_F(BatchWorkerTest, AbandonedItemDoesNotEndTheBatch)
{
    Write(u"C:\\first.txt", "1");
    Write(u"C:\\second.txt", "2");
    RunToEnd(Encrypted, Request(u"pw", {u"C:\\first.txt", u"C:\\second.txt"}));
    std::string damaged = Read(u"C:\\first.txt.xep");
    damaged[0] = static_cast<char>(damaged[0] ^ 1);
    Write(u"C:\\first.txt.xep", damaged);
    ClearMessages();

    RunToEnd(Decrypted, Request(u"pw", {u"C:\\first.txt.xep", u"C:\\second.txt.xep"}));
    EXPECT_EQ(Read(u"C:\\second(1).txt"), "2");
    EXPECT_TRUE(Exists(u"C:\\first(1).txt"));
    const auto modified = MessagesOf(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY);
    ASSERT_EQ(modified.size(), 1u);
    // The message for the first container comes before the second's progress.
    const auto ids = MessageIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), bridge::MSG_SET_PRGRRESS), 2);
    EXPECT_EQ(ids[1], bridge::MSG_ITEM_WRITTEN);
    EXPECT_EQ(ids[2], bridge::MSG_ENCRYPT_FILE_HAD_MODIFY);
    EXPECT_EQ(Messages().back(), Finish());
}

TEST_F(BatchWorkerTest, BusyWhileDecryptingAndClearedBeforeTheFinishMessage)
{
    Write(u"C:\\a.txt", testing::Pattern(6000, 5, 5));
    RunToEnd(Encrypted, Request(u"pw", {u"C:\\a.txt"}));
    ClearMessages();

    std::mutex mutex;
    std::vector<std::pair<std::int32_t, std::int32_t>> seen; // message id, busy code
    window_.Respond("BackupServiceCallUI", [&](const ScriptValue& message) {
        std::lock_guard lock(mutex);
        seen.emplace_back(message.At(0).GetInt(), window_.busyCode().load());
        return ScriptValue();
    });
    RunToEnd(Decrypted, Request(u"pw", {u"C:/a.txt.xep"}));

    std::lock_guard lock(mutex);
    ASSERT_GE(seen.size(), 3u);
    for (std::size_t i = 0; i + 2 < seen.size(); ++i)
        EXPECT_EQ(seen[i], std::make_pair(std::int32_t{bridge::MSG_SET_PRGRRESS}, std::int32_t{bridge::kDecrypting}));
    EXPECT_EQ(seen[seen.size() - 2], std::make_pair(std::int32_t{bridge::MSG_ITEM_WRITTEN}, std::int32_t{bridge::kDecrypting}));
    EXPECT_EQ(seen.back(), std::make_pair(std::int32_t{bridge::MSG_ENCORDEC_FINISH}, std::int32_t{bridge::kIdle}));
    // "/" separators are turned into "\" before the item runs.
    EXPECT_EQ(Messages().front().At(1).At(0).GetString(), u"C:\\a.txt.xep");
    EXPECT_EQ(Read(u"C:\\a(1).txt"), testing::Pattern(6000, 5, 5));
}

TEST_F(BatchWorkerTest, FinishMessageFailingInThePageIsNotFatal)
{
    window_.Respond("BackupServiceCallUI", [](const ScriptValue&) -> ScriptValue {
        throw bridge::PageScriptError("page gone wrong");
    });
    RunToEnd(Encrypted, Request(u"pw", {}));
    EXPECT_EQ(window_.busyCode().load(), bridge::kIdle);
    EXPECT_EQ(Messages(), std::vector{Finish()});
}

TEST_F(BatchWorkerTest, BatchWorksOnItsCopyOfTheSettingsAndSavesIt)
{
    SetOptions(kDeleteSource);
    Write(u"C:\\a.txt", "a");
    Write(u"C:\\b.txt", "b");
    // A change made while the batch runs applies from the next batch on.
    window_.Respond("BackupServiceCallUI", [&](const ScriptValue&) {
        holder_->Update([](settings::SettingsRecord& record) { record.iDelSel = kKeepSource; });
        return ScriptValue();
    });
    RunToEnd(Encrypted, Request(u"pw", {u"C:\\a.txt", u"C:\\b.txt"}));
    EXPECT_FALSE(Exists(u"C:\\a.txt"));
    EXPECT_FALSE(Exists(u"C:\\b.txt"));

    settings::SettingsRecord stored;
    stored.iDelSel = 7;
    settings::LoadSettings(stored);
    EXPECT_EQ(stored.iDelSel, kDeleteSource);
}

TEST_F(BatchWorkerTest, ArgumentsThatAreNotTextAreConverted)
{
    Write(u"C:\\7", "seven");
    const ScriptValue param =
        ScriptValue::Array({ScriptValue::Int(1234), ScriptValue::Array({ScriptValue::String(u"C:\\7")})});
    RunToEnd(Encrypted, param);
    ClearMessages();
    RunToEnd(Decrypted, Request(u"1234", {u"C:\\7.xep"}));
    EXPECT_EQ(Read(u"C:\\7(1)"), "seven");
    EXPECT_TRUE(MessagesOf(bridge::MSG_DENCRYPT_FAILED).empty());
}

TEST_F(BatchWorkerTest, WithoutMainWindowNothingStarts)
{
    bridge::MainWindow::Register(nullptr);
    EXPECT_EQ(Encrypted(Request(u"pw", {}), *holder_), ScriptValue::Int(-1));
    bridge::MainWindow::Register(&window_);
}

} // namespace
} // namespace lockora::crypto
