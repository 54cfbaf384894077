#include "platform/posix/host_io.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/path.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform::hostfs {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

UniqueFd::~UniqueFd()
{
    // Never retried: on Linux the descriptor is gone even when close reports EINTR.
    if (fd_ >= 0)
        ::close(fd_);
}

Result<HostPath> Resolve(std::u16string_view windowsPath)
{
    auto parsed = ParseWindowsPath(windowsPath);
    if (!parsed)
        return parsed.error();
    auto host = ToHostPath(windowsPath);
    if (!host)
        return host.error();
    HostPath resolved;
    resolved.path = std::move(host).value();
    if (!parsed->components.empty())
        resolved.name = WindowsNameToHost(parsed->components.back());
    return resolved;
}

std::string ParentFolder(std::string_view hostPath)
{
    const auto slash = hostPath.find_last_of('/');
    if (slash == std::string_view::npos || slash == 0)
        return "/";
    return std::string(hostPath.substr(0, slash));
}

bool ParentIsMissing(std::string_view hostPath)
{
    struct stat st {};
    return ::stat(ParentFolder(hostPath).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

ErrorCode ErrorForPath(int err, std::string_view hostPath)
{
    return ErrorFromErrno(err, ErrnoContext::General, err == ENOENT && ParentIsMissing(hostPath));
}

Status WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Error(ErrorFromErrno(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return Status::Success();
}

} // namespace platform::hostfs
