// One folder's entries as the attribute walk sees them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::folders {

struct TreeEntry {
    std::u16string path; // folder and name
    std::uint32_t attributes = 0;

    // A folder to walk into: a link to a folder is not, so the walk never
    // leaves the chosen tree.
    bool IsEnterableFolder() const;
};

// The entries of `folder` in listing order, without "." and ".."; none when
// it cannot be listed. `folder` may end with a separator.
std::vector<TreeEntry> ListTreeEntries(std::u16string_view folder);

} // namespace lockora::folders
