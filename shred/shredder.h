// The shredder: destroys files beyond recovery by overwriting their content
// twice in place (0xFF, then 0x00), emptying and deleting them, and folders
// by shredding every file beneath them.
//
// Nothing outside the chosen item is destroyed: a symbolic link is removed
// as the link and never followed, and a file with more than one hard link
// keeps its content (it is reachable under another name); only the chosen
// name is deleted. Callers judge the outcome by whether the path is gone.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string_view>

namespace lockora::shred {

// Bytes per write of a pass.
inline constexpr std::uint32_t kShredBlockSize = 2048;

// Overwrites, empties and deletes the file at `path`. Every write adds its
// length to `doneCounter`; after each full block the percentage of
// `doneCounter` out of `total` (twice the bytes to shred; may be 0) is sent
// as MSG_SET_DEL_PRGRRESS with `progressPath` when it changed. A file that
// cannot be opened for writing (missing, read-only, in use) is left
// unchanged; a write or flush that fails leaves the file in place, partly
// overwritten. The first failure that kept the file, for a caller that
// reports it.
platform::Status ShredFile(std::u16string_view path, std::u16string_view progressPath, std::uint64_t total,
               std::uint64_t& doneCounter);

// Shreds everything beneath `folder`, in enumeration order, and removes
// every folder that became empty, `folder` included. Items that cannot be
// shredded stay, with every folder above them.
void ShredTree(std::u16string_view folder, std::u16string_view progressPath, std::uint64_t total,
               std::uint64_t& doneCounter);

// Shreds a folder with one percentage running from 0 to 100 across all its
// files, every notification carrying the folder's own path, then records it
// in the usage history.
void ShredFolder(std::u16string_view folder);

} // namespace lockora::shred
