// Steps shared by the encrypt and decrypt operations: opening an item's
// source, creating its new output under a free name, letting the source go
// after success, and the error report.
#pragma once

#include "platform/file.h"
#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lockora::crypto {

// MSG_SHOW_ERROR_INFO with the system's text of `code`.
void ReportSystemError(platform::ErrorCode code);

// The item's source: read and write access (a read-only file is refused), no
// sharing, existing files only.
platform::Result<platform::File> OpenItemSource(std::u16string_view path);

// Creates `path` as a new, empty file with read and write access and no
// sharing. When something took the name after it was chosen, `makeName`
// chooses again from `base` and the new name is tried, as long as it differs
// from the one that failed; `path` ends as the name that was tried last.
platform::Result<platform::File> CreateNamedOutput(std::u16string& path, std::u16string_view base,
                                                   void (*makeName)(std::u16string&));

// Deletes (`deleteChoice` 1) or shreds (2) the source of an item that
// succeeded: a file of `size` bytes, or a folder. The item has succeeded
// either way; a source that stays is reported, as the user asked for it to go.
void ReleaseSource(std::u16string_view path, bool folder, std::int32_t deleteChoice, std::uint64_t size);

// UTF-8 form of a path for the log lines.
std::string LogPath(std::u16string_view path);

} // namespace lockora::crypto
