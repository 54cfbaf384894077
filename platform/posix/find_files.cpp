#include "platform/folders.h"

#include "platform/common/file_faults.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_io.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Characters a mask cannot hold besides the wildcards.
bool IsValidMask(std::u16string_view mask)
{
    return std::none_of(mask.begin(), mask.end(), [](char16_t c) {
        return c < 0x20 || c == u':' || c == u'"' || c == u'<' || c == u'>' || c == u'|';
    });
}

// * matches any run of characters, ? exactly one; letters without case.
bool Glob(std::u16string_view mask, std::u16string_view name)
{
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::u16string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == u'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == u'?' || FoldUpper(mask[m]) == FoldUpper(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::u16string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

// A mask ending in ".*" also matches a name without an extension, which is
// why "*.*" matches every name.
bool MatchesMask(std::u16string_view mask, std::u16string_view name)
{
    if (mask == u"*" || mask == u"*.*")
        return true;
    if (Glob(mask, name))
        return true;
    return mask.size() >= 2 && mask.ends_with(u".*") && Glob(mask.substr(0, mask.size() - 2), name);
}

// Case-insensitive order, ties broken by code unit.
bool SortsBefore(const FindData& a, const FindData& b)
{
    const int folded = CompareNoCase(a.name, b.name);
    return folded != 0 ? folded < 0 : a.name < b.name;
}

FindData MakeEntry(std::u16string name, const std::string& hostPath, const struct stat& st, std::string_view hostName)
{
    FindData entry;
    entry.name = std::move(name);
    entry.attributes = hostfs::AttributesOf(hostPath, st, hostName);
    entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    entry.lastWriteTime = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return entry;
}

std::string Join(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path += name;
    return path;
}

ErrorCode OpenFolderError(int err, const std::string& hostFolder)
{
    struct stat st {};
    if (err == ENOTDIR && ::stat(hostFolder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return kErrorDirectory;
    if (err == ENOENT || err == ENOTDIR)
        return kErrorPathNotFound;
    return ErrorFromErrno(err);
}

// "." and ".." as Windows lists them at the head of every folder but a root.
void AddDotEntries(int folderFd, const std::string& hostFolder, std::u16string_view mask, std::vector<FindData>& out)
{
    for (const char* dots : {".", ".."}) {
        const std::u16string name = dots[1] ? u".." : u".";
        struct stat st {};
        if (MatchesMask(mask, name) && ::fstatat(folderFd, dots, &st, 0) == 0)
            out.push_back(MakeEntry(name, Join(hostFolder, dots), st, dots));
    }
}

} // namespace

Result<std::vector<FindData>> FindFiles(std::u16string_view pattern)
{
    PLATFORM_TRY(faults::CountFileOperation());
    const auto separator = pattern.find_last_of(u"\\/");
    if (separator == std::u16string_view::npos)
        return Error(kErrorPathNotFound); // relative
    const std::u16string_view mask = pattern.substr(separator + 1);
    if (mask.empty())
        return Error(kErrorFileNotFound);
    if (!IsValidMask(mask))
        return Error(kErrorInvalidName);
    auto folder = hostfs::Resolve(pattern.substr(0, separator + 1));
    if (!folder)
        return folder.error();

    const int fd = ::open(folder->path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Error(OpenFolderError(errno, folder->path));
    DirHandle dir(::fdopendir(fd));
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return Error(ErrorFromErrno(err));
    }

    std::vector<FindData> entries;
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir.get());
        if (!item) {
            if (errno != 0)
                return Error(ErrorFromErrno(errno));
            break;
        }
        const std::string_view hostName = item->d_name;
        if (hostName == "." || hostName == "..")
            continue;
        std::u16string name = HostNameToWindows(hostName);
        if (!MatchesMask(mask, name))
            continue;
        struct stat st {};
        if (::fstatat(fd, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // removed since the listing read it
        entries.push_back(MakeEntry(std::move(name), Join(folder->path, hostName), st, hostName));
    }
    std::sort(entries.begin(), entries.end(), SortsBefore);

    if (!folder->IsDriveRoot()) {
        std::vector<FindData> dots;
        AddDotEntries(fd, folder->path, mask, dots);
        entries.insert(entries.begin(), std::make_move_iterator(dots.begin()), std::make_move_iterator(dots.end()));
    }
    if (entries.empty())
        return Error(kErrorFileNotFound);
    return entries;
}

} // namespace platform
