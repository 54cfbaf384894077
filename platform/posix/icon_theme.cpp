#include "platform/posix/icon_theme.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace platform::posix {
namespace {

namespace fs = std::filesystem;

// Adwaita inherits hicolor; the pixmaps folders are the last resort.
constexpr std::string_view kThemes[] = {"Adwaita", "hicolor"};
constexpr int kPixmapRank = 2;
constexpr std::uintmax_t kMaxIconBytes = 1 << 20;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

struct Candidate {
    int rank;   // index into kThemes, kPixmapRank for pixmaps
    int pixels; // 0 when the folder does not say
    fs::path file;
};

using IconIndex = std::unordered_map<std::string, std::vector<Candidate>>;

std::vector<fs::path> DataFolders()
{
    const char* configured = std::getenv("XDG_DATA_DIRS");
    const std::string_view list = configured && *configured ? configured : "/usr/local/share:/usr/share";
    std::vector<fs::path> folders;
    for (std::size_t pos = 0; pos <= list.size();) {
        const auto end = std::min(list.find(':', pos), list.size());
        if (end > pos && list[pos] == '/')
            folders.emplace_back(list.substr(pos, end - pos));
        pos = end + 1;
    }
    return folders;
}

// "32x32" gives 32; scalable and scaled ("32x32@2") folders give nothing.
std::optional<int> FixedSize(const std::string& folderName)
{
    const auto x = folderName.find('x');
    if (x == std::string::npos || x == 0 || folderName.substr(0, x) != folderName.substr(x + 1))
        return std::nullopt;
    int pixels = 0;
    for (std::size_t i = 0; i < x; ++i) {
        if (folderName[i] < '0' || folderName[i] > '9')
            return std::nullopt;
        pixels = pixels * 10 + (folderName[i] - '0');
    }
    return pixels;
}

void AddPngFiles(IconIndex& index, const fs::path& folder, int rank, int pixels)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& file = it->path();
        if (file.extension() == ".png")
            index[file.stem().string()].push_back({rank, pixels, file});
    }
}

IconIndex BuildIndex()
{
    IconIndex index;
    std::error_code error;
    for (const fs::path& data : DataFolders()) {
        for (int rank = 0; rank < static_cast<int>(std::size(kThemes)); ++rank) {
            const fs::path theme = data / "icons" / kThemes[rank];
            for (fs::directory_iterator sizes(theme, error), end; !error && sizes != end; sizes.increment(error)) {
                const auto pixels = FixedSize(sizes->path().filename().string());
                if (!pixels)
                    continue;
                std::error_code inner;
                for (fs::directory_iterator contexts(sizes->path(), inner); !inner && contexts != end; contexts.increment(inner))
                    AddPngFiles(index, contexts->path(), rank, *pixels);
            }
            error.clear();
        }
        AddPngFiles(index, data / "pixmaps", kPixmapRank, 0);
    }
    return index;
}

const IconIndex& Index()
{
    static const IconIndex index = BuildIndex();
    return index;
}

// Lower is better: the theme first, then the distance from the wanted size,
// a larger icon winning a tie since it scales down cleanly.
std::pair<int, int> Preference(const Candidate& candidate, int pixels)
{
    if (candidate.pixels == 0)
        return {candidate.rank, 1 << 16};
    const int distance = candidate.pixels >= pixels ? 2 * (candidate.pixels - pixels) : 2 * (pixels - candidate.pixels) + 1;
    return {candidate.rank, distance};
}

std::string ReadPng(const fs::path& file)
{
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error || size > kMaxIconBytes)
        return {};
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return {};
    return bytes.starts_with(kPngSignature) ? bytes : std::string{};
}

} // namespace

std::string FindThemeIconPng(const std::vector<std::string>& names, int pixels)
{
    const IconIndex& index = Index();
    for (const auto& name : names) {
        const auto found = index.find(name);
        if (found == index.end())
            continue;
        const Candidate* best = nullptr;
        for (const auto& candidate : found->second) {
            if (!best || Preference(candidate, pixels) < Preference(*best, pixels))
                best = &candidate;
        }
        if (std::string png = ReadPng(best->file); !png.empty())
            return png;
    }
    return {};
}

} // namespace platform::posix
