// The icon cache's walk over a drive: every file of the tree, depth first
// in listing order, without following links.
#pragma once

#include "platform/folders.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace lockora::browse {

// Called with the folder and the entry of every file met.
using WalkVisitor = std::function<void(std::u16string_view folder, const platform::FindData& file)>;

// Walks `root` ("C:" or a folder) and its subfolders. A subfolder is walked
// as soon as it is met; links (to files or folders) are passed over, so the
// walk always ends, also where links form cycles; folders on another file
// system than `root` (mount points) are passed over too. After each entry the walk
// ends at every level when `running` has become false, so a stop request
// lets at most the entry in hand finish. Folders that cannot be listed are
// passed over.
void WalkFolderTree(std::u16string_view root, const std::atomic<bool>& running, const WalkVisitor& visit);

// The key of a file name in the icon cache: the text after its last dot,
// empty for a name without one ("archive.tar.gz" gives "gz").
std::u16string ExtensionKey(std::u16string_view fileName);

} // namespace lockora::browse
