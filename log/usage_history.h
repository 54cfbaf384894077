// The usage history "usage history.log" in the data folder beside the
// executable: one entry of four CR LF lines for every folder that is
// deleted completely. Only ever appended to.
#pragma once

#include "platform/times.h"

#include <string>
#include <string_view>

namespace lockora::logging {

// The data folder (settings file and usage history): ModuleDir +
// "\Ombrix Lockora Sentinex".
std::u16string DataFolder();

// The local date and time of an entry: month/day/year hour:minute, without
// leading zeros except the minute's ("3/7/2023 9:05").
std::string FormatHistoryTime(const platform::CalendarTime& time);

// One entry: path, action, time and kind, each line ended by CR LF. The
// text is UTF-8, so a path keeps every character (the rest is ASCII).
std::string BuildUsageHistoryEntry(std::u16string_view path, std::u16string_view action,
                                   std::u16string_view kind, const platform::CalendarTime& time);

// Appends one entry stamped with the local clock, creating the data folder
// (one level) and the file when missing, and flushes it. Nothing is
// reported. Each entry opens the file, writes itself in one piece at the end
// and closes it again; a write that fails is cut off again, so a failed
// entry (a full disk, a folder that cannot be created) costs only itself
// and the next entry starts on a line of its own. Entries of concurrent
// callers never interleave.
void AppendUsageHistory(std::u16string_view path, std::u16string_view action, std::u16string_view kind);

} // namespace lockora::logging
