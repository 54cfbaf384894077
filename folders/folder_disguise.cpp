#include "folders/folder_disguise.h"

#include "bridge/main_window.h"
#include "folders/base64.h"
#include "folders/disguise_suffixes.h"
#include "folders/icon_file.h"
#include "log/diagnostic_log.h"
#include "platform/folders.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/text.h"

#include <string>

namespace lockora::folders {
namespace {

using bridge::ScriptValue;

// Where GetDirIcon asks the shell: a name that no user folder is likely to
// carry, ending in the suffix so that the shell sees the disguise.
constexpr std::u16string_view kIconFolderPrefix = u"~LockoraDisguiseIcon";

std::u16string IconFolderPath(std::u16string_view directory, std::u16string_view suffix)
{
    std::u16string path(directory);
    if (!path.empty() && path.back() != u'\\' && path.back() != u'/')
        path += u'\\';
    return path + std::u16string(kIconFolderPrefix) + std::u16string(suffix);
}

// The Base64 icon file of a folder that carries `suffix`, or "" when the
// shell gives no icon. The folder exists only during the query; one that
// was already there is not ours, so it is neither used nor removed.
std::u16string DisguiseIcon(std::u16string_view directory, std::u16string_view suffix)
{
    const std::u16string folder = IconFolderPath(directory, suffix);
    if (const platform::Status created = platform::CreateDirectory(folder); !created) {
        logging::LogDebug("GetDirIcon cannot create %s, error %u", platform::Utf16ToUtf8(folder).c_str(),
                          created.code());
        return {};
    }
    const auto info = platform::GetShellFileInfo(folder, platform::ShellIconSize::Small);
    if (const platform::Status removed = platform::RemoveDirectory(folder); !removed)
        logging::LogLess("GetDirIcon cannot remove %s, error %u", platform::Utf16ToUtf8(folder).c_str(),
                         removed.code());
    if (!info.ok() || info->iconPng.empty())
        return {};
    return EncodeBase64(IconFileFromPng(info->iconPng));
}

} // namespace

ScriptValue FolderDisGuise(const ScriptValue& param)
{
    if (bridge::MainWindow* window = bridge::MainWindow::Get()) {
        // Only read: a disguise completes before the call returns, so it
        // never has to hold off another operation.
        const std::int32_t busy = window->busyCode().load();
        if (busy != bridge::kIdle)
            return ScriptValue::Int(busy);
    }

    const ScriptValue& indexValue = param.At(0);
    const std::int32_t index = indexValue.IsInt() ? indexValue.GetInt() : 0;
    const bool knownIndex = index >= 0 && static_cast<std::size_t>(index) < kDisguiseSuffixes.size();

    std::int32_t result = kDisguiseComplete;
    for (const ScriptValue& element : param.At(1).Elements()) {
        // No suffix exists beyond the table: such a request renames nothing.
        if (!knownIndex) {
            ++result;
            continue;
        }
        const std::u16string path = element.ToString();
        const platform::Status renamed = platform::MoveFile(path, path + std::u16string(kDisguiseSuffixes[index]));
        if (!renamed) {
            logging::LogDebug("FolderDisGuise %s failed, error %u", platform::Utf16ToUtf8(path).c_str(),
                              renamed.code());
            ++result;
        }
    }
    return ScriptValue::Int(result);
}

ScriptValue GetDirIcon(const ScriptValue&)
{
    // The shell is asked about real folders, which need a writable place;
    // without a current directory every row gets the "no icon" text.
    const std::u16string directory = platform::CurrentDirectory().value_or({});
    ScriptValue rows = ScriptValue::Array();
    for (const std::u16string_view suffix : kDisguiseSuffixes) {
        const std::u16string icon = directory.empty() ? std::u16string() : DisguiseIcon(directory, suffix);
        rows.Append(ScriptValue::Array({ScriptValue::String(std::u16string(suffix)), ScriptValue::String(icon)}));
    }
    return rows;
}

} // namespace lockora::folders
