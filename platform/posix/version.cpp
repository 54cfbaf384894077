#include "platform/version.h"

#include "platform/errors.h"
#include "platform/system.h"
#include "platform/text.h"

#include "build_version.h"

#include <array>

namespace platform {
namespace {

struct VersionEntry {
    std::u16string_view key;
    std::u16string_view value;
};

constexpr std::array<VersionEntry, 2> kVersionStrings{{
    {u"FileVersion", LOCKORA_FILE_VERSION},
    {u"ProductVersion", LOCKORA_PRODUCT_VERSION},
}};

bool IsRunningExecutable(std::u16string_view filePath)
{
    return filePath.empty() || EqualsNoCase(filePath, ModuleFileName());
}

} // namespace

Result<std::u16string> FileVersionString(std::u16string_view filePath, std::u16string_view key)
{
    if (key.empty())
        return Error(kErrorInvalidParameter);
    if (!IsRunningExecutable(filePath))
        return Error(kErrorResourceTypeNotFound);
    for (const auto& entry : kVersionStrings) {
        if (EqualsNoCase(entry.key, key))
            return std::u16string(entry.value);
    }
    return Error(kErrorResourceNameNotFound);
}

} // namespace platform
