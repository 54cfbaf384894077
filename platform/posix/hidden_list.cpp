#include "platform/posix/hidden_list.h"

#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_file.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace platform::hostfs {
namespace {

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

Status ListAsHidden(const std::string& folder, std::string_view name, bool hidden)
{
    const std::string file = (folder == "/" ? std::string() : folder) + "/.hidden";
    std::string text;
    if (auto read = hostio::ReadWholeFile(file)) {
        text = std::move(read).value();
    } else if (read.code() != kErrorFileNotFound) {
        return read.error();
    }

    std::vector<std::string> names = SplitLines(text);
    const auto listed = std::find(names.begin(), names.end(), name);
    if (hidden == (listed != names.end()))
        return {};
    if (hidden)
        names.emplace_back(name);
    else
        names.erase(listed);

    const bool anyLeft = std::any_of(names.begin(), names.end(), [](const std::string& line) { return !line.empty(); });
    if (!anyLeft) {
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            return Error(ErrorFromErrno(errno));
        return {};
    }
    std::string updated;
    for (const std::string& line : names) {
        if (!line.empty())
            updated += line + "\n";
    }
    return hostio::ReplaceFileAtomically(file, updated);
}

} // namespace platform::hostfs
