#include "browse/drive_walk.h"

#include "browse/file_list_row.h"
#include "platform/attributes.h"

#include <vector>

namespace lockora::browse {
namespace {

struct Frame {
    std::u16string folder;
    std::vector<platform::FindData> entries;
    std::size_t next = 0;
};

Frame OpenFolder(std::u16string folder)
{
    auto listed = platform::FindFiles(JoinPath(folder, u"*.*"));
    Frame frame{std::move(folder), {}, 0};
    if (listed)
        frame.entries = std::move(*listed);
    return frame;
}

} // namespace

void WalkFolderTree(std::u16string_view root, const std::atomic<bool>& running, const WalkVisitor& visit)
{
    // One frame per open folder instead of recursion: a drive can be deeper
    // than the thread's stack allows.
    std::vector<Frame> frames;
    frames.push_back(OpenFolder(std::u16string(root)));
    // Mounted file systems (/proc, network shares, other disks) are left out.
    const auto volume = platform::GetVolumeId(root);
    while (!frames.empty() && running.load(std::memory_order_acquire)) {
        Frame& frame = frames.back();
        if (frame.next == frame.entries.size()) {
            frames.pop_back();
            continue;
        }
        const platform::FindData& entry = frame.entries[frame.next++];
        if (entry.name == u"." || entry.name == u".." || (entry.attributes & platform::kAttrReparsePoint) != 0)
            continue;
        if ((entry.attributes & platform::kAttrDirectory) != 0) {
            std::u16string folder = JoinPath(frame.folder, entry.name);
            if (volume && platform::GetVolumeId(folder).value_or(0) != *volume)
                continue;
            frames.push_back(OpenFolder(std::move(folder))); // invalidates `frame`
        } else
            visit(frame.folder, entry);
    }
}

std::u16string ExtensionKey(std::u16string_view fileName)
{
    const auto dot = fileName.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string() : std::u16string(fileName.substr(dot + 1));
}

} // namespace lockora::browse
