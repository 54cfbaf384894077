// Windows-form paths and the drive table that maps them onto the host.
//
// Above this layer every path is a full Windows path ("C:\Data\a.txt").
// Each drive letter maps to a host folder; the default table maps Z: to "/",
// and LOCKORA_DRIVES ("C=/srv/c;D=/mnt/data;Z=/") replaces it. Host paths
// map back through the longest matching drive root.
//
// Host names holding characters that a Windows name cannot hold
// (\ : * ? " < > | and control characters) appear as U+F000 + code, and
// bytes that are not valid UTF-8 as U+F000 + byte, so every host name has a
// Windows form and maps back to the same bytes.
#pragma once

#include "platform/result.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Longest path the layer accepts, in UTF-16 units (the "\\?\" limit).
inline constexpr std::size_t kMaxPathUnits = 32767;

class DriveTable {
public:
    // Parses "C=/srv/c;D=/mnt/data". Letters are case-insensitive; roots must
    // be absolute host folders. Fails with 87 on malformed text.
    static Result<DriveTable> Parse(std::string_view spec);
    // The table in effect when the process starts: LOCKORA_DRIVES, else Z: -> "/".
    static DriveTable FromEnvironment();

    void Map(char16_t letter, std::string hostRoot);
    // Host root of a drive letter (upper-case), or nullptr when unmapped.
    const std::string* Root(char16_t letter) const;
    const std::map<char16_t, std::string>& Drives() const { return drives_; }

private:
    std::map<char16_t, std::string> drives_; // upper-case letter -> root without trailing "/" (except "/")
};

// The process-wide table. Tests install their own before they start threads.
DriveTable CurrentDriveTable();
void SetDriveTable(DriveTable table);

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
