// Rows of the file list that the work screens show: [name, time text,
// attributes, size text, kind], built for listed entries, picked files and
// drives alike.
#pragma once

#include "bridge/script_value.h"
#include "platform/times.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lockora::browse {

// Kinds in position 4 of a row.
inline constexpr std::int32_t kRowDrive = 0;
inline constexpr std::int32_t kRowFolder = 1;
inline constexpr std::int32_t kRowFile = 3;

// What a row shows when the time cannot be written as a local date.
inline constexpr std::u16string_view kInvalidTimeText = u"Invalid DateTime";

// Paths longer than this are listed without their folder size.
inline constexpr std::size_t kMaxScannedPathUnits = 259;

bridge::ScriptValue MakeRow(std::u16string name, std::u16string timeText, bridge::ScriptValue attributes,
                            std::u16string sizeText, std::int32_t kind);

// The local time as "%m/%d/%Y %H:%M", or "Invalid DateTime" when the time
// has no local calendar date.
std::u16string FileTimeText(platform::FileTime time);

// The text after the last "\" when that is past the first character, else
// the whole path.
std::u16string StrippedName(std::u16string_view path);

// The path with every "/" turned into "\".
std::u16string WithBackslashes(std::u16string_view path);

// "\\?\" + path, the form every attribute query of a listing uses.
std::u16string LongPathForm(std::u16string_view path);

// folder + "\" + name, without doubling a trailing separator.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

} // namespace lockora::browse
