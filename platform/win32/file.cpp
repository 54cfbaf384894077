#include "platform/file.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/win32/handle.h"

#include <algorithm>

namespace platform {
namespace {

using win32::AsHandle;

bool Has(Access access, Access bit)
{
    return (static_cast<unsigned>(access) & static_cast<unsigned>(bit)) != 0;
}

DWORD CreationDisposition(Disposition disposition)
{
    switch (disposition) {
    case Disposition::CreateNew: return CREATE_NEW;
    case Disposition::CreateAlways: return CREATE_ALWAYS;
    case Disposition::OpenExisting: return OPEN_EXISTING;
    case Disposition::OpenAlways: return OPEN_ALWAYS;
    case Disposition::TruncateExisting: return TRUNCATE_EXISTING;
    }
    return OPEN_EXISTING;
}

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Writes all `length` bytes at `offset`; a write that makes no progress
// means the disk is full.
Status WriteAllAt(HANDLE file, std::uint64_t offset, const void* buffer, std::uint32_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t written = 0;
    while (written < length) {
        OVERLAPPED at = At(offset + written);
        DWORD done = 0;
        if (!::WriteFile(file, bytes + written, length - written, &done, &at))
            return win32::LastError();
        if (done == 0)
            return Error(kErrorDiskFull);
        written += done;
    }
    return {};
}

} // namespace

Result<File> File::Open(std::u16string_view path, Access access, Share share, Disposition disposition)
{
    PLATFORM_TRY(faults::CountFileOperation());
    const auto accessBits = static_cast<unsigned>(access);
    const auto shareBits = static_cast<unsigned>(share);
    if (accessBits == 0 || accessBits > 3 || shareBits > 7)
        return Error(kErrorInvalidParameter);
    // The system would read the name only up to a NUL and open another file.
    if (path.find(u'\0') != std::u16string_view::npos)
        return Error(kErrorInvalidName);
    const DWORD desired = (Has(access, Access::Read) ? GENERIC_READ : 0) | (Has(access, Access::Write) ? GENERIC_WRITE : 0);
    // Share bits have the values of FILE_SHARE_READ, _WRITE and _DELETE.
    const HANDLE handle = ::CreateFileW(win32::Wide(path).c_str(), desired, shareBits, nullptr,
                                        CreationDisposition(disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return win32::LastError();
    // Only regular files: a console, pipe or device name opens too.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return Error(kErrorAccessDenied);
    }
    return File(win32::ToNative(handle), access, share);
}

Result<std::uint32_t> File::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    OVERLAPPED at = At(offset);
    DWORD read = 0;
    if (!::ReadFile(AsHandle(handle_), buffer, length, &read, &at)) {
        if (::GetLastError() != ERROR_HANDLE_EOF)
            return win32::LastError();
        read = 0;
    }
    faults::DamageIfChosen(buffer, read);
    return static_cast<std::uint32_t>(read);
}

Result<std::uint32_t> File::WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t length)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    PLATFORM_TRY(WriteAllAt(AsHandle(handle_), offset, buffer, length));
    return length;
}

Status File::WriteRepeatedAt(std::uint64_t offset, const void* buffer, std::uint32_t length, std::uint32_t count)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    for (std::uint32_t i = 0; i < count; ++i)
        PLATFORM_TRY(WriteAllAt(AsHandle(handle_), offset + std::uint64_t{length} * i, buffer, length));
    return {};
}

Status File::Flush()
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    if (!::FlushFileBuffers(AsHandle(handle_)))
        return win32::LastError();
    return {};
}

Result<std::uint64_t> File::Size() const
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(AsHandle(handle_), &size))
        return win32::LastError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

Status File::SetEnd(std::uint64_t size)
{
    PLATFORM_TRY(faults::CountFileOperation());
    if (handle_ == kNoHandle)
        return Error(kErrorInvalidHandle);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &end, sizeof end))
        return win32::LastError();
    return {};
}

void File::Close()
{
    if (handle_ != kNoHandle)
        ::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)));
}

} // namespace platform
