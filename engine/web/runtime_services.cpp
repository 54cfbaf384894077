#include "engine/web/runtime_services.h"

#include "platform/folders.h"
#include "platform/path.h"
#include "platform/system.h"
#include "platform/text.h"

#include <string>

namespace lockora::engine::web {
namespace {

using nlohmann::json;

json Failure(std::u16string_view text)
{
    return json{{"error", platform::Utf16ToUtf8(text)}};
}

json Value(json value)
{
    return json{{"value", std::move(value)}};
}

// A text argument as UTF-16; nothing when it is missing or not text.
std::optional<std::u16string> TextArgument(const json& args, std::size_t index)
{
    if (!args.is_array() || index >= args.size() || !args[index].is_string())
        return std::nullopt;
    return platform::Utf8ToUtf16(args[index].get_ref<const std::string&>());
}

std::u16string Join(const std::u16string& folder, const std::u16string& name)
{
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
        return folder + name;
    return folder + u'\\' + name;
}

bool IsDotEntry(const std::u16string& name)
{
    return name == u"." || name == u"..";
}

json List(const std::u16string& folder)
{
    json rows = json::array();
    if (folder.empty()) {
        for (const auto& drive : platform::LogicalDrives())
            rows.push_back(json::array({platform::Utf16ToUtf8(drive), 0}));
        return Value(std::move(rows));
    }
    auto entries = platform::FindFiles(Join(folder, u"*"));
    if (!entries.ok()) {
        // An empty folder is not a failure.
        if (entries.code() == 2)
            return Value(std::move(rows));
        return Failure(entries.error().message());
    }
    for (const auto& entry : *entries) {
        if (!IsDotEntry(entry.name))
            rows.push_back(json::array({platform::Utf16ToUtf8(entry.name), entry.attributes}));
    }
    return Value(std::move(rows));
}

json Scan(std::u16string pattern)
{
    json rows = json::array();
    // Pages write "/" where native code writes "\".
    for (char16_t& c : pattern) {
        if (c == u'/')
            c = u'\\';
    }
    const auto separator = pattern.find_last_of(u'\\');
    if (separator == std::u16string::npos)
        return Value(std::move(rows));
    const std::u16string folder = pattern.substr(0, separator + 1);
    auto entries = platform::FindFiles(pattern);
    if (!entries.ok())
        return Value(std::move(rows));
    for (const auto& entry : *entries) {
        if (!IsDotEntry(entry.name))
            rows.push_back(json::array({platform::Utf16ToUtf8(folder + entry.name), entry.attributes}));
    }
    return Value(std::move(rows));
}

} // namespace

json RunService(std::string_view op, const json& args, BrowserLauncher& launcher)
{
    if (op == "list") {
        const auto folder = TextArgument(args, 0);
        return folder ? List(*folder) : Failure(u"list needs a folder");
    }
    if (op == "scan") {
        const auto pattern = TextArgument(args, 0);
        return pattern ? Scan(*pattern) : Failure(u"scan needs a path");
    }
    if (op == "rename") {
        const auto from = TextArgument(args, 0);
        const auto to = TextArgument(args, 1);
        if (!from || !to)
            return Failure(u"rename needs two paths");
        const platform::Status moved = platform::MoveFile(*from, *to);
        return moved.ok() ? Value(true) : Failure(moved.error().message());
    }
    if (op == "windowsPath") {
        // A dropped file arrives as a host path (a file manager's file:// URL),
        // a typed one maybe starting with "~".
        const auto hostPath = TextArgument(args, 0);
        if (!hostPath)
            return Failure(u"windowsPath needs a path");
        std::string host = platform::Utf16ToUtf8(*hostPath);
        if (host == "~" || host.starts_with("~/")) {
            const auto home = platform::HomeFolder();
            if (!home)
                return Failure(u"no home folder");
            host = *home + host.substr(1);
        }
        const auto path = platform::ToWindowsPath(host);
        return path.ok() ? Value(platform::Utf16ToUtf8(*path)) : Failure(path.error().message());
    }
    if (op == "hostPath") {
        // What a drive or a path stands for on this machine, to show it.
        const auto path = TextArgument(args, 0);
        if (!path)
            return Failure(u"hostPath needs a path");
        const auto host = platform::ToHostPath(*path);
        return host.ok() ? Value(*host) : Failure(host.error().message());
    }
    if (op == "launch") {
        const auto address = TextArgument(args, 0);
        return Value(address && launcher.OpenWebAddress(platform::Utf16ToUtf8(*address)));
    }
    return Failure(u"unknown service");
}

} // namespace lockora::engine::web
