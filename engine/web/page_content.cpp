#include "engine/web/page_content.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <utility>

namespace lockora::engine::web {
namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

// The offset just past the opening tag `name` ("<head", "<html", "<!doctype"),
// found without regard to letter case; npos when there is none.
std::size_t PastOpeningTag(const std::string& lowerHtml, std::string_view name)
{
    std::size_t at = 0;
    while ((at = lowerHtml.find(name, at)) != std::string::npos) {
        const std::size_t after = at + name.size();
        // "<header" is not "<head".
        if (after < lowerHtml.size() &&
            (lowerHtml[after] == '>' || lowerHtml[after] == ' ' || lowerHtml[after] == '\t' ||
             lowerHtml[after] == '\n' || lowerHtml[after] == '\r')) {
            const std::size_t close = lowerHtml.find('>', after);
            return close == std::string::npos ? std::string::npos : close + 1;
        }
        at = after;
    }
    return std::string::npos;
}

} // namespace

std::string_view ContentTypeFor(std::string_view itemPath)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 21> kTypes{{
        {"html", "text/html; charset=utf-8"},
        {"htm", "text/html; charset=utf-8"},
        {"js", "text/javascript; charset=utf-8"},
        {"mjs", "text/javascript; charset=utf-8"},
        {"tis", "text/javascript; charset=utf-8"},
        {"css", "text/css; charset=utf-8"},
        {"json", "application/json"},
        {"txt", "text/plain; charset=utf-8"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},
        {"bmp", "image/bmp"},
        {"svg", "image/svg+xml"},
        {"ico", "image/x-icon"},
        {"webp", "image/webp"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"ttf", "font/ttf"},
        {"otf", "font/otf"},
        {"eot", "application/vnd.ms-fontobject"},
    }};
    const auto slash = itemPath.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? itemPath : itemPath.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string_view::npos) {
        const std::string extension = Lower(name.substr(dot + 1));
        for (const auto& [known, type] : kTypes) {
            if (extension == known)
                return type;
        }
    }
    return "application/octet-stream";
}

bool IsHtml(std::string_view contentType)
{
    return contentType.starts_with("text/html");
}

std::string InjectRuntimeScript(std::string_view html)
{
    const std::string tag = "<script src=\"" + std::string(kRuntimeScriptPath) + "\"></script>";
    const std::string lower = Lower(html);
    std::size_t at = PastOpeningTag(lower, "<head");
    if (at == std::string::npos)
        at = PastOpeningTag(lower, "<html");
    if (at == std::string::npos)
        at = PastOpeningTag(lower, "<!doctype");
    if (at == std::string::npos)
        at = lower.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::string page;
    page.reserve(html.size() + tag.size());
    page.append(html.substr(0, at));
    page.append(tag);
    page.append(html.substr(at));
    return page;
}

WindowSize RequestedWindowSize(std::string_view html)
{
    constexpr std::string_view kName = "name=\"window-size\"";
    constexpr std::string_view kContent = "content=\"";
    const std::string lower = Lower(html);
    WindowSize size;
    const auto name = lower.find(kName);
    if (name == std::string::npos)
        return size;
    const auto tagStart = lower.rfind('<', name);
    const auto tagEnd = lower.find('>', name);
    if (tagStart == std::string::npos || tagEnd == std::string::npos)
        return size;
    const auto content = lower.find(kContent, tagStart);
    if (content == std::string::npos || content > tagEnd)
        return size;
    int width = 0;
    int height = 0;
    char separator = 0;
    std::istringstream text(lower.substr(content + kContent.size(), tagEnd - content));
    if (text >> width >> separator >> height && separator == 'x' && width >= 100 && height >= 100 && width <= 10000 &&
        height <= 10000)
        size = {width, height};
    return size;
}

std::string EscapeAttribute(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped.push_back(c);
        }
    }
    return escaped;
}

} // namespace lockora::engine::web
