#include "platform/posix/dos_attributes.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"

#include <cerrno>
#include <cstdio>
#include <sys/xattr.h>

namespace platform::hostfs {
namespace {

constexpr const char* kDosAttribName = "user.DOSATTRIB";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::uint32_t> ParseDosAttrib(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || digits == 8)
            break;
        value = value << 4 | static_cast<std::uint32_t>(digit);
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

std::optional<std::uint32_t> ReadDosAttrib(const std::string& hostPath)
{
    char buffer[64];
    const ssize_t length = ::lgetxattr(hostPath.c_str(), kDosAttribName, buffer, sizeof buffer);
    if (length < 0)
        return std::nullopt;
    return ParseDosAttrib(std::string_view(buffer, static_cast<std::size_t>(length)));
}

Status WriteDosAttrib(const std::string& hostPath, std::uint32_t bits)
{
    char text[16];
    const int length = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(bits));
    if (::lsetxattr(hostPath.c_str(), kDosAttribName, text, static_cast<std::size_t>(length), 0) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

Status RemoveDosAttrib(const std::string& hostPath)
{
    if (::lremovexattr(hostPath.c_str(), kDosAttribName) != 0 && errno != ENODATA && errno != ENOTSUP)
        return Error(ErrorFromErrno(errno));
    return {};
}

bool IsDotName(std::string_view hostName)
{
    return hostName.size() > 1 && hostName[0] == '.' && hostName != "..";
}

std::uint32_t AttributesOf(const std::string& hostPath, const struct stat& st, std::string_view hostName)
{
    if (S_ISLNK(st.st_mode)) {
        // A link's own attributes: it points to a folder or to anything else.
        // Nothing of the target is reported, so walks see every link as one.
        struct stat target {};
        const bool toFolder = ::stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        std::uint32_t attributes = kAttrReparsePoint | (toFolder ? kAttrDirectory : kAttrArchive);
        if (IsDotName(hostName))
            attributes |= kAttrHidden;
        return attributes;
    }

    const bool folder = S_ISDIR(st.st_mode);
    std::uint32_t attributes = folder ? kAttrDirectory : kAttrArchive;
    if (IsReadOnlyFile(st))
        attributes |= kAttrReadOnly;
    if (const auto stored = ReadDosAttrib(hostPath))
        attributes |= *stored & (folder ? kXattrFolderBits : kXattrFileBits);
    else if (IsDotName(hostName))
        attributes |= kAttrHidden;
    return attributes;
}

} // namespace platform::hostfs
