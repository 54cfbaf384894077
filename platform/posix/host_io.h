// Small host-side helpers of the file, folder and attribute calls: owned
// descriptors, EINTR retries and the errno translation that depends on
// whether the containing folder exists.
#pragma once

#include "platform/result.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

namespace platform::hostfs {

// Owns one file descriptor and closes it on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Gives up ownership without closing.
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// A Windows-form path resolved through the drive table.
struct HostPath {
    std::string path;  // host path
    std::string name;  // host name of the last component; empty for a drive root
    bool IsDriveRoot() const { return name.empty(); }
};

// Resolves a Windows-form path; the errors of ToHostPath.
Result<HostPath> Resolve(std::u16string_view windowsPath);

// Repeats a system call that a signal interrupted.
template <typename Call>
auto RetryOnEintr(Call&& call)
{
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}

// The folder part of a host path ("/" for items at the root).
std::string ParentFolder(std::string_view hostPath);

// Whether the folder that should hold `hostPath` is missing (or is no folder).
bool ParentIsMissing(std::string_view hostPath);

// The Windows code of a failed call on `hostPath`: ENOENT is 3 when the
// folder that should hold the item is missing, 2 otherwise.
ErrorCode ErrorForPath(int err, std::string_view hostPath);

// Writes all of `bytes`, however many calls it takes.
Status WriteAll(int fd, std::string_view bytes);

} // namespace platform::hostfs
