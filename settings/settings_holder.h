// The main window's settings record behind a lock.
//
// Script functions change the record on the UI thread while workers take
// their copies from their own threads, so every access goes through the lock.
// Saving works on a copy and is serialised by the store, so the lock is not
// held while the disk is written.
#pragma once

#include "settings/settings_record.h"

#include <mutex>
#include <utility>

namespace lockora::settings {

class SettingsHolder {
public:
    // The defaults, then a load from the store.
    SettingsHolder();
    SettingsHolder(const SettingsHolder&) = delete;
    SettingsHolder& operator=(const SettingsHolder&) = delete;

    // A copy of the record taken under the lock: what a worker uses for its
    // whole batch.
    SettingsRecord Snapshot() const;

    // Runs `change` on the record under the lock and returns its result.
    template <typename Change>
    decltype(auto) Update(Change&& change)
    {
        std::lock_guard lock(mutex_);
        return std::forward<Change>(change)(record_);
    }

    // Loads the store into the record again (once the log is open, so that
    // the load is logged).
    void Load();

    // Saves a snapshot of the record.
    void Save() const;

private:
    mutable std::mutex mutex_;
    SettingsRecord record_;
};

} // namespace lockora::settings
