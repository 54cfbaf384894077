// Cost of one diagnostic log line: building it in the fixed buffer alone,
// and building, writing and flushing it to the file as every line is.
#include "log/diagnostic_log.h"
#include "log/log_line.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"

#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using lockora::logging::DiagnosticLog;

// A temporary folder mapped as drive C:, holding "C:\Log", removed at exit.
class BenchFolder {
public:
    BenchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        folder_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-log-bench-XXXXXX";
        if (!::mkdtemp(folder_.data()))
            std::abort();
        std::filesystem::create_directory(folder_ + "/Log");
        platform::DriveTable drives;
        drives.Map(u'C', folder_);
        platform::SetDriveTable(std::move(drives));
    }
    ~BenchFolder() { std::filesystem::remove_all(folder_); }

private:
    std::string folder_;
};

std::size_t Build(char (&buffer)[lockora::logging::kLineBufferSize], const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const std::size_t length = lockora::logging::BuildLogLine(buffer, platform::LocalNow(), 7,
                                                              lockora::logging::LogTag::Debug, format, args);
    va_end(args);
    return length;
}

void BuildLine(benchmark::State& state)
{
    char buffer[lockora::logging::kLineBufferSize];
    for (auto _ : state)
        benchmark::DoNotOptimize(Build(buffer, "Encrypt file success,file:%s,old:%s", "C:\\Data\\a.txt.xep",
                                       "C:\\Data\\a.txt"));
}

void WriteFlushedLine(benchmark::State& state)
{
    BenchFolder folder;
    DiagnosticLog log(u"C:\\config.ini");
    log.Init(u"C:\\Log\\Lockora.log");
    for (auto _ : state)
        log.Debug("Encrypt file success,file:%s,old:%s", "C:\\Data\\a.txt.xep", "C:\\Data\\a.txt");
}

} // namespace

BENCHMARK(BuildLine);
BENCHMARK(WriteFlushedLine)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
