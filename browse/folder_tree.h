// Recursive folder walks shared by the long operations: the total size of a
// tree and the removal of everything beneath a folder.
//
// Symbolic links (reparse points) are never followed out of the folder: the
// size scan neither counts nor enters them, and the removal deletes the link
// itself and leaves its target alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace lockora::browse {

// Adds the size of every file beneath `folder` (subfolders included) to
// `total`. A file whose attributes cannot be read adds nothing, and so does
// a path that is not a folder. Always true.
bool SumFolderSize(std::u16string_view folder, std::uint64_t& total);

// Removes every file and subfolder beneath `folder`, clearing read-only,
// hidden and system first; the folder itself stays. True when nothing is
// left; an item that cannot be removed stays, with every folder above it.
bool DeleteFolderTree(std::u16string_view folder);

} // namespace lockora::browse
