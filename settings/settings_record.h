// The user options of the program, kept in the settings file and the
// registry and shown on the settings screens.
#pragma once

#include <cstdint>
#include <string>

namespace lockora::settings {

// Plain data, copied member by member (a worker's snapshot). The defaults are
// those of a first run.
struct SettingsRecord {
    bool bUserPwd = false;     // ask for the program password at start
    bool bEptCanFgt = false;   // containers can also be opened with the program password
    bool bReserved1 = false;   // carried through, no behaviour
    bool bReserved2 = true;    // forced true by every load from the file
    bool bBackup = false;      // write a backup copy of each new container
    bool bContextMenu = false; // state of the context-menu switch
    bool bAsk = true;          // stored and reported only
    std::int32_t iDelSel = 0;  // source after success: 0 keep, 1 delete, 2 shred
    std::uint64_t uPwd = 0;    // key of the program password; 0 when none is set
    std::u16string strBackDir; // backup folder as the screen sends it ("D:/Backup")
    bool bStrong = false;      // write strong containers (the authenticated format)

    friend bool operator==(const SettingsRecord&, const SettingsRecord&) = default;
};

} // namespace lockora::settings
