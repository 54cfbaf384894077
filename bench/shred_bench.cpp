// Shredding a 64 MiB file (two passes of 2,048-byte writes, each pass
// flushed, then the truncation and the deletion) against the same two
// passes written with 1 MiB writes. The shredder should take at most 1.6
// times as long.
#include "bridge/notify.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"
#include "shred/shredder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kFileSize = 64ull << 20;
constexpr std::uint32_t kLargeBlock = 1u << 20;
constexpr const char16_t* kBenchFile = u"C:\\shred.bin";

// A temporary folder mapped as drive C:, and a quiet page for the progress.
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
        lockora::bridge::InstallNotifyUI([](const lockora::bridge::ScriptValue&) {});
    }
    ~BenchFolder() { std::filesystem::remove_all(folder_); }

    // A fresh 64 MiB file of non-zero bytes, written to the disk.
    void CreateFile() const
    {
        const int fd = ::open((folder_ + "/shred.bin").c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
        std::vector<char> chunk(kLargeBlock, '\x5a');
        for (std::uint64_t offset = 0; offset < kFileSize; offset += chunk.size()) {
            if (::pwrite(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset)) != static_cast<ssize_t>(chunk.size()))
                std::abort();
        }
        ::fsync(fd);
        ::close(fd);
    }

private:
    std::string folder_;
};

const BenchFolder& Folder()
{
    static const BenchFolder folder;
    return folder;
}

void ShredFile64MiB(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Folder().CreateFile();
        state.ResumeTiming();
        std::uint64_t done = 0;
        (void)lockora::shred::ShredFile(kBenchFile, kBenchFile, 2 * kFileSize, done);
        benchmark::DoNotOptimize(done);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kFileSize));
}

void LargeWritesTwoPasses64MiB(benchmark::State& state)
{
    std::vector<char> ones(kLargeBlock, '\xFF');
    std::vector<char> zeros(kLargeBlock, '\0');
    for (auto _ : state) {
        state.PauseTiming();
        Folder().CreateFile();
        state.ResumeTiming();
        auto file = platform::File::Open(kBenchFile, platform::Access::Write, platform::Share::None,
                                         platform::Disposition::OpenExisting);
        for (const std::vector<char>* pattern : {&ones, &zeros}) {
            for (std::uint64_t offset = 0; offset < kFileSize; offset += kLargeBlock)
                benchmark::DoNotOptimize(file->WriteAt(offset, pattern->data(), kLargeBlock).code());
            benchmark::DoNotOptimize(file->Flush().code());
        }
        file->Close();
        (void)platform::File::Open(kBenchFile, platform::Access::Read, platform::Share::None,
                                   platform::Disposition::CreateAlways);
        benchmark::DoNotOptimize(platform::DeleteFile(kBenchFile).code());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 2 * kFileSize));
}

BENCHMARK(ShredFile64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(LargeWritesTwoPasses64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

} // namespace

BENCHMARK_MAIN();
