// The numbered older files of a log: Lockora_1.log (newest) to Lockora_5.log.
#pragma once

#include <string>
#include <string_view>

namespace lockora::logging {

// `path` with "_<number>" inserted before the extension of its file name
// ("C:\App\Log\Lockora.log", 2 -> "C:\App\Log\Lockora_2.log"); appended when
// the file name has no extension.
std::u16string NumberedLogName(std::u16string_view path, int number);

// Moves the log at `path` to number 1 after shifting the older files up by
// one, keeping at most `keepCount` of them: the oldest is deleted when all
// exist. The log file must be closed. Failed steps are not undone; when the
// current file cannot be moved it stays where it is, and the caller finds it
// still over its limit.
void ShiftLogFiles(std::u16string_view path, int keepCount);

} // namespace lockora::logging
