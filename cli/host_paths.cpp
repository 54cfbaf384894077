#include "cli/host_paths.h"

#include "platform/errors.h"
#include "platform/path.h"
#include "platform/text.h"

#include <filesystem>
#include <system_error>

namespace lockora::cli {
namespace {

// "\\" separates too where the system's paths use it.
constexpr std::string_view kSeparators = std::filesystem::path::preferred_separator == '/' ? "/" : "/\\";

std::string_view WithoutTrailingSlashes(std::string_view path)
{
    while (path.size() > 1 && kSeparators.find(path.back()) != std::string_view::npos)
        path.remove_suffix(1);
    return path;
}

} // namespace

platform::Result<std::u16string> ToProgramPath(std::string_view typed)
{
    if (typed.empty())
        return platform::Error(platform::kErrorPathNotFound);
    std::error_code error;
    // UTF-8 both ways, whatever the system's narrow code page is.
    const std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::path(std::u8string(typed.begin(), typed.end())), error);
    if (error)
        return platform::Error(platform::kErrorPathNotFound);
    const std::u8string normalText = absolute.lexically_normal().u8string();
    const std::string normal(WithoutTrailingSlashes(std::string(normalText.begin(), normalText.end())));
    return platform::ToWindowsPath(normal);
}

std::string DisplayBeside(std::string_view typed, std::u16string_view item)
{
    const std::string_view path = WithoutTrailingSlashes(typed);
    const std::size_t slash = path.find_last_of(kSeparators);
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
    const std::string_view last = path.substr(folder.size());
    // "." or ".." does not name the item's folder: print the whole path.
    if (last.empty() || last == "." || last == "..") {
        if (auto host = platform::ToHostPath(item))
            return std::move(host).value();
        return platform::Utf16ToUtf8(item);
    }
    const std::size_t separator = item.rfind(u'\\');
    const std::u16string_view name = separator == std::u16string_view::npos ? item : item.substr(separator + 1);
    return std::string(folder) + platform::WindowsNameToHost(name);
}

} // namespace lockora::cli
