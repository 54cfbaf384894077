// One item of a lockora-xep run, through the program's own engine: each item
// is a batch of its own, so a failed item never stops the next.
#pragma once

#include "cli/engine_listener.h"
#include "crypto/crypt_engine.h"
#include "settings/settings_record.h"

#include <string>
#include <vector>

namespace lockora::cli {

struct ItemTarget {
    std::string typed;   // the host path as the user typed it
    std::u16string path; // the program's form of it
};

struct ItemReport {
    bool ok = false;
    std::string output;                // the line for standard output, if any
    std::vector<std::string> problems; // reasons for standard error
};

class ItemRunner {
public:
    // `settings` is the program's stored record, with iDelSel as the run
    // chose it.
    ItemRunner(settings::SettingsRecord settings, EngineListener& listener)
        : settings_(std::move(settings)), listener_(listener)
    {
    }

    ItemReport Encrypt(const ItemTarget& item, const std::u16string& password);
    ItemReport Decrypt(const ItemTarget& item, const std::u16string& password);
    ItemReport Verify(const ItemTarget& item, const std::u16string& password);
    ItemReport Info(const ItemTarget& item);
    ItemReport Shred(const ItemTarget& item);

private:
    // After a success: the source must be gone when it was to be deleted or
    // shredded; the remains are a failure of the item.
    void CheckSourceHandled(const ItemTarget& item, ItemReport& report) const;

    settings::SettingsRecord settings_;
    EngineListener& listener_;
    // Checks every container of the run, so that a strong key is derived
    // once for containers of one batch.
    crypto::CryptEngine verifier_;
};

// Why an encrypt would write its backup into what it encrypts, as the
// screens check it before they start: a text when it would, else empty.
std::string BackupConflict(const settings::SettingsRecord& settings, std::u16string_view item);

} // namespace lockora::cli
