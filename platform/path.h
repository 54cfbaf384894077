// Windows-form paths and the host paths they stand for.
//
// Above this layer every path is a full Windows path ("C:\Data\a.txt").
// On Windows a host path is the same path in UTF-8. On POSIX each drive
// letter maps to a host folder through the drive table
// (platform/posix/drive_table.h), and host paths map back through the
// longest matching drive root. There, host names holding characters that a
// Windows name cannot hold (\ : * ? " < > | and control characters) appear
// as U+F000 + code, and bytes that are not valid UTF-8 as U+F000 + byte, so
// every host name has a Windows form and maps back to the same bytes.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Longest path the layer accepts, in UTF-16 units (the "\\?\" limit).
inline constexpr std::size_t kMaxPathUnits = 32767;

// A Windows-form path split into its drive letter and clean components:
// "\\?\" stripped, "/" accepted as a separator, "." dropped and ".." folded
// (never above the drive root), repeated separators collapsed.
struct WindowsPath {
    char16_t drive = 0;                    // upper-case letter
    std::vector<std::u16string> components; // names below the drive root

    // "C:\" for the root, else "C:\a\b" without a trailing separator.
    std::u16string ToString() const;
};

// Parses a full Windows path. Errors: 3 for an empty, relative or UNC path;
// 123 for an embedded NUL or a name holding * ? " < > | : or a control
// character; 206 for a path over kMaxPathUnits or a host name over 255 bytes.
Result<WindowsPath> ParseWindowsPath(std::u16string_view path);

// Maps a Windows-form path to the host path. 3 for an unmapped drive letter,
// besides the errors of ParseWindowsPath.
Result<std::string> ToHostPath(std::u16string_view path);

// Maps an absolute host path back to Windows form through the longest
// matching drive root. 3 when no drive maps it.
Result<std::u16string> ToWindowsPath(std::string_view hostPath);

// One host file name to its Windows form and back (the U+F000 mapping).
std::u16string HostNameToWindows(std::string_view hostName);
std::string WindowsNameToHost(std::u16string_view windowsName);

// The mapped drives as "C:\" style names, in letter order.
std::vector<std::u16string> LogicalDrives();

} // namespace platform
