#include "browse/folder_tree.h"

#include "platform/attributes.h"
#include "platform/folders.h"

#include <string>
#include <vector>

namespace lockora::browse {
namespace {

using platform::FindData;

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name)
{
    std::u16string path(folder);
    if (path.empty() || path.back() != u'\\')
        path += u'\\';
    path += name;
    return path;
}

// The entries of folder\*.* without "." and ".."; none when it cannot be listed.
std::vector<FindData> ListEntries(std::u16string_view folder)
{
    auto listed = platform::FindFiles(JoinPath(folder, u"*.*"));
    if (!listed.ok())
        return {};
    std::vector<FindData> entries;
    entries.reserve(listed->size());
    for (FindData& entry : *listed) {
        if (entry.name != u"." && entry.name != u"..")
            entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsLink(const FindData& entry)
{
    return (entry.attributes & platform::kAttrReparsePoint) != 0;
}

bool IsFolder(const FindData& entry)
{
    return (entry.attributes & platform::kAttrDirectory) != 0;
}

} // namespace

bool SumFolderSize(std::u16string_view folder, std::uint64_t& total)
{
    total += platform::TotalFileSize(folder);
    return true;
}

bool DeleteFolderTree(std::u16string_view folder)
{
    // One frame per open folder, deepest last, instead of recursion (see
    // SumFolderSize). A folder is removed once its frame has run out.
    struct Frame {
        std::u16string folder;
        std::vector<FindData> entries;
        std::size_t next = 0;
    };
    bool everythingRemoved = true;
    std::vector<Frame> frames;
    frames.push_back({std::u16string(folder), ListEntries(folder)});

    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next == frame.entries.size()) {
            const std::u16string finished = std::move(frame.folder);
            frames.pop_back();
            // The starting folder stays; the caller removes it if it must.
            if (!frames.empty() && !platform::RemoveDirectory(finished).ok())
                everythingRemoved = false;
            continue;
        }

        const FindData& entry = frame.entries[frame.next++];
        std::u16string path = JoinPath(frame.folder, entry.name);
        if (IsLink(entry)) {
            // The link goes, its target stays: a link to a folder is removed
            // like an empty folder, any other like a file.
            const bool removed = IsFolder(entry) ? platform::RemoveDirectory(path).ok()
                                                 : platform::DeleteFile(path).ok();
            everythingRemoved = everythingRemoved && removed;
            continue;
        }
        // Read-only, hidden and system would stop the deletion; a failure
        // here shows up as a failed deletion just below.
        (void)platform::SetFileAttributes(path, platform::kAttrNormal);
        if (IsFolder(entry)) {
            std::vector<FindData> children = ListEntries(path);
            frames.push_back({std::move(path), std::move(children)}); // invalidates `frame`
        } else if (!platform::DeleteFile(path).ok()) {
            everythingRemoved = false;
        }
    }
    return everythingRemoved;
}

} // namespace lockora::browse
