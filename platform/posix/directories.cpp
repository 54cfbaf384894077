#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/path.h"
#include "platform/posix/parent_folder.h"
#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

Result<std::u16string> CurrentDirectory()
{
    std::string buffer(4096, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return Error(ErrorFromErrno(errno));
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return ToWindowsPath(buffer);
}

Status SetCurrentDirectory(std::u16string_view path)
{
    auto host = ToHostPath(path);
    if (!host)
        return host.error();
    if (::chdir(host->c_str()) == 0)
        return Status::Success();
    const int err = errno;
    struct stat status {};
    if (err == ENOTDIR && ::stat(host->c_str(), &status) == 0)
        return Error(kErrorDirectory);
    return Error(ErrorFromErrno(err, ErrnoContext::General, !posix::ParentFolderExists(*host)));
}

Result<std::string> HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home != '/')
        return Error(kErrorPathNotFound);
    return std::string(home);
}

Result<std::u16string> SystemDirectory()
{
    if (const char* configured = std::getenv("LOCKORA_SYSTEM_DIR"); configured && configured[0] == '/')
        return ToWindowsPath(configured);
    return ToWindowsPath("/usr/bin");
}

} // namespace platform
