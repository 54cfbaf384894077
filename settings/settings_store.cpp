#include "settings/settings_store.h"

#include "log/diagnostic_log.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "platform/redirection.h"
#include "platform/system.h"
#include "platform/text.h"
#include "settings/language.h"
#include "settings/settings_file.h"
#include "settings/settings_registry.h"

#include <mutex>

namespace lockora::settings {
namespace {

// File-system redirection of a 32-bit process has no counterpart here: the
// data folder is always the one beside the executable.

constexpr std::u16string_view kStrongSection = u"SETTING";
constexpr std::u16string_view kStrongKey = u"STRONG";

std::mutex& StoreMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The whole file, or the error of opening it. A read error ends the text
// where it happened, as it ends a stream: the fields after it keep their
// values.
platform::Result<std::string> ReadSettingsFile(std::u16string_view path)
{
    auto file = platform::File::Open(path, platform::Access::Read, platform::Share::All,
                                     platform::Disposition::OpenExisting);
    if (!file.ok())
        return file.error();
    std::string bytes;
    char buffer[4096];
    for (;;) {
        auto read = file->ReadAt(bytes.size(), buffer, sizeof buffer);
        if (!read.ok() || *read == 0)
            break;
        bytes.append(buffer, *read);
    }
    return bytes;
}

} // namespace

std::u16string GetSettingFilePath()
{
    std::u16string path = platform::ModuleDir() + u"\\Ombrix Lockora Sentinex";
    if (!platform::IsDirectory(path))
        (void)platform::CreateDirectory(path);
    path += u"\\FileUseSetting.dat";
    logging::LogDebug("Setting file is %s", platform::Utf16ToUtf8(path).c_str());
    return path;
}

void LoadSettings(SettingsRecord& record)
{
    std::lock_guard lock(StoreMutex());
    const platform::FileSystemRedirectionOff redirection;
    auto bytes = ReadSettingsFile(GetSettingFilePath());
    if (bytes.ok())
        ParseSettingsFile(*bytes, record);
    else
        LoadSettingsFromRegistry(record);
    // The format choice lives beside the ten lines, never in them, so that
    // the settings file stays as other versions write and read it.
    const std::u16string strong = platform::GetPrivateProfileString(kStrongSection, kStrongKey, u"", ConfigFilePath());
    if (strong == u"1" || strong == u"0")
        record.bStrong = strong == u"1";
}

void SaveSettings(const SettingsRecord& record)
{
    std::lock_guard lock(StoreMutex());
    const platform::FileSystemRedirectionOff redirection;
    (void)platform::WriteFileAtomically(GetSettingFilePath(), FormatSettingsFile(record));
    (void)platform::WritePrivateProfileString(kStrongSection, kStrongKey, record.bStrong ? u"1" : u"0", ConfigFilePath());
    SaveSettingsToRegistry(record);
}

} // namespace lockora::settings
