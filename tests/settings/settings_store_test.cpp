#include "bridge/script_value.h"
#include "log/diagnostic_log.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/settings_functions.h"
#include "settings/settings_holder.h"
#include "settings/settings_registry.h"
#include "settings/settings_store.h"
#include "tests/settings/save_loop_records.h"
#include "tests/support/fault_sweep.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace lockora::settings {
namespace {

using bridge::ScriptValue;
using platform::RegistryValue;

constexpr char16_t kSettingFile[] = u"C:\\App\\Ombrix Lockora Sentinex\\FileUseSetting.dat";
constexpr char16_t kDefaultFile[] = u"0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n0\r\n0\r\n\r\n";

class SettingsStoreTest : public testing::SandboxTest {
protected:
    RegistryValue Stored(std::u16string_view name)
    {
        auto key = platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, kSettingsKey);
        EXPECT_TRUE(key.ok());
        if (!key.ok())
            return {};
        auto value = platform::RegQueryValueEx(*key, name);
        EXPECT_TRUE(value.ok()) << "missing value";
        return value.ok() ? *value : RegistryValue{};
    }

    void SetStored(std::u16string_view name, const RegistryValue& value)
    {
        ASSERT_TRUE(platform::RegSetKeyValue(platform::HKEY_LOCAL_MACHINE, kSettingsKey, name, value).ok());
    }

    void WriteSettingFile(std::string_view bytes) { testing::WriteHostFile(sandbox(), kSettingFile, bytes); }
    std::string SettingFile() { return testing::ReadHostFile(sandbox(), kSettingFile); }
};

ScriptValue DefaultArray()
{
    return ScriptValue::Array({ScriptValue::Bool(false), ScriptValue::Bool(false), ScriptValue::Bool(false),
                               ScriptValue::Bool(true), ScriptValue::Bool(false), ScriptValue::Bool(false),
                               ScriptValue::Bool(true), ScriptValue::String(u"0"), ScriptValue::String(u""),
                               ScriptValue::Bool(false), ScriptValue::Bool(false)});
}

TEST_F(SettingsStoreTest, FirstRunGivesDefaultsAndWritesThemToTheRegistry)
{
    SettingsHolder settings;
    EXPECT_EQ(GetSettingInfo(settings), DefaultArray());

    EXPECT_EQ(Stored(u"bUserPwd"), RegistryValue::Dword(0));
    EXPECT_EQ(Stored(u"bEptCanFgt"), RegistryValue::Dword(0));
    EXPECT_EQ(Stored(u"bBackup"), RegistryValue::Dword(0));
    EXPECT_EQ(Stored(u"bContextMenu"), RegistryValue::Dword(0));
    EXPECT_EQ(Stored(u"bAsk"), RegistryValue::Dword(1));
    EXPECT_EQ(Stored(u"iDelSel"), RegistryValue::Dword(0));
    EXPECT_EQ(Stored(u"uPwd"), RegistryValue::Qword(0));
    EXPECT_EQ(Stored(u"strBackDir"), RegistryValue::String(u""));

    // The data folder exists; the file waits for the first save.
    EXPECT_TRUE(platform::IsDirectory(u"C:\\App\\Ombrix Lockora Sentinex"));
    EXPECT_FALSE(platform::PathExists(kSettingFile));
    settings.Save();
    EXPECT_EQ(platform::Utf8ToUtf16(SettingFile()), kDefaultFile);
}

TEST_F(SettingsStoreTest, EveryLoadAndSaveLogsTheFilePath)
{
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\App\\Log").ok());
    logging::InitLog(u"C:\\App\\Log\\Lockora.log");
    SettingsRecord record;
    LoadSettings(record);
    SaveSettings(record);
    const std::string log = testing::ReadHostFile(sandbox(), u"C:\\App\\Log\\Lockora.log");
    const std::string line = "[DEBUG]: Setting file is C:\\App\\Ombrix Lockora Sentinex\\FileUseSetting.dat";
    const std::size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(line, first + line.size()), std::string::npos) << log;
}

TEST_F(SettingsStoreTest, RegistryIsReadWhenThereIsNoFile)
{
    SetStored(u"bUserPwd", RegistryValue::Dword(7));
    SetStored(u"iDelSel", RegistryValue::Dword(2));
    SetStored(u"uPwd", RegistryValue::Qword(0xFEDCBA9876543210ull));
    SetStored(u"strBackDir", RegistryValue::String(u"D:/\u5907\u4EFD"));
    // A value of the wrong type is rewritten with the record's value.
    SetStored(u"bAsk", RegistryValue::String(u"1"));

    SettingsRecord record;
    LoadSettings(record);
    EXPECT_TRUE(record.bUserPwd);
    EXPECT_EQ(record.iDelSel, 2);
    EXPECT_EQ(record.uPwd, 0xFEDCBA9876543210ull);
    EXPECT_EQ(record.strBackDir, u"D:/\u5907\u4EFD");
    EXPECT_TRUE(record.bAsk);
    EXPECT_EQ(Stored(u"bAsk"), RegistryValue::Dword(1));
    EXPECT_EQ(Stored(u"bUserPwd"), RegistryValue::Dword(7)); // read values stay as stored
}

