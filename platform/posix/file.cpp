#include "platform/file.h"

#include "platform/errors.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/host_io.h"
#include "platform/posix/share_table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

// Fault injection: counting starts with the first reset or injection, so a
// process that never asks pays one relaxed load per operation.
std::atomic<bool> g_counting{false};
std::atomic<std::uint64_t> g_operations{0};
std::atomic<std::uint64_t> g_failAt{0}; // operation number that fails; 0 = none
std::atomic<ErrorCode> g_failCode{0};
std::atomic<std::uint64_t> g_corruptAt{0}; // operation number whose read is damaged; 0 = none
// Whether the operation this thread is running is the one to damage.
thread_local bool t_corruptThisOperation = false;

Status CountOperation()
{
    t_corruptThisOperation = false;
    if (!g_counting.load(std::memory_order_relaxed)) [[likely]]
        return {};
    const std::uint64_t number = g_operations.fetch_add(1, std::memory_order_acq_rel) + 1;
    std::uint64_t corruptAt = number;
    t_corruptThisOperation = g_corruptAt.compare_exchange_strong(corruptAt, 0, std::memory_order_acq_rel);
    std::uint64_t failAt = number;
    if (g_failAt.compare_exchange_strong(failAt, 0, std::memory_order_acq_rel))
        return Error(g_failCode.load(std::memory_order_acquire));
    return {};
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

File::File(int fd, std::uint64_t shareKey, Access access, Share share)
    : fd_(fd), shareKey_(shareKey), access_(access), share_(share)
{
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), shareKey_(std::exchange(other.shareKey_, 0)), access_(other.access_),
      share_(other.share_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        shareKey_ = std::exchange(other.shareKey_, 0);
        access_ = other.access_;
        share_ = other.share_;
    }
    return *this;
}

File::~File()
{
    Close();
}

Result<File> File::Open(std::u16string_view path, Access access, Share share, Disposition disposition)
{
    PLATFORM_TRY(CountOperation());
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
    auto id = hostfs::ShareTable::Instance().Register({st.st_dev, st.st_ino}, checked, accessBits, shareBits);
    if (!id)
        return id.error();
    File file(fd.release(), id.value(), access, share);
    if (Truncates(disposition) && st.st_size != 0) {
        if (hostfs::RetryOnEintr([&] { return ::ftruncate(file.fd_, 0); }) != 0)
            return Error(ErrorFromErrno(errno));
    }
    return file;
}

Result<std::uint32_t> File::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Read))
        return Error(kErrorAccessDenied);
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return Error(kErrorInvalidParameter);
    const bool corrupt = std::exchange(t_corruptThisOperation, false);
    const ssize_t read = hostfs::RetryOnEintr([&] { return ::pread(fd_, buffer, length, static_cast<off_t>(offset)); });
    if (read < 0)
        return Error(ErrorFromErrno(errno));
    if (corrupt && read > 0)
        static_cast<std::uint8_t*>(buffer)[0] ^= 0x01;
    return static_cast<std::uint32_t>(read);
}

Result<std::uint32_t> File::WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
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
            return ::pwrite(fd_, bytes + written, length - written, static_cast<off_t>(offset + written));
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
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
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
            return ::pwritev(fd_, vectors.data(), static_cast<int>(used), static_cast<off_t>(offset + written));
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
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    if (hostfs::RetryOnEintr([&] { return ::fsync(fd_); }) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

Result<std::uint64_t> File::Size() const
{
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
        return Error(kErrorInvalidHandle);
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return Error(ErrorFromErrno(errno));
    return static_cast<std::uint64_t>(st.st_size);
}

Status File::SetEnd(std::uint64_t size)
{
    PLATFORM_TRY(CountOperation());
    if (fd_ < 0)
        return Error(kErrorInvalidHandle);
    if (!Has(access_, Access::Write))
        return Error(kErrorAccessDenied);
    if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        return Error(kErrorInvalidParameter);
    if (hostfs::RetryOnEintr([&] { return ::ftruncate(fd_, static_cast<off_t>(size)); }) != 0)
        return Error(ErrorFromErrno(errno));
    return {};
}

void File::Close()
{
    if (fd_ < 0)
        return;
    // Out of the table before the descriptor goes, so no later open can
    // meet an entry without a descriptor behind it.
    hostfs::ShareTable::Instance().Unregister(shareKey_);
    ::close(std::exchange(fd_, -1));
    shareKey_ = 0;
}

namespace testing {

void FailNthFileOperation(std::uint64_t n, ErrorCode code)
{
    g_failCode.store(code, std::memory_order_release);
    g_failAt.store(n == 0 ? 0 : g_operations.load(std::memory_order_acquire) + n, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

void CorruptNthFileOperation(std::uint64_t n)
{
    g_corruptAt.store(n == 0 ? 0 : g_operations.load(std::memory_order_acquire) + n, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

std::uint64_t FileOperationCount()
{
    return g_operations.load(std::memory_order_acquire);
}

void ResetFileOperationCount()
{
    g_operations.store(0, std::memory_order_release);
    g_failAt.store(0, std::memory_order_release);
    g_corruptAt.store(0, std::memory_order_release);
    g_counting.store(true, std::memory_order_release);
}

} // namespace testing

} // namespace platform
