// Encryption and decryption batches: the script functions that start them
// and the worker thread that runs one batch, a password and a list of
// paths, with one CryptOperation.
#pragma once

#include "bridge/script_value.h"
#include "crypto/crypt_operation.h"
#include "settings/settings_holder.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::crypto {

enum class BatchDirection : std::uint8_t { Encrypt, Decrypt };

// Script functions, on the UI thread: param is [password, [path, ...]], each
// taken as text (paths with "/" or "\"). Return 0 when the batch was started,
// or the busy code (1-3) when another operation runs and nothing was
// started; -1 without a registered main window, where nothing could be
// coordinated or reported. They set the busy code (1 encrypting, 2
// decrypting), copy the settings under the holder's lock and start
// CryptWorker on a thread of its own.
bridge::ScriptValue Encrypted(const bridge::ScriptValue& param, const settings::SettingsHolder& settings);
bridge::ScriptValue Decrypted(const bridge::ScriptValue& param, const settings::SettingsHolder& settings);

// The worker: `request` is [password, path, ...] and `settings` the copy of
// the main window's record for this batch. Runs the batch in the direction
// of the busy code, saves its settings copy, clears the busy code and then
// sends [11] to BackupServiceCallUI, always as its last message. Returns 0.
int CryptWorker(std::vector<std::u16string> request, settings::SettingsRecord settings);

// The item loop: each path in order, encrypted or decrypted. An item that
// could not be opened (OpenItem result 1 to 4) ends the batch at once.
void RunBatch(CryptOperation& operation, const std::vector<std::u16string>& paths, std::u16string_view password,
              BatchDirection direction);

namespace testing {
// Waits until every worker started by Encrypted or Decrypted has returned
// from CryptWorker; false after `timeout`. A test must not take down what a
// worker uses (its main window, its sandbox) before that.
bool WaitForCryptWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(30));
} // namespace testing

} // namespace lockora::crypto
