#include "platform/private_files.h"

#include "platform/posix/errno_error.h"
#include "platform/posix/host_io.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace platform {
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

} // namespace

Result<std::string> CreatePrivateFolder(std::string_view prefix)
{
    std::string pattern = BaseFolder() + "/" + std::string(prefix) + "XXXXXX";
    // mkdtemp creates the folder with mode 0700.
    if (!::mkdtemp(pattern.data()))
        return Error(ErrorFromErrno(errno, ErrnoContext::General, true));
    return pattern;
}

Status CreatePrivateFile(const std::string& path, std::string_view bytes)
{
    hostfs::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid())
        return Error(errno == EEXIST ? kErrorFileExists : hostfs::ErrorForPath(errno, path));
    PLATFORM_TRY(hostfs::WriteAll(fd.get(), bytes));
    if (::close(fd.release()) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

void RemoveFolderTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

} // namespace platform
