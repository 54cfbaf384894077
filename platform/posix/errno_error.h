// The translation of errno values into Windows error codes.
#pragma once

#include "platform/errors.h"

namespace platform {

// Which operation produced an errno; ENOENT and EEXIST mean different codes
// depending on it.
enum class ErrnoContext {
    General,
    CreateNew, // EEXIST is "The file exists." (80) rather than 183
};

// Translates an errno value into the Windows error code. ENOENT is reported
// as the caller decides (2 or 3) by `missingParent`: true when the folder
// that should hold the item does not exist.
ErrorCode ErrorFromErrno(int err, ErrnoContext context = ErrnoContext::General, bool missingParent = false);

} // namespace platform
