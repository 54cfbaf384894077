// The real registry. A RegistryKey names its key, and every call opens the
// key for just the access it needs and closes it again, so no handle
// outlives the call that used it.
#include "platform/registry.h"

#include "platform/common/registry_key.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

HKEY Root(RegistryHive hive)
{
    return hive == RegistryHive::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
}

class KeyHandle {
public:
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle()
    {
        if (key_)
            ::RegCloseKey(key_);
    }
    HKEY get() const { return key_; }
    HKEY* out() { return &key_; }

private:
    HKEY key_ = nullptr;
};

Status Checked(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        return Error(static_cast<ErrorCode>(status));
    return {};
}

Status Open(RegistryHive hive, std::u16string_view path, REGSAM access, KeyHandle& key)
{
    return Checked(::RegOpenKeyExW(Root(hive), win32::Wide(path).c_str(), 0, access, key.out()));
}

Status SetValue(HKEY key, std::u16string_view name, const RegistryValue& value)
{
    const std::wstring valueName = win32::Wide(name);
    switch (value.type) {
    case RegistryType::Sz: {
        const std::wstring text = win32::Wide(value.text);
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return Checked(::RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(text.c_str()), bytes));
    }
    case RegistryType::Dword: {
        const auto number = static_cast<DWORD>(value.number);
        return Checked(::RegSetValueExW(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                        sizeof number));
    }
    case RegistryType::Qword: {
        const std::uint64_t number = value.number;
        return Checked(::RegSetValueExW(key, valueName.c_str(), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&number),
                                        sizeof number));
    }
    }
    return Error(kErrorInvalidParameter);
}

Result<CreatedKey> Create(RegistryHive hive, std::u16string_view subKey, REGSAM access, KeyHandle& key)
{
    DWORD disposition = 0;
    PLATFORM_TRY(Checked(::RegCreateKeyExW(Root(hive), win32::Wide(subKey).c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, access, nullptr, key.out(), &disposition)));
    return CreatedKey{RegistryKeyFactory::Make(hive, std::u16string(subKey)),
                      disposition == REG_CREATED_NEW_KEY ? KeyDisposition::CreatedNewKey
                                                         : KeyDisposition::OpenedExistingKey};
}

} // namespace

Result<CreatedKey> RegCreateKeyEx(RegistryHive hive, std::u16string_view subKey)
{
    KeyHandle key;
    return Create(hive, subKey, KEY_QUERY_VALUE, key);
}

Result<RegistryKey> RegOpenKeyEx(RegistryHive hive, std::u16string_view subKey)
{
    KeyHandle key;
    PLATFORM_TRY(Open(hive, subKey, KEY_QUERY_VALUE, key));
    return RegistryKeyFactory::Make(hive, std::u16string(subKey));
}

Status RegSetValueEx(const RegistryKey& key, std::u16string_view valueName, const RegistryValue& value)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    KeyHandle opened;
    PLATFORM_TRY(Open(key.hive(), key.path(), KEY_SET_VALUE, opened));
    return SetValue(opened.get(), valueName, value);
}

Status RegSetValues(const RegistryKey& key, std::span<const NamedValue> values)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    KeyHandle opened;
    PLATFORM_TRY(Open(key.hive(), key.path(), KEY_SET_VALUE, opened));
    for (const NamedValue& named : values)
        PLATFORM_TRY(SetValue(opened.get(), named.name, named.value));
    return {};
}

Result<RegistryValue> RegQueryValueEx(const RegistryKey& key, std::u16string_view valueName)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    KeyHandle opened;
    PLATFORM_TRY(Open(key.hive(), key.path(), KEY_QUERY_VALUE, opened));
    const std::wstring name = win32::Wide(valueName);
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    LSTATUS status = ERROR_MORE_DATA;
    // The value may grow between the two calls.
    while (status == ERROR_MORE_DATA) {
        status = ::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        data.resize(size + sizeof(wchar_t));
        status = ::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, data.data(), &size);
    }
    PLATFORM_TRY(Checked(status));
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::u16string text(reinterpret_cast<const char16_t*>(data.data()), size / sizeof(char16_t));
        // Stored with or without its terminator.
        while (!text.empty() && text.back() == u'\0')
            text.pop_back();
        return RegistryValue::String(std::move(text));
    }
    case REG_DWORD:
        if (size == sizeof(DWORD))
            return RegistryValue::Dword(*reinterpret_cast<const DWORD*>(data.data()));
        break;
    case REG_QWORD:
        if (size == sizeof(std::uint64_t))
            return RegistryValue::Qword(*reinterpret_cast<const std::uint64_t*>(data.data()));
        break;
    default:
        break;
    }
    return Error(kErrorInvalidData);
}

Status RegSetKeyValue(RegistryHive hive, std::u16string_view subKey, std::u16string_view valueName,
                      const RegistryValue& value)
{
    KeyHandle key;
    auto created = Create(hive, subKey, KEY_SET_VALUE, key);
    if (!created)
        return created.error();
    return SetValue(key.get(), valueName, value);
}

Status RegDeleteKey(RegistryHive hive, std::u16string_view subKey)
{
    if (subKey.empty())
        return Error(kErrorAccessDenied);
    return Checked(::RegDeleteKeyW(Root(hive), win32::Wide(subKey).c_str()));
}

Result<std::vector<std::u16string>> RegEnumKeyNames(const RegistryKey& key)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    KeyHandle opened;
    PLATFORM_TRY(Open(key.hive(), key.path(), KEY_ENUMERATE_SUB_KEYS, opened));
    std::vector<std::u16string> names;
    wchar_t name[kMaxKeyNameUnits + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status = ::RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        PLATFORM_TRY(Checked(status));
        names.emplace_back(reinterpret_cast<const char16_t*>(name), length);
    }
    std::sort(names.begin(), names.end(),
              [](const std::u16string& a, const std::u16string& b) { return CompareNoCase(a, b) < 0; });
    return names;
}

Result<std::vector<std::u16string>> RegEnumValueNames(const RegistryKey& key)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    KeyHandle opened;
    PLATFORM_TRY(Open(key.hive(), key.path(), KEY_QUERY_VALUE, opened));
    std::vector<std::u16string> names;
    std::vector<wchar_t> name(kMaxValueNameUnits + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            ::RegEnumValueW(opened.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        PLATFORM_TRY(Checked(status));
        names.emplace_back(reinterpret_cast<const char16_t*>(name.data()), length);
    }
    return names;
}

} // namespace platform
