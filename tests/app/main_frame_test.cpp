#include "app/main_frame.h"
#include "app/ui_archive.h"
#include "bridge/notify.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "settings/settings_store.h"
#include "system/version_strings.h"
#include "tests/app/app_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lockora::app {
namespace {

using bridge::DataAnswer;
using bridge::ScriptValue;

class MainFrameTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        archive_ = engine().OpenArchive(UiArchiveBlock());
        frame_ = std::make_unique<MainFrame>(engine(), archive_);
    }
    void TearDown() override
    {
        frame_.reset();
        AppTest::TearDown();
    }

    std::vector<std::uint8_t> Item(std::u16string_view path)
    {
        const auto item = engine().GetArchiveItem(archive_, path);
        return item ? std::vector<std::uint8_t>(item->begin(), item->end()) : std::vector<std::uint8_t>{};
    }

    bridge::ArchiveId archive_ = 0;
    std::unique_ptr<MainFrame> frame_;
};

TEST_F(MainFrameTest, ArchiveItemsAreServedIgnoringLetterCase)
{
    frame_->LoadPage(u"this://app/operation-encrypt.html");
    const auto expected = Item(u"tis/operation.tis");
    ASSERT_FALSE(expected.empty());

    for (const char16_t* uri : {u"this://app/tis/operation.tis", u"this://app/TIS/Operation.tis",
                                u"this://app//tis/operation.tis"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(uri));
        const auto served = engine().RequestData(uri);
        EXPECT_EQ(served.answer, DataAnswer::Handled);
        ASSERT_TRUE(served.bytes);
        EXPECT_EQ(*served.bytes, expected);
    }
    // The page itself came from the archive too.
    ASSERT_EQ(engine().Loads().size(), 1u);
    EXPECT_EQ(engine().Loads()[0].data.bytes, Item(u"operation-encrypt.html"));
}

TEST_F(MainFrameTest, MissingItemsAndResourcesAreDiscardedOtherAddressesLeftToTheEngine)
{
    frame_->LoadPage(u"this://app/index.html");
    for (const char16_t* uri : {u"this://app/tis/jp.tis", u"this://app/", u"res:index.html", u"res:", u"res:res://x"}) {
        SCOPED_TRACE(platform::Utf16ToUtf8(uri));
        const auto answer = engine().RequestData(uri);
        EXPECT_EQ(answer.answer, DataAnswer::Discard);
        EXPECT_FALSE(answer.bytes);
    }
    const auto other = engine().RequestData(u"file:///tmp/page.html");
    EXPECT_EQ(other.answer, DataAnswer::Handled);
    EXPECT_FALSE(other.bytes);
}

TEST_F(MainFrameTest, NothingIsServedOrCalledBeforeTheFirstPage)
{
    const auto before = engine().RequestData(u"this://app/index.html");
    EXPECT_EQ(before.answer, DataAnswer::Handled);
    EXPECT_FALSE(before.bytes);
    EXPECT_FALSE(engine().CallNative("GetLang"));
}

