#include "platform/file.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/host_io.h"
#include "platform/posix/share_table.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

int Fd(NativeHandle handle)
{
    return static_cast<int>(handle);
}

bool Has(Access access, Access bit)
{
    return (static_cast<unsigned>(access) & static_cast<unsigned>(bit)) != 0;
}

bool Truncates(Disposition disposition)
{
    return disposition == Disposition::CreateAlways || disposition == Disposition::TruncateExisting;
}

int OpenFlags(Access access, Disposition disposition)
{
    // Truncation needs a writable descriptor even for a handle that may
    // only read; WriteAt checks the handle's own access.
    const bool writes = Has(access, Access::Write) || Truncates(disposition);
    const bool reads = Has(access, Access::Read);
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below,
    // and on regular files the flag changes nothing.
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case Disposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case Disposition::CreateAlways:
    case Disposition::OpenAlways:
        flags |= O_CREAT;
        break;
    case Disposition::OpenExisting:
    case Disposition::TruncateExisting:
        break;
    }
    return flags;
}

ErrorCode OpenError(int err, const std::string& hostPath, int flags)
{
    if (err == EEXIST)
        return kErrorFileExists;
    if (err == ENXIO) // a FIFO without a reader, or a device
        return kErrorAccessDenied;
    if (err == ENOENT && (flags & O_CREAT))
        return kErrorPathNotFound; // the name could not be created: its folder is missing
    return hostfs::ErrorForPath(err, hostPath);
}

} // namespace

Result<File> File::Open(std::u16string_view path, Access access, Share share, Disposition disposition)
{
    PLATFORM_TRY(faults::CountFileOperation());
    const auto accessBits = static_cast<unsigned>(access);
    const auto shareBits = static_cast<unsigned>(share);
    if (accessBits == 0 || accessBits > 3 || shareBits > 7)
        return Error(kErrorInvalidParameter);
    if (disposition == Disposition::TruncateExisting && !Has(access, Access::Write))
        return Error(kErrorInvalidParameter);

    auto host = hostfs::Resolve(path);
    if (!host)
        return host.error();
    const int flags = OpenFlags(access, disposition);
    // Never O_TRUNC: truncation waits until the share check has passed.
    hostfs::UniqueFd fd(hostfs::RetryOnEintr([&] { return ::open(host->path.c_str(), flags, 0666); }));
    if (fd.get() < 0)
        return Error(OpenError(errno, host->path, flags));

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Error(ErrorFromErrno(errno));
    if (!S_ISREG(st.st_mode))
        return Error(kErrorAccessDenied); // a folder, device, FIFO or socket
    const bool writes = Has(access, Access::Write) || Truncates(disposition);
    if (writes && hostfs::IsReadOnlyFile(st))
        return Error(kErrorAccessDenied); // also for root, as Windows does

    // Truncating counts as writing for the share check, but the handle then
    // only holds the access it asked for.
    const unsigned checked = accessBits | (Truncates(disposition) ? hostfs::kShareWrite : 0);
    PLATFORM_TRY(hostfs::ShareTable::Instance().Register(fd.get(), {st.st_dev, st.st_ino}, checked, accessBits,
                                                         shareBits));
    File file(fd.release(), access, share);
    if (Truncates(disposition) && st.st_size != 0) {
        if (hostfs::RetryOnEintr([&] { return ::ftruncate(Fd(file.handle_), 0); }) != 0)
            return Error(ErrorFromErrno(errno));
    }
    return file;
}

Result<std::uint32_t> File::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Read))
        return Error(kErrorAccessDenied);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return Error(kErrorInvalidParameter);
    const ssize_t read = hostfs::RetryOnEintr([&] { return ::pread(Fd(handle_), buffer, length, static_cast<off_t>(offset)); });
    if (read < 0)
        return Error(ErrorFromErrno(errno));
    faults::DamageIfChosen(buffer, static_cast<std::uint32_t>(read));
    return static_cast<std::uint32_t>(read);
}

Result<std::uint32_t> File::WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - length)
        return Error(kErrorInvalidParameter);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t written = 0;
    // One pwrite writes everything on a regular file; it comes back short
    // only when the disk fills, and the next call then reports why.
    while (written < length) {
        const ssize_t result = hostfs::RetryOnEintr([&] {
            return ::pwrite(Fd(handle_), bytes + written, length - written, static_cast<off_t>(offset + written));
        });
        if (result < 0)
            return Error(ErrorFromErrno(errno));
        if (result == 0)
            return Error(kErrorDiskFull);
        written += static_cast<std::uint32_t>(result);
    }
    return written;
}

Status File::WriteRepeatedAt(std::uint64_t offset, const void* buffer, std::uint32_t length, std::uint32_t count)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    const std::uint64_t total = std::uint64_t{length} * count;
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - total)
        return Error(kErrorInvalidParameter);
    // Up to 64 vectors a call, all pointing at the same bytes; a short write
    // resumes at the byte where it stopped.
    constexpr std::size_t kVectors = 64;
    auto* bytes = const_cast<unsigned char*>(static_cast<const unsigned char*>(buffer));
    std::array<iovec, kVectors> vectors;
    std::uint64_t written = 0;
    while (written < total) {
        std::size_t used = 0;
        std::uint64_t planned = 0;
        while (used < kVectors && written + planned < total) {
            const std::uint64_t start = (written + planned) % length;
            const std::uint64_t size = std::min<std::uint64_t>(length - start, total - written - planned);
            vectors[used++] = iovec{bytes + start, static_cast<std::size_t>(size)};
            planned += size;
        }
        const ssize_t result = hostfs::RetryOnEintr([&] {
            return ::pwritev(Fd(handle_), vectors.data(), static_cast<int>(used), static_cast<off_t>(offset + written));
        });
        if (result < 0)
            return Error(ErrorFromErrno(errno));
        if (result == 0)
            return Error(kErrorDiskFull);
        written += static_cast<std::uint64_t>(result);
    }
    return {};
}

Status File::Flush()
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    if (hostfs::RetryOnEintr([&] { return ::fsync(Fd(handle_)); }) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

Result<std::uint64_t> File::Size() const
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0)
        return Error(ErrorFromErrno(errno));
    return static_cast<std::uint64_t>(st.st_size);
}

Status File::SetEnd(std::uint64_t size)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return Error(kErrorInvalidParameter);
    if (hostfs::RetryOnEintr([&] { return ::ftruncate(Fd(handle_), static_cast<off_t>(size)); }) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

void File::Close()
{
    if (handle_ == kNoHandle)
        return;
    // Out of the table before the descriptor goes, so no later open can
    // meet an entry without a descriptor behind it.
    const int fd = static_cast<int>(std::exchange(handle_, kNoHandle));
    hostfs::ShareTable::Instance().Unregister(fd);
    ::close(fd);
}

} // namespace platform
