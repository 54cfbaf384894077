// Whole-file replacement that a crash cannot tear.
//
// The new bytes go to a private temporary file in the target's folder, which
// is flushed and renamed over the target; the folder is flushed after the
// rename. At any moment the file holds either its old or its new content,
// and a temporary file left by a killed writer never counts as the file.
#pragma once

#include "platform/result.h"

#include <string_view>

namespace platform {

// Replaces the content of the file at a Windows-form path with `bytes`,
// creating the file when it is missing. An existing file keeps its mode (and
// so its read-only state and the user's permissions); a new file gets 0644
// less the umask. Errors: 3 when the folder is missing, 5 for a read-only
// file or a folder, 112 when the disk is full, besides the path errors of
// ToHostPath.
Status WriteFileAtomically(std::u16string_view path, std::string_view bytes);

} // namespace platform
