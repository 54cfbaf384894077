// Set-up of the operation and batch tests: a sandbox, a recording main
// window that also receives every NotifyUI message (as the real main window
// delivers them), message boxes answered at once, and helpers to run items.
#pragma once

#include "bridge/notify.h"
#include "crypto/crypt_operation.h"
#include "crypto/strong_format.h"
#include "platform/message_box.h"
#include "settings/settings_record.h"
#include "tests/support/recording_main_window.h"
#include "tests/support/sandbox.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lockora::crypto::testing {

class OperationTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override;
    // Waits for every batch worker before the window and the sandbox go.
    void TearDown() override;

    // One item with a fresh operation and the given settings; the OpenItem
    // result.
    int Encrypt(const std::u16string& path, const settings::SettingsRecord& options = {},
                const std::u16string& password = u"secret");
    int Decrypt(const std::u16string& path, const settings::SettingsRecord& options = {},
                const std::u16string& password = u"secret");

    // The messages sent to BackupServiceCallUI, in order.
    std::vector<bridge::ScriptValue> Messages() const;
    std::vector<std::int32_t> MessageIds() const;
    // The messages with the given id.
    std::vector<bridge::ScriptValue> MessagesOf(std::int32_t id) const;
    // The percentages of the messages with the given id (2 or 10), in order.
    std::vector<std::int32_t> Percents(std::int32_t id) const;
    void ClearMessages();

    bool Exists(const std::u16string& path) const;
    std::string Read(const std::u16string& path);
    void Write(const std::u16string& path, std::string_view bytes);

    lockora::testing::RecordingMainWindow window_;
    // The cost of the strong containers Encrypt writes.
    crypto::StrongParameters strongCost_;

private:
    bridge::NotifyDelivery previousDelivery_;
    platform::MessageBoxHandler previousBoxHandler_;
    std::size_t firstMessage_ = 0;
};

// The bytes of a checked-in container of the data folder.
std::string ReadExpectedContainer(const char* name);

// A message [id, [text, number]] (number < 0: [id, [text]]; id 15: [id, text]).
bridge::ScriptValue Message(std::int32_t id, const std::u16string& text, std::int32_t number = -1);

} // namespace lockora::crypto::testing
