// Windows paths are the system's own: a "host" path is the same path in
// UTF-8, and every drive the system has is a logical drive.
#include "platform/path.h"

#include "platform/common/backend.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

namespace platform {

namespace backend {

bool NameFitsFileSystem(std::u16string_view name)
{
    return name.size() <= MAX_PATH - 5; // 255 units, the NTFS limit of one name
}

} // namespace backend

Result<std::string> ToHostPath(std::u16string_view path)
{
    auto parsed = ParseWindowsPath(path);
    if (!parsed)
        return parsed.error();
    return Utf16ToUtf8(parsed->ToString());
}

Result<std::u16string> ToWindowsPath(std::string_view hostPath)
{
    if (!IsValidUtf8(hostPath))
        return Error(kErrorInvalidName);
    auto parsed = ParseWindowsPath(Utf8ToUtf16(hostPath));
    if (!parsed)
        return parsed.error();
    return parsed->ToString();
}

std::u16string HostNameToWindows(std::string_view hostName)
{
    return Utf8ToUtf16(hostName);
}

std::string WindowsNameToHost(std::u16string_view windowsName)
{
    return Utf16ToUtf8(windowsName);
}

std::vector<std::u16string> LogicalDrives()
{
    std::vector<std::u16string> drives;
    const DWORD present = ::GetLogicalDrives();
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        if (present & (1u << (letter - u'A')))
            drives.push_back(std::u16string{letter, u':', u'\\'});
    }
    return drives;
}

} // namespace platform
