#include "platform/private_files.h"

namespace platform {

std::string FileUrl(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    // A Windows path ("C:\a b") has its separators turned and a "/" before
    // the drive: "file:///C:/a%20b"; a POSIX one starts with its own "/".
    const bool drive = path.size() >= 2 && path[1] == ':';
    std::string url = drive ? "file:///" : "file://";
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~' || byte == '/' || (drive && i == 1);
        if (drive && byte == '\\') {
            url.push_back('/');
        } else if (plain) {
            url.push_back(path[i]);
        } else {
            url.push_back('%');
            url.push_back(kHex[byte >> 4]);
            url.push_back(kHex[byte & 0xF]);
        }
    }
    return url;
}

} // namespace platform
