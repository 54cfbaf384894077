// The runtime's services to page script, run on the UI thread: listings for
// the pickers, file scans, renames and opening a web address.
#pragma once

#include "engine/web/browser_launcher.h"

#include <nlohmann/json.hpp>

#include <string_view>

namespace lockora::engine::web {

// Runs service `op` with `args` (a JSON array) and returns {"value": ...} or
// {"error": text}:
//   "list" [folder]      drives for "" (as [name, 0] rows), else the
//                        folder's entries as [name, attributes] rows
//   "scan" [pattern]     the entries matching a path or a wildcard pattern,
//                        as [full path, attributes] rows; none for a missing path
//   "rename" [from, to]  true, or the system's error text
//   "windowsPath" [host path]
//                        the Windows form of an absolute host path ("~" and
//                        "~/..." stand for $HOME)
//   "hostPath" [path]    the host path of a Windows-form path ("Z:\\" -> "/")
//   "launch" [address]   whether an http or https address was opened
nlohmann::json RunService(std::string_view op, const nlohmann::json& args, BrowserLauncher& launcher);

} // namespace lockora::engine::web
