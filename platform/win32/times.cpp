#include "platform/times.h"

#include "platform/errors.h"
#include "platform/win32/handle.h"

namespace platform {
namespace {

FILETIME ToFileTime(FileTime time)
{
    FILETIME ft{};
    ft.dwLowDateTime = static_cast<DWORD>(time.ticks);
    ft.dwHighDateTime = static_cast<DWORD>(time.ticks >> 32);
    return ft;
}

CalendarTime FromSystemTime(const SYSTEMTIME& time)
{
    CalendarTime calendar;
    calendar.year = time.wYear;
    calendar.month = time.wMonth;
    calendar.dayOfWeek = time.wDayOfWeek;
    calendar.day = time.wDay;
    calendar.hour = time.wHour;
    calendar.minute = time.wMinute;
    calendar.second = time.wSecond;
    calendar.milliseconds = time.wMilliseconds;
    return calendar;
}

} // namespace

Result<FileTime> GetLastWriteTime(std::u16string_view path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::Wide(path).c_str(), GetFileExInfoStandard, &data))
        return win32::LastError();
    return win32::FromFileTime(data.ftLastWriteTime);
}

Status SetLastWriteTime(std::u16string_view path, FileTime time)
{
    // Folders open only with backup semantics; a link is changed itself.
    const win32::UniqueHandle item(::CreateFileW(win32::Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!item.valid())
        return win32::LastError();
    const FILETIME written = ToFileTime(time);
    if (!::SetFileTime(item.get(), nullptr, nullptr, &written))
        return win32::LastError();
    return {};
}

Result<CalendarTime> FileTimeToLocalTime(FileTime time)
{
    const FILETIME ft = ToFileTime(time);
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&ft, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return Error(kErrorInvalidParameter);
    return FromSystemTime(local);
}

CalendarTime LocalNow()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

} // namespace platform
