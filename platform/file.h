// Files with Windows open semantics: access, share mode and disposition.
//
// Reads and writes take an explicit 64-bit offset and are one pread/pwrite
// each: no buffering, no allocation per call. Share modes are enforced
// between all handles of the process, keyed by device and inode, the way
// Windows enforces them between processes. Read-only is enforced as Windows
// does it, also for root.
#pragma once

#include "platform/native_handle.h"
#include "platform/result.h"

#include <cstdint>
#include <string_view>

namespace platform {

enum class Access : std::uint8_t {
    Read = 1,
    Write = 2,
    ReadWrite = 3,
};

// Bit set of what other handles may do to the file while this one is open.
enum class Share : std::uint8_t {
    None = 0,
    Read = 1,
    Write = 2,
    ReadWrite = 3,
    Delete = 4,
    All = 7,
};
constexpr Share operator|(Share a, Share b)
{
    return static_cast<Share>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

enum class Disposition : std::uint8_t {
    CreateNew,        // fails with 80 when the file exists
    CreateAlways,     // creates, or truncates an existing file
    OpenExisting,     // fails with 2 (or 3 when the folder is missing)
    OpenAlways,       // opens, or creates a missing file
    TruncateExisting, // opens an existing file and truncates it
};

class File {
public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens or creates a regular file (a symbolic link is followed). Errors
    // include 2, 3, 5 (read-only file opened for writing or truncated, a
    // folder or another non-regular file), 32 (share conflict, also for a
    // truncation that a handle without write sharing would see), 80
    // (CreateNew on an existing file), 87 (TruncateExisting without write
    // access), 123 and 206 (bad path). CreateAlways truncates even when the
    // handle only reads; nothing is truncated when the open fails.
    static Result<File> Open(std::u16string_view path, Access access, Share share, Disposition disposition);

    bool IsOpen() const { return handle_ != kNoHandle; }

    // Reads up to `length` bytes at `offset`; fewer at the end of the file,
    // 0 at or past it. Access denied (5) when the handle may not read.
    Result<std::uint32_t> ReadAt(std::uint64_t offset, void* buffer, std::uint32_t length);
    // Writes `length` bytes at `offset`; a short write (a full disk) is 112.
    Result<std::uint32_t> WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t length);
    // Writes `count` copies of the same `length` bytes one after the other
    // from `offset`, with as few system calls as possible (pwritev): the
    // same bytes as `count` WriteAt calls, for pattern fills. Counts as one
    // operation; a short write (a full disk) is 112.
    Status WriteRepeatedAt(std::uint64_t offset, const void* buffer, std::uint32_t length, std::uint32_t count);
    // Forces written data to the disk (fsync); needs write access (5).
    Status Flush();
    Result<std::uint64_t> Size() const;
    // Sets the end of the file to `size` (truncates or extends with zeros);
    // needs write access (5).
    Status SetEnd(std::uint64_t size);
    // Closes now; closing a closed file does nothing.
    void Close();

private:
    File(NativeHandle handle, Access access, Share share);

    NativeHandle handle_ = kNoHandle;
    Access access_ = Access::Read;
    Share share_ = Share::None;
};

namespace testing {

// Fault injection for tests: the Nth file operation from now fails with
// `code` (1 = the next). File's Open, ReadAt, WriteAt, WriteRepeatedAt, Flush,
// Size and SetEnd count, and so do creating, removing, deleting, moving and
// listing, getting and setting attributes, and replacing a file atomically.
// Zero switches injection off. Counts operations of every thread; the
// failure fires once. Counting starts with the first call of this function
// or of ResetFileOperationCount, so a process that never asks pays one
// relaxed atomic load per operation.
void FailNthFileOperation(std::uint64_t n, ErrorCode code);
// Damaged data for tests: when the Nth File operation from now (counted as
// above) is a ReadAt, the first byte it returns has its lowest bit flipped,
// as a bad sector or a change behind the program's back would show it.
void CorruptNthFileOperation(std::uint64_t n);
// How many File operations have run since the counter was last reset.
std::uint64_t FileOperationCount();
// Sets the count to zero and cancels a pending injected failure or damage.
void ResetFileOperationCount();

} // namespace testing

} // namespace platform
