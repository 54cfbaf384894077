// Shared set-up of the container tests: a sandbox, recorders for
// notifications and message boxes, and the item steps that the encrypt and
// decrypt operations run around the engine, reduced to what the container
// format needs.
#pragma once

#include "bridge/notify.h"
#include "crypto/crypt_engine.h"
#include "platform/message_box.h"
#include "tests/support/sandbox.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lockora::crypto::testing {

struct DecryptOutcome {
    TrailerOutcome trailer = TrailerOutcome::Ok;
    std::optional<std::string> abandoned; // the AbandonItem text
    bool checksumOk = false;
};

class EngineTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Encrypts the file or folder `source` into the new container `output`.
    // Returns the AbandonItem text when the item was abandoned.
    std::optional<std::string> EncryptItem(const std::u16string& source, const std::u16string& output,
                                           const std::u16string& password, bool recoveryFlag = false);

    // Checks the container and restores it to `output` (a file or, for a
    // folder container, a directory); `programKey` is the stored program
    // password value.
    DecryptOutcome DecryptItem(const std::u16string& container, const std::u16string& output,
                               const std::u16string& password, std::uint64_t programKey = 0);

    std::vector<bridge::ScriptValue> Notifications();
    // The percentages of the MSG_SET_PRGRRESS notifications, in order.
    std::vector<std::int32_t> ProgressPercents();
    int MessageBoxes();
    void ClearRecords();

private:
    bridge::NotifyDelivery previousDelivery_;
    platform::MessageBoxHandler previousBoxHandler_;
    std::mutex mutex_;
    std::vector<bridge::ScriptValue> notifications_;
    int messageBoxes_ = 0;
};

// Every file and folder below the sandbox root, as host paths relative to it,
// with the content of files ("" for folders marked by a trailing "/").
std::vector<std::pair<std::string, std::string>> SnapshotTree(const std::string& root);

std::string Pattern(std::size_t length, unsigned mul, unsigned add);

} // namespace lockora::crypto::testing
