// The delete operation ("Delete completely"): shreds the paths of one
// request on a worker thread of its own, with busy code 3 while it runs.
#pragma once

#include "bridge/script_value.h"

#include <string>
#include <string_view>
#include <vector>

namespace lockora::shred {

// One item of a deletion: a folder with ShredFolder, anything else with
// ShredFile, its progress carrying `path`.
void ShredPath(std::u16string_view path);

// Script function: param is [password, [path, ...]] (the password is not
// used). Returns 0 when the deletion was started, or the busy code (1-3)
// when another operation runs and nothing was started. Sets the busy code
// to 3 and starts DeleteWorker; runs on the UI thread. Without a registered
// main window nothing can be coordinated or reported: returns -1.
bridge::ScriptValue CompleteDelFile(const bridge::ScriptValue& param);

// The worker: `request` is [password, path, ...]. Shreds each path in order
// (a folder with ShredFolder, anything else with ShredFile), clears the busy
// code and then sends [12, first path] to BackupServiceCallUI; an empty
// request answers with an empty path, so the page still sees its finish
// message. Returns 0.
int DeleteWorker(std::vector<std::u16string> request);

} // namespace lockora::shred
