#include "folders/tree_entries.h"

#include "platform/attributes.h"
#include "platform/folders.h"

namespace lockora::folders {
namespace {

std::u16string WithSeparator(std::u16string_view folder)
{
    std::u16string path(folder);
    if (path.empty() || (path.back() != u'\\' && path.back() != u'/'))
        path += u'\\';
    return path;
}

} // namespace

bool TreeEntry::IsEnterableFolder() const
{
    return (attributes & platform::kAttrDirectory) != 0 && (attributes & platform::kAttrReparsePoint) == 0;
}

std::vector<TreeEntry> ListTreeEntries(std::u16string_view folder)
{
    const std::u16string prefix = WithSeparator(folder);
    auto listed = platform::FindFiles(prefix + u"*.*");
    if (!listed.ok())
        return {};
    std::vector<TreeEntry> entries;
    entries.reserve(listed->size());
    for (platform::FindData& found : *listed) {
        if (found.name != u"." && found.name != u"..")
            entries.push_back({prefix + found.name, found.attributes});
    }
    return entries;
}

} // namespace lockora::folders
