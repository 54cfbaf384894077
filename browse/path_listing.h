// Listings for the work screens: the entries of a folder, or single and
// picked files, delivered as rows to the page function RefreshFileListInfo
// from a worker thread; and two small path queries.
#pragma once

#include "bridge/script_value.h"

#include <string>
#include <string_view>
#include <vector>

namespace lockora::browse {

// The page function that receives the rows of every listing.
inline constexpr std::string_view kRefreshFileListInfo = "RefreshFileListInfo";

// Rows of a folder's entries ("." and ".." left out, subfolders with their
// total size), or one row when the path is not a folder. A folder that
// cannot be listed gives no rows.
bridge::ScriptValue ListPathRows(std::u16string_view path);

// One row per path, in order, each as a file (kind 3, no folder scan).
bridge::ScriptValue ListPickedRows(const std::vector<std::u16string>& paths);

// The workers: list, then hand the rows to RefreshFileListInfo once.
void PathInfoWorker(std::u16string path);
void PathArrInfoWorker(std::vector<std::u16string> paths);

// Script functions. The two listings take the path (text, "/" allowed) or
// an array of paths, start their worker and return 0 at once.
bridge::ScriptValue GetPathInfo(const bridge::ScriptValue& path);
bridge::ScriptValue GetPathArrInfo(const bridge::ScriptValue& paths);
// True when the path names an existing folder.
bridge::ScriptValue IsDirectory(const bridge::ScriptValue& path);
// The attribute word of the path ("/" allowed); -1 (every bit, the value a
// failed Windows attribute query gives) when it cannot be read.
bridge::ScriptValue GetPathAttr(const bridge::ScriptValue& path);

} // namespace lockora::browse
