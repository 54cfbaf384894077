// 2,048-byte read-then-write at explicit offsets through platform::File,
// against the same loop on raw pread/pwrite over the same 64 MiB file. The
// layer should keep at least 95 % of the raw loop's throughput.
#include "platform/file.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kFileSize = 64ull << 20;
constexpr std::uint32_t kBlock = 2048;
constexpr const char16_t* kBenchFile = u"C:\\bench.bin";

std::string g_hostFile;

// A 64 MiB file in its own temporary folder, mapped as drive C:.
class BenchFolder {
public:
    BenchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        folder_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-bench-XXXXXX";
        if (!::mkdtemp(folder_.data()))
            std::abort();
        platform::DriveTable drives;
        drives.Map(u'C', folder_);
        platform::SetDriveTable(drives);
        g_hostFile = folder_ + "/bench.bin";

        const int fd = ::open(g_hostFile.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        std::vector<char> chunk(1 << 20, '\x5a');
        for (std::uint64_t offset = 0; offset < kFileSize; offset += chunk.size()) {
            if (::pwrite(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset)) != static_cast<ssize_t>(chunk.size()))
                std::abort();
        }
        ::close(fd);
    }

    ~BenchFolder() { std::filesystem::remove_all(folder_); }

private:
    std::string folder_;
};

void LayerReadThenWrite(benchmark::State& state)
{
    auto file = platform::File::Open(kBenchFile, platform::Access::ReadWrite, platform::Share::None,
                                     platform::Disposition::OpenExisting);
    if (!file.ok()) {
        state.SkipWithError("open failed");
        return;
    }
    char buffer[kBlock];
    std::uint64_t offset = 0;
    for (auto _ : state) {
        const auto read = file->ReadAt(offset, buffer, kBlock);
        const auto written = file->WriteAt(offset, buffer, read.value_or(0));
        benchmark::DoNotOptimize(written.code());
        offset = (offset + kBlock) % kFileSize;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kBlock);
}

void RawReadThenWrite(benchmark::State& state)
{
    const int fd = ::open(g_hostFile.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("open failed");
        return;
    }
    char buffer[kBlock];
    std::uint64_t offset = 0;
    for (auto _ : state) {
        const ssize_t read = ::pread(fd, buffer, kBlock, static_cast<off_t>(offset));
        const ssize_t written = ::pwrite(fd, buffer, read > 0 ? static_cast<std::size_t>(read) : 0, static_cast<off_t>(offset));
        benchmark::DoNotOptimize(written);
        offset = (offset + kBlock) % kFileSize;
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kBlock);
}

BENCHMARK(RawReadThenWrite)->MinTime(2.0);
BENCHMARK(LayerReadThenWrite)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BenchFolder folder;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
