#include "log/usage_history.h"

#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system.h"
#include "platform/text.h"

#include <cstdio>
#include <mutex>

namespace lockora::logging {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Appends `entry` at the current end of the file. On a failed write the
// file is cut back to where the entry began, so no half entry is left for
// the next one to continue.
platform::Status AppendEntry(std::u16string_view fileName, const std::string& entry)
{
    auto file = platform::File::Open(fileName, platform::Access::Write, platform::Share::Read,
                                     platform::Disposition::OpenAlways);
    if (!file)
        return file.error();
    auto end = file->Size();
    if (!end)
        return end.error();
    const auto written = file->WriteAt(*end, entry.data(), static_cast<std::uint32_t>(entry.size()));
    if (!written) {
        (void)file->SetEnd(*end);
        return written.error();
    }
    return file->Flush();
}

} // namespace

std::u16string DataFolder()
{
    return platform::ModuleDir() + u"\\Ombrix Lockora Sentinex";
}

std::string FormatHistoryTime(const platform::CalendarTime& time)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d", time.month, time.day, time.year, time.hour, time.minute);
    return text;
}

std::string BuildUsageHistoryEntry(std::u16string_view path, std::u16string_view action,
                                   std::u16string_view kind, const platform::CalendarTime& time)
{
    std::string entry = platform::Utf16ToUtf8(path);
    entry += kLineEnd;
    entry += platform::Utf16ToUtf8(action);
    entry += kLineEnd;
    entry += FormatHistoryTime(time);
    entry += kLineEnd;
    entry += platform::Utf16ToUtf8(kind);
    entry += kLineEnd;
    return entry;
}

void AppendUsageHistory(std::u16string_view path, std::u16string_view action, std::u16string_view kind)
{
    // Workers of one run append one at a time in practice; the lock keeps
    // entries whole should two ever meet.
    static std::mutex mutex;
    std::lock_guard lock(mutex);

    const std::u16string folder = DataFolder();
    if (!platform::IsDirectory(folder))
        (void)platform::CreateDirectory(folder);
    // Nothing is reported: the history is a record for the user, and a
    // failed entry must not stop the deletion that it records.
    (void)AppendEntry(folder + u"\\usage history.log",
                      BuildUsageHistoryEntry(path, action, kind, platform::LocalNow()));
}

} // namespace lockora::logging