TEST_F(SettingsStoreTest, RegistryIsIgnoredWhileTheFileExists)
{
    WriteSettingFile("0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n1\r\n0\r\nD:/File\r\n");
    SetStored(u"bUserPwd", RegistryValue::Dword(1));
    SetStored(u"iDelSel", RegistryValue::Dword(2));
    SetStored(u"strBackDir", RegistryValue::String(u"D:/Registry"));

    SettingsHolder settings;
    const ScriptValue info = GetSettingInfo(settings);
    EXPECT_EQ(info.At(0), ScriptValue::Bool(false));
    EXPECT_EQ(info.At(7), ScriptValue::String(u"1"));
    EXPECT_EQ(info.At(8), ScriptValue::String(u"D:/File"));
}

TEST_F(SettingsStoreTest, SaveWritesBothStores)
{
    SettingsRecord record;
    record.bEptCanFgt = true;
    record.bReserved1 = true;
    record.iDelSel = -1;
    record.uPwd = 12345678901234567890ull;
    record.strBackDir = u"D:/\u5907\u4EFD";
    SaveSettings(record);

    EXPECT_EQ(SettingFile(), "0\r\n1\r\n1\r\n1\r\n0\r\n0\r\n1\r\n-1\r\n12345678901234567890\r\n"
                             "\xEF\xBB\xBF" "D:/\xE5\xA4\x87\xE4\xBB\xBD\r\n");
    EXPECT_EQ(Stored(u"bEptCanFgt"), RegistryValue::Dword(1));
    EXPECT_EQ(Stored(u"iDelSel"), RegistryValue::Dword(0xFFFFFFFFu));
    EXPECT_EQ(Stored(u"uPwd"), RegistryValue::Qword(12345678901234567890ull));
    EXPECT_EQ(Stored(u"strBackDir"), RegistryValue::String(u"D:/\u5907\u4EFD"));

    SettingsRecord loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded, record);
}

TEST_F(SettingsStoreTest, FileThatCannotBeWrittenLeavesTheRegistryAsTheStore)
{
    // A folder in the file's place: the save cannot replace it.
    ASSERT_TRUE(platform::CreateDirectory(u"C:\\App\\Ombrix Lockora Sentinex").ok());
    ASSERT_TRUE(platform::CreateDirectory(kSettingFile).ok());
    SettingsRecord record;
    record.bUserPwd = true;
    SaveSettings(record);
    EXPECT_TRUE(platform::IsDirectory(kSettingFile));
    // The file cannot be opened, so the registry copy is the one read.
    SettingsRecord loaded;
    loaded.bUserPwd = false;
    LoadSettings(loaded);
    EXPECT_TRUE(loaded.bUserPwd);
}

// Each file operation of a save fails in turn: the file and the registry
// each hold the old record or the new one, never a mix, and the next save
// stores the new one.
TEST_F(SettingsStoreTest, ASaveThatFailsAnywhereLeavesTheOldOrTheNewRecord)
{
    const SettingsRecord before = SaveLoopRecordA();
    const SettingsRecord after = SaveLoopRecordB();
    const auto stored = [](const SettingsRecord& record) {
        return std::tuple(record.bUserPwd, record.bEptCanFgt, record.bBackup, record.bAsk, record.iDelSel,
                          record.uPwd, record.strBackDir);
    };
    const auto oldOrNew = [&](const SettingsRecord& record) {
        return stored(record) == stored(before) || stored(record) == stored(after);
    };
    const std::uint64_t cases = testing::SweepFaults("saving settings", [&](std::uint64_t n) {
        SaveSettings(before);
        if (!testing::RunWithNthOperationFailing(n, platform::kErrorDiskFull, [&] { SaveSettings(after); }))
            return false;
        SettingsRecord fromFile;
        LoadSettings(fromFile);
        EXPECT_TRUE(oldOrNew(fromFile));
        SettingsRecord fromRegistry;
        LoadSettingsFromRegistry(fromRegistry);
        EXPECT_TRUE(oldOrNew(fromRegistry));

        SaveSettings(after);
        SettingsRecord again;
        LoadSettings(again);
        EXPECT_TRUE(stored(again) == stored(after));
        return true;
    });
#ifdef _WIN32
    EXPECT_GE(cases, 1u); // the file; the registry is the system's, which the faults do not reach
#else
    EXPECT_GE(cases, 2u); // the file and the registry
#endif
}

