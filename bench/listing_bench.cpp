// Listing a folder of 200 subfolders holding 20,000 files in all, with the
// total size of every subfolder, against `du -sb` over the same tree. The
// listing should take at most 1.5 times as long as du.
#include "browse/path_listing.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kSubfolders = 200;
constexpr int kFilesPerSubfolder = 100;
constexpr const char16_t* kListedFolder = u"C:\\Top";

// The tree in its own temporary folder, mapped as drive C:.
class BenchTree {
public:
    BenchTree()
    {
        const char* tmp = std::getenv("TMPDIR");
        root_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-bench-XXXXXX";
        if (!::mkdtemp(root_.data()))
            std::abort();
        platform::DriveTable drives;
        drives.Map(u'C', root_);
        platform::SetDriveTable(drives);
        for (int folder = 0; folder < kSubfolders; ++folder) {
            const std::string path = top() + "/folder" + std::to_string(folder);
            std::filesystem::create_directories(path);
            for (int file = 0; file < kFilesPerSubfolder; ++file) {
                std::ofstream out(path + "/file" + std::to_string(file) + ".dat", std::ios::binary);
                out << std::string(static_cast<std::size_t>(file * 37 % 4096), 'x');
            }
        }
    }
    ~BenchTree() { std::filesystem::remove_all(root_); }

    std::string top() const { return root_ + "/Top"; }

private:
    std::string root_;
};

BenchTree& Tree()
{
    static BenchTree tree;
    return tree;
}

void ListFolderWithSizes(benchmark::State& state)
{
    Tree();
    for (auto _ : state) {
        auto rows = lockora::browse::ListPathRows(kListedFolder);
        if (rows.Length() != kSubfolders)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(ListFolderWithSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

void DuApparentSizes(benchmark::State& state)
{
    const std::string command = "du -sb '" + Tree().top() + "'/* > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("du failed");
    }
}
BENCHMARK(DuApparentSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
