#include "shred/shredder.h"

#include "browse/folder_tree.h"
#include "log/usage_history.h"
#include "platform/attributes.h"
#include "platform/folders.h"

#include <string>

namespace lockora::shred {
namespace {

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name)
{
    std::u16string path(folder);
    if (path.empty() || path.back() != u'\\')
        path += u'\\';
    path += name;
    return path;
}

bool IsRealFolder(std::uint32_t attributes)
{
    return (attributes & platform::kAttrDirectory) != 0 && (attributes & platform::kAttrReparsePoint) == 0;
}

} // namespace

void ShredTree(std::u16string_view folder, std::u16string_view progressPath, std::uint64_t total,
               std::uint64_t& doneCounter)
{
    auto entries = platform::FindFiles(JoinPath(folder, u"*.*"));
    if (entries) {
        for (const platform::FindData& entry : *entries) {
            if (entry.name == u"." || entry.name == u"..")
                continue;
            const std::u16string path = JoinPath(folder, entry.name);
            // A link to a folder carries the directory bit too; ShredFile
            // removes any link as the link itself.
            if (IsRealFolder(entry.attributes))
                ShredTree(path, progressPath, total, doneCounter);
            else
                (void)ShredFile(path, progressPath, total, doneCounter);
        }
    }
    // Fails while something is left inside; that folder and those above stay.
    (void)platform::RemoveDirectory(folder);
}

void ShredFolder(std::u16string_view folder)
{
    // A link chosen as the folder goes as a link: its target's content lies
    // outside what was chosen.
    const auto attributes = platform::GetFileAttributes(folder);
    if (attributes && (*attributes & platform::kAttrReparsePoint) != 0) {
        (void)platform::RemoveDirectory(folder);
    } else {
        std::uint64_t size = 0;
        browse::SumFolderSize(folder, size);
        std::uint64_t doneCounter = 0;
        ShredTree(folder, folder, 2 * size, doneCounter);
    }
    logging::AppendUsageHistory(folder, u"Delete completely", u"File folder");
}

} // namespace lockora::shred