TEST_F(SettingsStoreTest, ChangeSettingInfoTakesNumbersAndKeepsTexts)
{
    SettingsHolder settings;
    ScriptValue change = DefaultArray();
    change.Set(7, ScriptValue::String(u"2"));
    change.Set(8, ScriptValue::String(u"D:/Backup"));
    EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(0));
    EXPECT_EQ(settings.Snapshot().iDelSel, 0);
    EXPECT_EQ(settings.Snapshot().strBackDir, u"D:/Backup");

    change.Set(7, ScriptValue::Int(2));
    change.Set(0, ScriptValue::Int(5));
    change.Set(1, ScriptValue::String(u"1")); // not a number: kept
    change.Set(8, ScriptValue::Int(12));      // any value becomes its text
    EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(0));
    const SettingsRecord record = settings.Snapshot();
    EXPECT_EQ(record.iDelSel, 2);
    EXPECT_TRUE(record.bUserPwd);
    EXPECT_FALSE(record.bEptCanFgt);
    EXPECT_EQ(record.strBackDir, u"12");
    EXPECT_EQ(SettingFile(), "1\r\n0\r\n0\r\n1\r\n0\r\n0\r\n1\r\n2\r\n0\r\n12\r\n");
}

TEST_F(SettingsStoreTest, TheStrongFormatChoiceIsKeptBesideTheTenLinesAndShortArraysLeaveIt)
{
    {
        SettingsHolder settings;
        ScriptValue change = DefaultArray();
        change.Set(10, ScriptValue::Bool(true));
        EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(0));
        // Arrays of the older form (nine elements) leave the choice alone.
        ScriptValue older = ScriptValue::Array({});
        for (std::size_t index = 0; index < 9; ++index)
            older.Append(change.At(index));
        EXPECT_EQ(ChangeSettingInfo(settings, older), ScriptValue::Int(0));
    }
    EXPECT_EQ(platform::Utf8ToUtf16(SettingFile()), kDefaultFile);
    EXPECT_EQ(Stored(u"bStrong"), RegistryValue::Dword(1));
    EXPECT_NE(testing::ReadHostFile(sandbox(), u"C:\\App\\config.ini").find("STRONG=1"), std::string::npos);
    EXPECT_EQ(GetSettingInfo(SettingsHolder()).At(10), ScriptValue::Bool(true));

    // Without the settings file the registry copy holds it; config.ini wins.
    ASSERT_TRUE(platform::DeleteFile(kSettingFile).ok());
    testing::WriteHostFile(sandbox(), u"C:\\App\\config.ini", "[SETTING]\r\nLANG=en\r\n");
    EXPECT_EQ(GetSettingInfo(SettingsHolder()).At(10), ScriptValue::Bool(true));
    testing::WriteHostFile(sandbox(), u"C:\\App\\config.ini", "[SETTING]\r\nSTRONG=0\r\n");
    EXPECT_EQ(GetSettingInfo(SettingsHolder()).At(10), ScriptValue::Bool(false));
}

TEST_F(SettingsStoreTest, ChangeSettingInfoNeverTouchesThePassword)
{
    SettingsHolder settings;
    settings.Update([](SettingsRecord& record) { record.uPwd = 99; });
    ScriptValue change = DefaultArray();
    change.Set(9, ScriptValue::Bool(false));
    change.Append(ScriptValue::Int(1)); // further elements are ignored
    EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(0));
    EXPECT_EQ(settings.Snapshot().uPwd, 99u);
    EXPECT_EQ(GetSettingInfo(settings).At(9), ScriptValue::Bool(true));
}

TEST_F(SettingsStoreTest, ReservedFlagComesBackTrueAfterSavingFalse)
{
    SettingsHolder settings;
    ScriptValue change = DefaultArray();
    change.Set(3, ScriptValue::Bool(false));
    change.Set(6, ScriptValue::Bool(false));
    EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(0));
    EXPECT_EQ(SettingFile(), "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\r\n");

    settings.Load();
    const ScriptValue info = GetSettingInfo(settings);
    EXPECT_EQ(info.At(3), ScriptValue::Bool(true));
    EXPECT_EQ(info.At(6), ScriptValue::Bool(false));
}

TEST_F(SettingsStoreTest, ShortChangeArrayIsRefused)
{
    SettingsHolder settings;
    settings.Update([](SettingsRecord& record) { record.strBackDir = u"D:/Keep"; });
    ScriptValue change = ScriptValue::Array();
    for (int index = 0; index < 8; ++index)
        change.Append(ScriptValue::Bool(true));
    EXPECT_EQ(ChangeSettingInfo(settings, change), ScriptValue::Int(kSettingsArrayTooShort));
    EXPECT_EQ(ChangeSettingInfo(settings, ScriptValue::Int(1)), ScriptValue::Int(kSettingsArrayTooShort));
    EXPECT_FALSE(settings.Snapshot().bUserPwd);
    EXPECT_EQ(settings.Snapshot().strBackDir, u"D:/Keep");
    EXPECT_FALSE(platform::PathExists(kSettingFile));
}

TEST_F(SettingsStoreTest, NegativeDeleteChoiceShowsAsUnsignedText)
{
    SettingsHolder settings;
    settings.Update([](SettingsRecord& record) { record.iDelSel = -1; });
    EXPECT_EQ(GetSettingInfo(settings).At(7), ScriptValue::String(u"4294967295"));
}

} // namespace
} // namespace lockora::settings
