#include "platform/folders.h"

#include "platform/posix/host_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Adds the sizes of the files of one host folder and queues its subfolders.
// The entry type from the listing spares a stat for every folder and link;
// only files (and entries of unknown type) are stat'ed.
void SizeFolder(const std::string& folder, std::uint64_t& total, std::vector<std::string>& pending)
{
    const int fd = hostfs::RetryOnEintr([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0)
        return;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = item->d_type;
        struct stat st {};
        if (type == DT_REG || type == DT_UNKNOWN) {
            if (::fstatat(fd, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // removed since the listing read it
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR)
            pending.push_back(folder + (folder.back() == '/' ? "" : "/") + item->d_name);
        else if (type == DT_REG)
            total += static_cast<std::uint64_t>(st.st_size);
    }
}

} // namespace

std::uint64_t TotalFileSize(std::u16string_view folder)
{
    const auto host = hostfs::Resolve(folder);
    if (!host)
        return 0;
    std::uint64_t total = 0;
    std::vector<std::string> pending{host->path};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        SizeFolder(current, total, pending);
    }
    return total;
}

} // namespace platform
