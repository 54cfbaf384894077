// The process-wide diagnostic log "Lockora.log" in the "Log" folder beside
// the executable.
//
// Every line is built and written under one lock with a single write, then
// flushed, so lines of different threads never interleave and the file is
// complete up to its last line after a crash. Past 5 MiB the file moves to
// Lockora_1.log (older ones shift up to Lockora_5.log) and a fresh file
// starts. No error of the log is reported: a line that cannot be written is
// lost, and a failed open is retried with the next line.
#pragma once

#include "log/log_line.h"
#include "platform/file.h"
#include "platform/times.h"

#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// Lets the compiler check printf-style arguments against their format.
#if defined(__GNUC__)
#define LOCKORA_PRINTF_FORMAT(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define LOCKORA_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace lockora::logging {

// Where a log takes the time and the thread number of its lines; tests
// replace them to get fixed headers.
struct LogSources {
    platform::CalendarTime (*clock)();
    std::uint32_t (*threadNumber)();
};
LogSources DefaultLogSources(); // local time and CurrentThreadNumber

class DiagnosticLog {
public:
    static constexpr int kKeepCount = 5;                 // Lockora_1.log .. Lockora_5.log
    static constexpr std::uint64_t kSizeLimit = 0x500000; // 5 MiB

    // Reads the level from `configFile` (see ReadLogLevel). Nothing is
    // written until Init names the file.
    explicit DiagnosticLog(std::u16string_view configFile, LogSources sources = DefaultLogSources());
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // The log of the process, with the level of "config.ini" beside the
    // executable, read on first use.
    static DiagnosticLog& Process();

    // Names the log file (full path) and opens it; an oversized existing
    // file is rotated at once. The file's folder must exist.
    void Init(std::u16string path);

    // Formats a narrow (UTF-8) message; Debug needs level 2, Less level 1.
    void Debug(const char* format, ...) LOCKORA_PRINTF_FORMAT(2, 3);
    void Less(const char* format, ...) LOCKORA_PRINTF_FORMAT(2, 3);
    // The same with the arguments already gathered.
    void Print(LogTag tag, const char* format, std::va_list args) LOCKORA_PRINTF_FORMAT(3, 0);

private:
    // Whether opening may rotate an oversized file. A rotation reopens with
    // Deferred, so a file that could not be moved away is kept and the next
    // line retries instead of recursing.
    enum class Rotation : std::uint8_t { Allowed, Deferred };

    // Used with mutex_ held.
    void WriteLine(std::size_t length);
    void OpenLogFile(Rotation rotation);
    void RotateLogFiles();

    const int level_; // set before any thread can log, never changed
    const LogSources sources_;
    std::mutex mutex_;
    std::u16string fileName_;
    platform::File file_;
    std::uint64_t end_ = 0; // where the next line goes
    char line_[kLineBufferSize] = {};
};

// The process log's entry points.
void InitLog(std::u16string path);
void LogDebug(const char* format, ...) LOCKORA_PRINTF_FORMAT(1, 2);
void LogLess(const char* format, ...) LOCKORA_PRINTF_FORMAT(1, 2);

} // namespace lockora::logging
