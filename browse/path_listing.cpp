#include "browse/path_listing.h"

#include "browse/file_list_row.h"
#include "browse/folder_tree.h"
#include "bridge/main_window.h"
#include "log/diagnostic_log.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "platform/text.h"

#include <exception>
#include <string>
#include <system_error>
#include <thread>

namespace lockora::browse {
namespace {

using bridge::ScriptValue;

// A row for an item whose attributes could not be read: no bits (so the
// page shows neither hidden nor read-only), size 0 and no time.
ScriptValue UnreadableRow(std::u16string name)
{
    return MakeRow(std::move(name), std::u16string(kInvalidTimeText), ScriptValue::Int(0), u"0", kRowFile);
}

ScriptValue FileRow(std::u16string_view path)
{
    const auto data = platform::GetFileAttributesEx(LongPathForm(path));
    if (!data)
        return UnreadableRow(StrippedName(path));
    return MakeRow(StrippedName(path), FileTimeText(data->lastWriteTime),
                   ScriptValue::Int(static_cast<std::int32_t>(data->attributes)), platform::Utf8ToUtf16(std::to_string(data->size)),
                   kRowFile);
}

// A subfolder shows the size of everything beneath it, unless its path is
// too long for the scan.
std::uint64_t EntrySize(std::u16string_view path, std::uint64_t ownSize)
{
    std::uint64_t size = ownSize;
    if (path.size() <= kMaxScannedPathUnits && platform::IsDirectory(path))
        SumFolderSize(path, size);
    return size;
}

ScriptValue EntryRow(std::u16string_view folder, std::u16string name)
{
    const std::u16string path = JoinPath(folder, name);
    const auto data = platform::GetFileAttributesEx(LongPathForm(path));
    if (!data)
        return UnreadableRow(std::move(name));
    const std::int32_t kind = (data->attributes & platform::kAttrDirectory) != 0 ? kRowFolder : kRowFile;
    return MakeRow(std::move(name), FileTimeText(data->lastWriteTime),
                   ScriptValue::Int(static_cast<std::int32_t>(data->attributes)),
                   platform::Utf8ToUtf16(std::to_string(EntrySize(path, data->size))), kind);
}

void DeliverRows(const ScriptValue& rows)
{
    bridge::MainWindow* window = bridge::MainWindow::Get();
    if (!window)
        return;
    try {
        window->CallPageFunction(kRefreshFileListInfo, rows);
    } catch (const bridge::PageScriptError& error) {
        logging::LogDebug("RefreshFileListInfo failed: %s", error.what());
    }
}

// Starts a detached worker; a thread that cannot start leaves the page
// without rows, as a failed listing does.
template <typename Worker, typename Argument>
void StartWorker(const char* name, Worker worker, Argument argument)
{
    try {
        std::thread(worker, std::move(argument)).detach();
    } catch (const std::system_error& error) {
        logging::LogLess("%s worker did not start: %s", name, error.what());
    }
}

} // namespace

ScriptValue ListPathRows(std::u16string_view path)
{
    if (!platform::IsDirectory(path))
        return ScriptValue::Array({FileRow(path)});
    ScriptValue rows = ScriptValue::Array();
    auto entries = platform::FindFiles(JoinPath(path, u"*.*"));
    if (!entries)
        return rows;
    for (platform::FindData& entry : *entries) {
        if (entry.name != u"." && entry.name != u"..")
            rows.Append(EntryRow(path, std::move(entry.name)));
    }
    return rows;
}

ScriptValue ListPickedRows(const std::vector<std::u16string>& paths)
{
    ScriptValue rows = ScriptValue::Array();
    for (const std::u16string& path : paths)
        rows.Append(FileRow(path));
    return rows;
}

void PathInfoWorker(std::u16string path)
{
    DeliverRows(ListPathRows(path));
}

void PathArrInfoWorker(std::vector<std::u16string> paths)
{
    DeliverRows(ListPickedRows(paths));
}

ScriptValue GetPathInfo(const ScriptValue& path)
{
    StartWorker("PathInfo", PathInfoWorker, WithBackslashes(path.ToString()));
    return ScriptValue::Int(0);
}

ScriptValue GetPathArrInfo(const ScriptValue& paths)
{
    // "/" is turned into "\" here too, so that a picked path names its file
    // the way a listed one does.
    std::vector<std::u16string> copied;
    copied.reserve(paths.Length());
    for (const ScriptValue& path : paths.Elements())
        copied.push_back(WithBackslashes(path.ToString()));
    StartWorker("PathArrInfo", PathArrInfoWorker, std::move(copied));
    return ScriptValue::Int(0);
}

ScriptValue IsDirectory(const ScriptValue& path)
{
    return ScriptValue::Bool(platform::IsDirectory(path.ToString()));
}

ScriptValue GetPathAttr(const ScriptValue& path)
{
    const auto attributes = platform::GetFileAttributes(LongPathForm(WithBackslashes(path.ToString())));
    return ScriptValue::Int(static_cast<std::int32_t>(attributes.value_or(platform::kInvalidFileAttributes)));
}

} // namespace lockora::browse
