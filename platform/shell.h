// The desktop shell: type names and icons of files, and opening an item with
// its default application (SHGetFileInfo and ShellExecute "open").
//
// Type names and icons come from the shared MIME database and the installed
// icon themes; opening goes through `xdg-open`.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

enum class ShellIconSize {
    Large, // 32 pixels, the shell's normal icon
    Small, // 16 pixels
};

struct ShellFileInfo {
    // "Folder", "Plain text document", "XEP File", ...; at most 79 units, as
    // the Windows structure holds it.
    std::u16string typeName;
    // The icon as PNG bytes; empty when no installed theme has one.
    std::string iconPng;
};

// Type name and icon of an existing item: a file, a folder, or a drive given
// as "C:" or "C:\". Errors: 2 when the item does not exist, 3 when its
// folder does not (or the drive is not mapped), besides those of the path.
Result<ShellFileInfo> GetShellFileInfo(std::u16string_view path, ShellIconSize size);

// Type name and icon from the name alone, as if an item with these file
// attributes existed (the "use file attributes" form): 0x10 means a folder,
// anything else a file typed by its extension. Touches no file.
ShellFileInfo GetShellFileInfoByName(std::u16string_view name, std::uint32_t attributes, ShellIconSize size);

// ShellExecute results: above 32 is success, these are the failures.
inline constexpr int kShellOpenSucceeded = 42;
inline constexpr int kShellErrorFileNotFound = 2;
inline constexpr int kShellErrorPathNotFound = 3;
inline constexpr int kShellErrorAccessDenied = 5;
inline constexpr int kShellErrorNoAssociation = 31;

// Opens a file or folder with its default application. Returns a value
// above 32 when the launch was handed over, 2 or 3 when the item or its
// folder does not exist, 5 when it cannot be reached, 31 when nothing can
// open it.
int ShellOpen(std::u16string_view path);

// What actually launches: receives the host path of an existing item and
// returns the ShellExecute-style result. The default runs `xdg-open`.
using ShellOpenLauncher = std::function<int(const std::string& hostPath)>;

// Installs a launcher (an empty one restores `xdg-open`) and returns the
// previous one, so that tests can put it back.
ShellOpenLauncher SetShellOpenLauncher(ShellOpenLauncher launcher);

} // namespace platform
