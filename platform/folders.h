// Folders, deletion, renaming and enumeration with Windows semantics.
#pragma once

#include "platform/result.h"
#include "platform/times.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Creates one folder: 183 when the name exists, 3 when its parent is missing.
Status CreateDirectory(std::u16string_view path);

// Removes an empty folder: 145 when it is not empty, 5 when it is read-only
// or a drive root, 267 when the path is a file (or a link to one). A
// symbolic link to a folder is removed as the link; its target stays.
Status RemoveDirectory(std::u16string_view path);

// Whether the path names an existing folder (not a link to one). A trailing
// separator is allowed.
bool IsDirectory(std::u16string_view path);

// The size of the file system that holds `path`, and the space on it that
// this user may still fill (GetDiskFreeSpaceEx).
struct DiskSpace {
    std::uint64_t total = 0;
    std::uint64_t free = 0;
};
Result<DiskSpace> GetDiskSpace(std::u16string_view path);

// Whether anything (file, folder or link) exists at the path.
bool PathExists(std::u16string_view path);

// Deletes a file or a symbolic link (the link itself, never its target): 2
// when it is missing, 3 when its folder is missing, 5 when it is read-only or
// a folder, 32 when an open handle does not share deletion.
Status DeleteFile(std::u16string_view path);

// Renames a file or folder and never replaces an existing target: 183 when
// the target exists, 2 or 3 when the source is missing, 3 when the target's
// folder is missing, 17 across devices, 32 when an open handle of the source
// does not share deletion, 5 for a drive root.
Status MoveFile(std::u16string_view from, std::u16string_view to);

// One entry of an enumeration (WIN32_FIND_DATA).
struct FindData {
    std::u16string name;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0; // 0 for folders
    FileTime lastWriteTime;
};

// Lists the entries of a folder whose names match the last component of
// `pattern` ("C:\Data\*.*", "C:\Data\*", "C:\Data\*.txt"): * and ? wildcards,
// letters compared without case; a mask ending in ".*" also matches names
// without an extension, so "*.*" matches every name. Entries are sorted as
// Wine sorts them (case-insensitively, ties by code unit), with "." and ".."
// first except at a drive root (the folder a drive letter maps to). Names
// come in Windows form (HostNameToWindows); links are not followed. Errors:
// 3 when the folder does not exist, 2 when nothing matches (or the mask is
// empty), 267 when it is a file, 5 when it cannot be read, 123 for a mask
// holding a character no name can hold.
Result<std::vector<FindData>> FindFiles(std::u16string_view pattern);

// The total size of the files beneath `folder`, at every depth: what a
// walk of FindFiles would add up, links neither counted nor entered, a
// folder that cannot be listed adding nothing, and 0 for a path that is no
// folder. No names, attributes, times or order are gathered, so a large
// tree is sized at about the cost of listing it.
std::uint64_t TotalFileSize(std::u16string_view folder);

} // namespace platform
