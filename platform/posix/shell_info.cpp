#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/path.h"
#include "platform/posix/icon_theme.h"
#include "platform/posix/parent_folder.h"
#include "platform/shell.h"
#include "platform/text.h"

#include <cerrno>
#include <gio/gio.h>
#include <memory>
#include <sys/stat.h>

namespace platform {
namespace {

constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::size_t kMaxTypeNameUnits = 79;
constexpr char kDirectoryType[] = "inode/directory";

struct GFreeDeleter {
    void operator()(gchar* text) const { g_free(text); }
};
struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;
using GIconHandle = std::unique_ptr<GIcon, GObjectDeleter>;

int IconPixels(ShellIconSize size)
{
    return size == ShellIconSize::Small ? 16 : 32;
}

// The database writes "folder" and "plain text document"; shell type names
// start with a capital.
std::u16string ShellTypeName(std::u16string name)
{
    if (!name.empty())
        name[0] = AsciiToUpper(name[0]);
    if (name.size() > kMaxTypeNameUnits)
        name.resize(kMaxTypeNameUnits);
    return name;
}

std::string IconOfContentType(const char* contentType, ShellIconSize size)
{
    const GIconHandle icon(g_content_type_get_icon(contentType));
    if (!icon || !G_IS_THEMED_ICON(icon.get()))
        return {};
    std::vector<std::string> names;
    for (const gchar* const* name = g_themed_icon_get_names(G_THEMED_ICON(icon.get())); name && *name; ++name)
        names.emplace_back(*name);
    return posix::FindThemeIconPng(names, IconPixels(size));
}

ShellFileInfo FolderInfo(ShellIconSize size)
{
    const GText description(g_content_type_get_description(kDirectoryType));
    return {ShellTypeName(Utf8ToUtf16(description ? description.get() : "Folder")), IconOfContentType(kDirectoryType, size)};
}

ShellFileInfo DriveInfo(ShellIconSize size)
{
    return {u"Local Disk", posix::FindThemeIconPng({"drive-harddisk", "drive-harddisk-system"}, IconPixels(size))};
}

// A type the database does not know is named after its extension, as the
// Windows shell names unregistered types ("XEP File", or "File" without one).
std::u16string UnknownTypeName(std::u16string_view fileName)
{
    const auto dot = fileName.rfind(u'.');
    if (dot == std::u16string_view::npos || dot + 1 == fileName.size())
        return u"File";
    std::u16string name;
    for (const char16_t c : fileName.substr(dot + 1))
        name.push_back(AsciiToUpper(c));
    return name + u" File";
}

// Typed by name only, never by content: the Windows shell does the same, and
// a walk over thousands of files must not read them.
ShellFileInfo FileInfoByName(std::u16string_view fileName, ShellIconSize size)
{
    const std::string utf8 = Utf16ToUtf8(fileName);
    gboolean uncertain = FALSE;
    const GText contentType(g_content_type_guess(utf8.c_str(), nullptr, 0, &uncertain));
    if (!contentType)
        return {UnknownTypeName(fileName), {}};
    ShellFileInfo info;
    if (g_content_type_is_unknown(contentType.get())) {
        info.typeName = UnknownTypeName(fileName);
    } else {
        const GText description(g_content_type_get_description(contentType.get()));
        info.typeName = description ? Utf8ToUtf16(description.get()) : UnknownTypeName(fileName);
    }
    info.typeName = ShellTypeName(std::move(info.typeName));
    info.iconPng = IconOfContentType(contentType.get(), size);
    return info;
}

std::u16string_view LastName(std::u16string_view path)
{
    const auto separator = path.find_last_of(u"\\/");
    return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

} // namespace

Result<ShellFileInfo> GetShellFileInfo(std::u16string_view path, ShellIconSize size)
{
    auto parsed = ParseWindowsPath(path);
    if (!parsed)
        return parsed.error();
    auto host = ToHostPath(path);
    if (!host)
        return host.error();

    struct stat status {};
    if (::stat(host->c_str(), &status) != 0) {
        const int err = errno;
        const bool isRoot = parsed->components.empty();
        return Error(ErrorFromErrno(err, ErrnoContext::General, isRoot || !posix::ParentFolderExists(*host)));
    }
    if (parsed->components.empty())
        return DriveInfo(size);
    if (S_ISDIR(status.st_mode))
        return FolderInfo(size);
    return FileInfoByName(parsed->components.back(), size);
}

ShellFileInfo GetShellFileInfoByName(std::u16string_view name, std::uint32_t attributes, ShellIconSize size)
{
    if (attributes & kFileAttributeDirectory)
        return FolderInfo(size);
    return FileInfoByName(LastName(name), size);
}

} // namespace platform

#if defined(__SANITIZE_ADDRESS__)
// GIO's copy of the MIME database tables is made with plain malloc inside
// libgio and never freed. Only allocations made by libgio itself are excused:
// the strings and objects it hands to us come from libglib and libgobject,
// so a leak of ours still shows.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgio-2.0.so\n";
}
#endif