TEST_F(MainFrameTest, TwoPageLoadsAttachOnce)
{
    int calls = 0;
    frame_->Functions().Bind(bridge::NativeFunction::GetLang, [&](const ScriptValue&) {
        ++calls;
        return ScriptValue::String(u"en");
    });
    EXPECT_TRUE(frame_->LoadPage(u"this://app/index.html"));
    EXPECT_TRUE(frame_->LoadPage(u"this://app/operation-delete.html"));
    EXPECT_EQ(engine().CallNative("GetLang"), ScriptValue::String(u"en"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(engine().Loads().size(), 2u);
}

TEST_F(MainFrameTest, ScriptCallsGoThroughTheTable)
{
    frame_->LoadPage(u"this://app/index.html");
    EXPECT_EQ(engine().CallNative("GetLang"), ScriptValue::String(u"en"));
    EXPECT_FALSE(engine().CallNative("GetLang", {ScriptValue::String(u"x")}));
    EXPECT_FALSE(engine().CallNative("getlang"));
    EXPECT_EQ(engine().CallNative("GetProductVersion"), system::GetProductVersion());
}

TEST_F(MainFrameTest, EveryFunctionOfTheTableIsBound)
{
    for (const auto& entry : bridge::NativeFunctionTable()) {
        SCOPED_TRACE(std::string(entry.name));
        EXPECT_TRUE(frame_->Functions().IsBound(entry.function));
    }
}

TEST_F(MainFrameTest, ClosingTheWindowSavesTheSettingsOnce)
{
    frame_->LoadPage(u"this://app/index.html");
    frame_->Settings().Update([](settings::SettingsRecord& record) { record.iDelSel = 2; });
    const std::u16string file = settings::GetSettingFilePath();
    engine().CloseWindow();
    ASSERT_TRUE(platform::PathExists(file));
    settings::SettingsRecord saved;
    settings::LoadSettings(saved);
    EXPECT_EQ(saved.iDelSel, 2);

    // Neither a late change nor the end of the object is saved again.
    ASSERT_TRUE(platform::DeleteFile(file).ok());
    frame_->Settings().Update([](settings::SettingsRecord& record) { record.iDelSel = 1; });
    frame_->OnWindowDestroyed(1);
    frame_.reset();
    EXPECT_FALSE(platform::PathExists(file));
}

TEST_F(MainFrameTest, PageCallsReturnTheValueRaiseScriptErrorsAndStopWithTheWindow)
{
    int calls = 0;
    engine().DefinePageFunction("Twice", [&](const ScriptValue& argument) {
        ++calls;
        return ScriptValue::Int(argument.GetInt() * 2);
    });
    engine().DefinePageFunction("Broken", [](const ScriptValue&) -> ScriptValue {
        throw std::runtime_error("broken on purpose");
    });
    frame_->LoadPage(u"this://app/index.html");
    EXPECT_EQ(frame_->CallPageFunction("Twice", ScriptValue::Int(21)), ScriptValue::Int(42));
    try {
        frame_->CallPageFunction("Broken", {});
        ADD_FAILURE() << "no script error raised";
    } catch (const bridge::PageScriptError& error) {
        EXPECT_NE(std::string(error.what()).find("broken on purpose"), std::string::npos);
    }

    engine().CloseWindow();
    EXPECT_EQ(frame_->Window(), 0u);
    EXPECT_TRUE(frame_->CallPageFunction("Twice", ScriptValue::Int(1)).IsUndefined());
    EXPECT_EQ(calls, 1);
}

TEST_F(MainFrameTest, NotificationsReachBackupServiceCallUIAndScriptErrorsAreContained)
{
    std::vector<ScriptValue> messages;
    engine().DefinePageFunction("BackupServiceCallUI", [&](const ScriptValue& message) {
        messages.push_back(message);
        if (message.At(0).GetInt() == bridge::MSG_ENCORDEC_FINISH)
            throw std::runtime_error("page failed");
        return ScriptValue();
    });
    frame_->LoadPage(u"this://app/index.html");
    EXPECT_EQ(bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, u"C:\\Data\\a.txt", 50), 0);
    EXPECT_EQ(bridge::NotifyUI(bridge::MSG_ENCORDEC_FINISH, u"", 0), 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], bridge::BuildNotifyMessage(bridge::MSG_SET_PRGRRESS, u"C:\\Data\\a.txt", 50));

    // The frame registered itself and leaves no delivery behind it.
    EXPECT_EQ(bridge::MainWindow::Get(), frame_.get());
    frame_.reset();
    EXPECT_EQ(bridge::MainWindow::Get(), nullptr);
    bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, u"x", 1);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(MainFrameTest, BusyCodeStartsIdle)
{
    EXPECT_EQ(frame_->busyCode().load(), bridge::kIdle);
}

} // namespace
} // namespace lockora::app
