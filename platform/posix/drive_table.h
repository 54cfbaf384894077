// The drive table of the POSIX backend: each drive letter maps to a host
// folder. The default table maps Z: to "/", and LOCKORA_DRIVES
// ("C=/srv/c;D=/mnt/data;Z=/") replaces it.
#pragma once

#include "platform/result.h"

#include <map>
#include <string>
#include <string_view>

namespace platform {

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

} // namespace platform
