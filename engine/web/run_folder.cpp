#include "engine/web/run_folder.h"

#include "engine/web/page_content.h"
#include "platform/errors.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace lockora::engine::web {
namespace {

std::string BaseFolder()
{
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value == '/')
            return value;
    }
    return "/tmp";
}

platform::Status WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return platform::Error(platform::ErrorFromErrno(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

} // namespace

platform::Result<RunFolder> RunFolder::Create()
{
    std::string pattern = BaseFolder() + "/lockora-web-XXXXXX";
    // mkdtemp creates the folder with mode 0700.
    if (!::mkdtemp(pattern.data()))
        return platform::Error(platform::ErrorFromErrno(errno));
    return RunFolder(std::move(pattern));
}

RunFolder::RunFolder(RunFolder&& other) noexcept : path_(std::move(other.path_))
{
    other.path_.clear();
}

RunFolder::~RunFolder()
{
    if (path_.empty())
        return;
    std::error_code ignored; // a browser still writing its profile may leave files behind
    std::filesystem::remove_all(path_, ignored);
}

platform::Result<std::string> RunFolder::WriteStartFile(std::string_view address) const
{
    const std::string file = path_ + "/start.html";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return platform::Error(platform::ErrorFromErrno(errno));
    const std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                             "<meta http-equiv=\"refresh\" content=\"0;url=" +
                             EscapeAttribute(address) + "\"></head><body></body></html>\n";
    const platform::Status written = WriteAll(fd, page);
    const bool closed = ::close(fd) == 0;
    if (!written.ok())
        return written.error();
    if (!closed)
        return platform::Error(platform::ErrorFromErrno(errno));
    return file;
}

std::string FileUrl(std::string_view hostPath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : hostPath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~' || byte == '/';
        if (plain) {
            url.push_back(c);
        } else {
            url.push_back('%');
            url.push_back(kHex[byte >> 4]);
            url.push_back(kHex[byte & 0xF]);
        }
    }
    return url;
}

} // namespace lockora::engine::web
