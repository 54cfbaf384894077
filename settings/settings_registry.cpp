#include "settings/settings_registry.h"

#include "platform/registry.h"

#include <cstdint>
#include <optional>

namespace lockora::settings {
namespace {

using platform::RegistryKey;
using platform::RegistryType;
using platform::RegistryValue;

// The field's stored form, in the order the values are written.
RegistryValue FlagValue(bool flag)
{
    return RegistryValue::Dword(flag ? 1 : 0);
}

// A 32-bit value; anything larger or of another type cannot be read into
// the field and counts as missing.
std::optional<std::uint32_t> QueryDword(const RegistryKey& key, std::u16string_view name)
{
    auto value = platform::RegQueryValueEx(key, name);
    if (!value.ok() || value->type != RegistryType::Dword)
        return std::nullopt;
    return static_cast<std::uint32_t>(value->number);
}

// uPwd's 64 bits; a 32-bit value fits and is taken as it is.
std::optional<std::uint64_t> QueryQword(const RegistryKey& key, std::u16string_view name)
{
    auto value = platform::RegQueryValueEx(key, name);
    if (!value.ok() || value->type == RegistryType::Sz)
        return std::nullopt;
    return value->number;
}

std::optional<std::u16string> QueryText(const RegistryKey& key, std::u16string_view name)
{
    auto value = platform::RegQueryValueEx(key, name);
    if (!value.ok() || value->type != RegistryType::Sz)
        return std::nullopt;
    return std::move(value->text);
}

void LoadFlag(const RegistryKey& key, std::u16string_view name, bool& flag)
{
    if (const auto stored = QueryDword(key, name))
        flag = *stored != 0;
    else
        (void)platform::RegSetValueEx(key, name, FlagValue(flag)); // repairs are best effort
}

} // namespace

void LoadSettingsFromRegistry(SettingsRecord& record)
{
    auto created = platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, kSettingsKey);
    if (!created.ok())
        return;
    const RegistryKey& key = created->key;

    LoadFlag(key, u"bUserPwd", record.bUserPwd);
    LoadFlag(key, u"bEptCanFgt", record.bEptCanFgt);
    LoadFlag(key, u"bBackup", record.bBackup);
    LoadFlag(key, u"bContextMenu", record.bContextMenu);
    LoadFlag(key, u"bAsk", record.bAsk);
    LoadFlag(key, u"bStrong", record.bStrong);

    if (const auto stored = QueryDword(key, u"iDelSel"))
        record.iDelSel = static_cast<std::int32_t>(*stored);
    else
        (void)platform::RegSetValueEx(key, u"iDelSel", RegistryValue::Dword(static_cast<std::uint32_t>(record.iDelSel)));

    if (const auto stored = QueryQword(key, u"uPwd"))
        record.uPwd = *stored;
    else
        (void)platform::RegSetValueEx(key, u"uPwd", RegistryValue::Qword(record.uPwd));

    if (auto stored = QueryText(key, u"strBackDir"))
        record.strBackDir = std::move(*stored);
    else
        (void)platform::RegSetValueEx(key, u"strBackDir", RegistryValue::String(record.strBackDir));
}

void SaveSettingsToRegistry(const SettingsRecord& record)
{
    auto created = platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, kSettingsKey);
    if (!created.ok())
        return;
    const RegistryKey& key = created->key;
    // A save reports nothing; values that cannot be written keep their old
    // content, and the file stays the store that is read first. Set together,
    // so the store never holds half of one record and half of another.
    const platform::NamedValue values[] = {
        {u"bUserPwd", FlagValue(record.bUserPwd)},
        {u"bEptCanFgt", FlagValue(record.bEptCanFgt)},
        {u"bBackup", FlagValue(record.bBackup)},
        {u"bContextMenu", FlagValue(record.bContextMenu)},
        {u"bAsk", FlagValue(record.bAsk)},
        {u"bStrong", FlagValue(record.bStrong)},
        {u"iDelSel", RegistryValue::Dword(static_cast<std::uint32_t>(record.iDelSel))},
        {u"uPwd", RegistryValue::Qword(record.uPwd)},
        {u"strBackDir", RegistryValue::String(record.strBackDir)},
    };
    (void)platform::RegSetValues(key, values);
}

} // namespace lockora::settings
