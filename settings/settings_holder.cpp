#include "settings/settings_holder.h"

#include "settings/settings_store.h"

namespace lockora::settings {

SettingsHolder::SettingsHolder()
{
    LoadSettings(record_);
}

SettingsRecord SettingsHolder::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return record_;
}

void SettingsHolder::Load()
{
    // Under the lock, so no change made meanwhile is overwritten by the
    // loaded values. Loads are rare (start-up) and read one small file.
    std::lock_guard lock(mutex_);
    LoadSettings(record_);
}

void SettingsHolder::Save() const
{
    SaveSettings(Snapshot());
}

} // namespace lockora::settings
