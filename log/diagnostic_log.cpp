#include "log/diagnostic_log.h"

#include "log/log_level.h"
#include "log/log_rotation.h"
#include "log/thread_number.h"
#include "platform/system.h"

namespace lockora::logging {
namespace {

bool IsOverLimit(std::uint64_t size)
{
    return size > DiagnosticLog::kSizeLimit;
}

} // namespace

LogSources DefaultLogSources()
{
    return {&platform::LocalNow, &CurrentThreadNumber};
}

DiagnosticLog::DiagnosticLog(std::u16string_view configFile, LogSources sources)
    : level_(ReadLogLevel(configFile)), sources_(sources)
{
}

DiagnosticLog& DiagnosticLog::Process()
{
    // Never destroyed: detached workers may still log while the process exits.
    static DiagnosticLog* const log = new DiagnosticLog(platform::ModuleDir() + u"\\config.ini");
    return *log;
}

void DiagnosticLog::Init(std::u16string path)
{
    std::lock_guard lock(mutex_);
    fileName_ = std::move(path);
    OpenLogFile(Rotation::Allowed);
}

void DiagnosticLog::Debug(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Print(LogTag::Debug, format, args);
    va_end(args);
}

void DiagnosticLog::Less(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    Print(LogTag::Less, format, args);
    va_end(args);
}

void DiagnosticLog::Print(LogTag tag, const char* format, std::va_list args)
{
    // The level never changes, so it is tested without the lock.
    if (level_ < (tag == LogTag::Debug ? kLevelDebug : kLevelLess))
        return;
    std::lock_guard lock(mutex_);
    // Time taken under the lock, so the file's lines are in time order.
    const std::size_t length = BuildLogLine(line_, sources_.clock(), sources_.threadNumber(), tag, format, args);
    WriteLine(length);
}

void DiagnosticLog::WriteLine(std::size_t length)
{
    if (!file_.IsOpen())
        OpenLogFile(Rotation::Allowed);
    if (!file_.IsOpen())
        return;

    auto written = file_.WriteAt(end_, line_, static_cast<std::uint32_t>(length));
    if (written.ok()) {
        end_ += *written;
        // A failed flush loses nothing the write did not already hand over.
        (void)file_.Flush();
    }
    // The size, not our own count, decides: another handle may share the file.
    const auto size = file_.Size();
    if (!size.ok())
        return;
    end_ = *size;
    if (IsOverLimit(end_))
        RotateLogFiles();
}

void DiagnosticLog::OpenLogFile(Rotation rotation)
{
    file_.Close();
    if (fileName_.empty())
        return;
    auto opened = platform::File::Open(fileName_, platform::Access::Write, platform::Share::All,
                                       platform::Disposition::OpenAlways);
    if (!opened.ok())
        return;
    const auto size = opened->Size();
    // Without its size the end is unknown; writing anyway could overwrite lines.
    if (!size.ok())
        return;
    file_ = std::move(*opened);
    end_ = *size;
    if (rotation == Rotation::Allowed && IsOverLimit(end_))
        RotateLogFiles();
}

void DiagnosticLog::RotateLogFiles()
{
    file_.Close();
    ShiftLogFiles(fileName_, kKeepCount);
    OpenLogFile(Rotation::Deferred);
}

void InitLog(std::u16string path)
{
    DiagnosticLog::Process().Init(std::move(path));
}

void LogDebug(const char* format, ...)
{
    DiagnosticLog& log = DiagnosticLog::Process();
    std::va_list args;
    va_start(args, format);
    log.Print(LogTag::Debug, format, args);
    va_end(args);
}

void LogLess(const char* format, ...)
{
    DiagnosticLog& log = DiagnosticLog::Process();
    std::va_list args;
    va_start(args, format);
    log.Print(LogTag::Less, format, args);
    va_end(args);
}

} // namespace lockora::logging
