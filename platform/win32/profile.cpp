#include "platform/profile.h"

#include "platform/common/profile_rules.h"
#include "platform/errors.h"
#include "platform/win32/wide.h"

#include <vector>

namespace platform {

using win32::Wide;

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, std::u16string_view file)
{
    // The call fills the buffer up to two units short when the value is
    // longer; a larger buffer is then tried.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD length = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                                        Wide(defaultValue).c_str(), buffer.data(),
                                                        static_cast<DWORD>(buffer.size()), Wide(file).c_str());
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 24))
            return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
        buffer.resize(buffer.size() * 4);
    }
}

std::uint32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, std::int32_t defaultValue,
                                   std::u16string_view file)
{
    return ::GetPrivateProfileIntW(Wide(section).c_str(), Wide(key).c_str(), defaultValue, Wide(file).c_str());
}

Status WritePrivateProfileString(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                                 std::u16string_view file)
{
    if (!IsWritableProfileText(section, key, value))
        return Error(kErrorInvalidParameter);
    // Windows refuses to write a read-only file; Wine's profile writer
    // answers success, so the attribute is checked here for both.
    const DWORD attributes = ::GetFileAttributesW(Wide(file).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return Error(kErrorAccessDenied);
    if (!::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                      Wide(file).c_str()))
        return win32::LastError();
    return {};
}

} // namespace platform
