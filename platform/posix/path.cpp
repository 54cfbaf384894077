#include "platform/path.h"

#include "platform/common/backend.h"
#include "platform/common/name_rules.h"
#include "platform/posix/drive_table.h"

#include "platform/errors.h"
#include "platform/text.h"

#include <cstdlib>
#include <memory>
#include <mutex>

namespace platform {
namespace {

constexpr char16_t kMappedBase = 0xF000;
constexpr std::size_t kMaxHostNameBytes = 255;

struct TableHolder {
    std::mutex mutex;
    std::shared_ptr<const DriveTable> table = std::make_shared<const DriveTable>(DriveTable::FromEnvironment());
};

TableHolder& Holder()
{
    static TableHolder holder;
    return holder;
}

std::shared_ptr<const DriveTable> SharedTable()
{
    auto& holder = Holder();
    std::lock_guard lock(holder.mutex);
    return holder.table;
}

std::string NormaliseHostRoot(std::string_view root)
{
    std::string result(root);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

} // namespace

Result<DriveTable> DriveTable::Parse(std::string_view spec)
{
    DriveTable table;
    while (!spec.empty()) {
        const auto end = spec.find(';');
        std::string_view entry = spec.substr(0, end);
        spec = end == std::string_view::npos ? std::string_view{} : spec.substr(end + 1);
        if (entry.empty())
            continue;
        if (entry.size() < 3 || entry[1] != '=' || entry[2] != '/')
            return Error(kErrorInvalidParameter);
        const char16_t letter = AsciiToUpper(static_cast<char16_t>(entry[0]));
        if (letter < u'A' || letter > u'Z')
            return Error(kErrorInvalidParameter);
        table.Map(letter, std::string(entry.substr(2)));
    }
    return table;
}

DriveTable DriveTable::FromEnvironment()
{
    if (const char* spec = std::getenv("LOCKORA_DRIVES"); spec && *spec) {
        if (auto parsed = Parse(spec); parsed.ok())
            return std::move(parsed).value();
    }
    DriveTable table;
    table.Map(u'Z', "/");
    return table;
}

void DriveTable::Map(char16_t letter, std::string hostRoot)
{
    drives_[AsciiToUpper(letter)] = NormaliseHostRoot(hostRoot);
}

const std::string* DriveTable::Root(char16_t letter) const
{
    const auto it = drives_.find(AsciiToUpper(letter));
    return it == drives_.end() ? nullptr : &it->second;
}

DriveTable CurrentDriveTable()
{
    return *SharedTable();
}

void SetDriveTable(DriveTable table)
{
    auto& holder = Holder();
    auto replacement = std::make_shared<const DriveTable>(std::move(table));
    std::lock_guard lock(holder.mutex);
    holder.table = std::move(replacement);
}

Result<std::string> ToHostPath(std::u16string_view path)
{
    auto parsed = ParseWindowsPath(path);
    if (!parsed)
        return parsed.error();
    const auto table = SharedTable();
    const std::string* root = table->Root(parsed->drive);
    if (!root)
        return Error(kErrorPathNotFound);
    std::string host = *root;
    for (const auto& name : parsed->components) {
        if (host.empty() || host.back() != '/')
            host.push_back('/');
        host += WindowsNameToHost(name);
    }
    return host;
}

Result<std::u16string> ToWindowsPath(std::string_view hostPath)
{
    if (hostPath.empty() || hostPath[0] != '/' || hostPath.find('\0') != std::string_view::npos)
        return Error(kErrorPathNotFound);
    std::vector<std::string> names;
    for (std::size_t pos = 0; pos < hostPath.size();) {
        const auto end = std::min(hostPath.find('/', pos), hostPath.size());
        const std::string_view name = hostPath.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        names.emplace_back(name);
    }

    // The drive whose root holds the most leading names wins.
    const auto table = SharedTable();
    char16_t bestDrive = 0;
    std::size_t bestDepth = 0;
    for (const auto& [letter, root] : table->Drives()) {
        std::vector<std::string_view> rootNames;
        for (std::size_t pos = 0; pos < root.size();) {
            const auto end = std::min(root.find('/', pos), root.size());
            if (end > pos)
                rootNames.push_back(std::string_view(root).substr(pos, end - pos));
            pos = end + 1;
        }
        if (rootNames.size() > names.size())
            continue;
        bool matches = true;
        for (std::size_t i = 0; i < rootNames.size() && matches; ++i)
            matches = rootNames[i] == names[i];
        if (matches && (bestDrive == 0 || rootNames.size() > bestDepth)) {
            bestDrive = letter;
            bestDepth = rootNames.size();
        }
    }
    if (bestDrive == 0)
        return Error(kErrorPathNotFound);

    std::u16string windows{bestDrive, u':', u'\\'};
    for (std::size_t i = bestDepth; i < names.size(); ++i) {
        if (i > bestDepth)
            windows.push_back(u'\\');
        windows += HostNameToWindows(names[i]);
    }
    return windows;
}

std::u16string HostNameToWindows(std::string_view hostName)
{
    std::u16string name;
    name.reserve(hostName.size());
    for (std::size_t pos = 0; pos < hostName.size();) {
        // Decode one sequence at a time so that a stray byte maps alone.
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(hostName[pos]);
        if (lead >= 0xC0)
            length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::string_view sequence = hostName.substr(pos, length);
        if (lead < 0x80) {
            name.push_back(IsForbiddenInWindowsName(lead) ? static_cast<char16_t>(kMappedBase + lead) : lead);
            pos += 1;
        } else if (sequence.size() == length && IsValidUtf8(sequence)) {
            name += Utf8ToUtf16(sequence);
            pos += length;
        } else {
            name.push_back(static_cast<char16_t>(kMappedBase + lead));
            pos += 1;
        }
    }
    return name;
}

std::string WindowsNameToHost(std::u16string_view windowsName)
{
    std::string host;
    host.reserve(windowsName.size());
    std::size_t runStart = 0;
    const auto flush = [&](std::size_t end) {
        host += Utf16ToUtf8(windowsName.substr(runStart, end - runStart));
    };
    for (std::size_t i = 0; i < windowsName.size(); ++i) {
        const char16_t c = windowsName[i];
        if (c < kMappedBase || c > kMappedBase + 0xFF)
            continue;
        const char16_t code = c - kMappedBase;
        if (code >= 0x80 || IsForbiddenInWindowsName(code)) {
            flush(i);
            host.push_back(static_cast<char>(code));
            runStart = i + 1;
        }
    }
    flush(windowsName.size());
    return host;
}

namespace backend {

bool NameFitsFileSystem(std::u16string_view name)
{
    return WindowsNameToHost(name).size() <= kMaxHostNameBytes;
}

} // namespace backend

std::vector<std::u16string> LogicalDrives()
{
    std::vector<std::u16string> drives;
    for (const auto& [letter, root] : SharedTable()->Drives())
        drives.push_back(std::u16string{letter, u':', u'\\'});
    return drives;
}

} // namespace platform
