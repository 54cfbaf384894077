#include "browse/partitions.h"

#include "browse/file_list_row.h"
#include "browse/icon_cache.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "platform/text.h"

#include <string>

namespace lockora::browse {
namespace {

std::u16string DriveName(std::u16string name)
{
    if (name.size() >= 3)
        name.erase(2, 1);
    return name;
}

} // namespace

bridge::ScriptValue GetAllPartitionInfo(IconCache& icons)
{
    bridge::ScriptValue rows = bridge::ScriptValue::Array();
    for (std::u16string& root : platform::LogicalDrives()) {
        std::u16string name = DriveName(std::move(root));
        const auto status = platform::GetFileAttributesEx(name).value_or(
            platform::FileAttributeData{0, 0, platform::FileTimeFromUnix(0)});
        const auto time = platform::FormatFileTime(status.lastWriteTime);
        IconEntry icon = icons.Lookup(name);
        // The size of the file system behind the drive; none when it cannot
        // be read, rather than a size of 0.
        const auto space = platform::GetDiskSpace(name + u"\\");
        rows.Append(MakeRow(std::move(name), time ? platform::Utf8ToUtf16(*time) : std::u16string(),
                            bridge::ScriptValue::String(std::move(icon.typeName)),
                            space ? platform::Utf8ToUtf16(std::to_string(space->total)) : std::u16string(), kRowDrive));
    }
    return rows;
}

} // namespace lockora::browse
