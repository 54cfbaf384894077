// The two records that the kill test's helper saves in turn.
#pragma once

#include "settings/settings_record.h"

namespace lockora::settings {

inline SettingsRecord SaveLoopRecordA()
{
    SettingsRecord record;
    record.bUserPwd = true;
    record.iDelSel = 1;
    record.uPwd = 1111111111111111111ull;
    record.strBackDir = u"D:/Backup A";
    return record;
}

inline SettingsRecord SaveLoopRecordB()
{
    SettingsRecord record;
    record.bEptCanFgt = true;
    record.bBackup = true;
    record.bAsk = false;
    record.iDelSel = 2;
    record.uPwd = 2222222222222222222ull;
    record.strBackDir = u"D:/\u5907\u4EFD B";
    return record;
}

} // namespace lockora::settings
