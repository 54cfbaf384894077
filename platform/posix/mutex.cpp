#include "platform/mutex.h"
#include "platform/posix/errno_error.h"

#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// A named mutex is an exclusive flock on a lock file named after it. flock
// belongs to the open file description, so two handles of one process
// conflict just as handles of two processes do, and the kernel drops the
// lock when the owner dies. The file itself stays: removing it would let a
// late opener lock an unlinked inode while a newcomer locks a fresh file.

namespace platform {
namespace {

constexpr std::size_t kMaxHostNameBytes = 255;

// $XDG_RUNTIME_DIR is private to the user; the temp folder is shared, which
// is why the file name also carries the user id.
std::string LockFolder()
{
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value && value[0] == '/')
            return value;
    }
    return "/tmp";
}

bool IsPlainNameByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Every byte outside [A-Za-z0-9_-] is written as %XX, so that distinct
// names never share a file and no name can leave the folder.
std::string LockFileName(std::u16string_view name)
{
    std::string encoded = "lockora-mutex-" + std::to_string(::geteuid()) + "-";
    for (const char c : Utf16ToUtf8(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsPlainNameByte(byte)) {
            encoded.push_back(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            encoded += escape;
        }
    }
    return encoded + ".lock";
}

} // namespace

Result<NamedMutex> NamedMutex::Create(std::u16string_view name)
{
    if (name.empty())
        return Error(kErrorInvalidName);
    const std::string fileName = LockFileName(name);
    if (fileName.size() > kMaxHostNameBytes)
        return Error(kErrorFilenameExcedRange);
    const std::string path = LockFolder() + "/" + fileName;

    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Error(ErrorFromErrno(errno, ErrnoContext::General, true));
    NamedMutex mutex(fd);

    // In a shared temp folder another user could plant the file and hold it.
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return Error(ErrorFromErrno(errno));
    if (status.st_uid != ::geteuid() || !S_ISREG(status.st_mode))
        return Error(kErrorAccessDenied);

    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return Error(ErrorFromErrno(errno));
        mutex.alreadyExists_ = true;
    }
    return mutex;
}

void NamedMutex::Close()
{
    // Closing the only descriptor of the open file description drops the lock.
    if (handle_ != kNoHandle)
        ::close(static_cast<int>(std::exchange(handle_, kNoHandle)));
}

} // namespace platform
