// The Windows attribute word of files and folders.
//
// Kept the way Wine keeps it, so files stay compatible with Wine and Samba:
// the extended attribute "user.DOSATTRIB" holds "0x" and lower-case hex for
// hidden, system, not-content-indexed, and read-only of a folder; a regular
// file's read-only is the absence of every write permission bit. A name that
// starts with "." is hidden unless its "user.DOSATTRIB" says otherwise.
#pragma once

#include "platform/result.h"
#include "platform/times.h"

#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kAttrReadOnly = 0x1;
inline constexpr std::uint32_t kAttrHidden = 0x2;
inline constexpr std::uint32_t kAttrSystem = 0x4;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;
inline constexpr std::uint32_t kAttrNotContentIndexed = 0x2000;
// What GetFileAttributes returns on failure.
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

// The attribute word of a file, folder or symbolic link (never followed: a
// link reports 0x400, plus 0x10 when it points to a folder). Regular files
// always carry archive (0x20).
Result<std::uint32_t> GetFileAttributes(std::u16string_view path);

// What GetFileAttributesEx reports of one item (WIN32_FILE_ATTRIBUTE_DATA).
struct FileAttributeData {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0; // 0 for folders and links
    FileTime lastWriteTime;
};

// The attribute word, size and last-write time of an item, read at once;
// a link is reported as itself, as by GetFileAttributes.
Result<FileAttributeData> GetFileAttributesEx(std::u16string_view path);

// Sets read-only, hidden, system and not-content-indexed from `attributes`
// and keeps the rest; 0x80 (normal) clears them all. Archive and directory
// bits are ignored. A symbolic link's attributes cannot be changed (5).
// Where desktops read another record of hidden names (the folder's
// ".hidden" file on Linux), the item's name is added to it or removed with
// the hidden bit; a record that cannot be written fails the call (5) before
// anything has changed.
Status SetFileAttributes(std::u16string_view path, std::uint32_t attributes);

// How many names the item has (hard links); a symbolic link is counted as
// itself, never through its target. Counts beyond 32 bits read as the
// largest value.
Result<std::uint32_t> GetFileLinkCount(std::u16string_view path);

// Identifies the file system (volume) that holds the item, so that a walk
// can stay on one; a symbolic link is the link itself.
Result<std::uint64_t> GetVolumeId(std::u16string_view path);

} // namespace platform
