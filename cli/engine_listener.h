// What the engine reports about the item in progress. The engine and the
// shredder report through NotifyUI, as they report to the screens; here the
// messages drive the progress bar and tell how the item ended.
#pragma once

#include "bridge/notify.h"
#include "cli/progress_bar.h"
#include "platform/result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lockora::cli {

struct ItemEvents {
    platform::ErrorCode systemError = 0; // the last MSG_SHOW_ERROR_INFO
    std::u16string systemText;
    std::optional<std::int32_t> decryptFailure; // MSG_DENCRYPT_FAILED's code
    bool encryptFailed = false;                 // MSG_ENCRYPT_FAILED
    std::optional<std::u16string> backupFailed; // MSG_BACKUP_FILE_NAME_EXIST's path
    bool checksumMismatch = false;              // MSG_ENCRYPT_FILE_HAD_MODIFY
};

// Installs itself as the NotifyUI delivery for its lifetime; everything
// runs on the tool's one thread.
class EngineListener {
public:
    explicit EngineListener(ProgressBar& bar);
    ~EngineListener();
    EngineListener(const EngineListener&) = delete;
    EngineListener& operator=(const EngineListener&) = delete;

    // Forgets the last item's events and shows `label` on the bar. `total`
    // is read at every progress message, so it may be a value that the
    // engine fills in once it knows it (its uTotal).
    void BeginItem(std::string label, std::string shredLabel, const std::uint64_t* total);
    // Clears the bar, so that the item's own lines start on a clean line.
    void EndItem() { bar_.Clear(); }
    const ItemEvents& events() const { return events_; }

private:
    void Receive(const bridge::ScriptValue& message);

    ProgressBar& bar_;
    bridge::NotifyDelivery previous_;
    ItemEvents events_;
    std::string shredLabel_;
    bool shredding_ = false;
    const std::uint64_t* total_ = nullptr;
};

} // namespace lockora::cli
