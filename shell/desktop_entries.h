// What a Linux desktop needs to offer the program as Explorer does: a
// launcher that opens containers, the container type, and the encrypt,
// decrypt and shred verbs in the file managers' own formats. Only the texts
// are made here; shell/desktop_integration installs them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lockora::shell {

// The launcher's file name without ".desktop", also the icon's name.
inline constexpr std::string_view kDesktopId = "ombrix-lockora-sentinex";
// The container type, for files named "*.xep".
inline constexpr std::string_view kContainerMimeType = "application/x-lockora-container";
// Thunar's actions are told apart from the user's by this prefix of their ids.
inline constexpr std::string_view kThunarIdPrefix = "ombrix-lockora-sentinex-";

// A text in the pages' two languages.
struct Localized {
    std::string_view en;
    std::string_view zh;
};

// The catalogue's texts the desktop shows.
inline constexpr Localized kProductName = {"Ombrix Lockora Sentinex", "Ombrix Lockora Sentinex"};
inline constexpr Localized kContainerComment = {"Encrypted files", "加密文件"};

// The program's verbs on files and folders, as its command line names them.
struct DesktopVerb {
    std::string_view word; // "encrypt"
    Localized name;
    bool containersOnly; // offered only on containers, as decrypt is
};
inline constexpr DesktopVerb kDesktopVerbs[] = {
    {"encrypt", {"Encrypt Files", "文件加密"}, false},
    {"decrypt", {"Decrypt Files", "文件解密"}, true},
    {"remove", {"Shred Files", "文件粉碎"}, false},
};

// A file to install below the user's data folder.
struct DesktopFile {
    std::string path; // relative, "/"-separated
    std::string content;
    bool executable = false;
};

// Every file for the program at the host path `executable`; the Nautilus
// scripts are named in `language` ("zh..." Chinese, else English), as
// scripts carry one name.
std::vector<DesktopFile> DesktopFiles(const std::string& executable, std::string_view language);

// `executable` as one argument of a desktop entry's Exec key.
std::string ExecArgument(std::string_view executable);

// Puts our actions for `executable` into `uca`, the text of Thunar's
// uca.xml (empty when there is no such file), in place of any older ones of
// ours; the user's actions stay as they are. False, with `uca` unchanged,
// when the text has no list of actions to add to.
bool AddThunarActions(std::string& uca, const std::string& executable);
// The text without our actions; empty when nothing but the list we made
// is left (the file is then ours to remove).
std::string RemoveThunarActions(std::string uca);

} // namespace lockora::shell
