#include "shell/desktop_entries.h"

namespace lockora::shell {
namespace {

constexpr std::string_view kUcaSkeleton = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";
constexpr std::string_view kUcaEnd = "</actions>";

std::string Replaced(std::string_view text, char from, std::string_view to)
{
    std::string out;
    for (const char c : text) {
        if (c == from)
            out += to;
        else
            out += c;
    }
    return out;
}

// One word for sh: in single quotes, a quote inside closed and escaped.
std::string ShellQuoted(std::string_view text)
{
    return "'" + Replaced(text, '\'', "'\\''") + "'";
}

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

// A key file's string value: a backslash is written twice.
std::string KeyFileValue(std::string_view text)
{
    return Replaced(text, '\\', "\\\\");
}

// Name and Name[zh_CN] lines of a key file group.
std::string LocalizedKey(std::string_view key, const Localized& text)
{
    return std::string(key) + "=" + std::string(text.en) + "\n" + std::string(key) + "[zh_CN]=" + std::string(text.zh) +
           "\n";
}

// A command line for sh that starts the program once for every path that
// follows it, none waiting for another, as Explorer starts one per item.
std::string StartEachCommand(const std::string& executable, const DesktopVerb& verb)
{
    return "sh -c 'for f do \"$0\" " + std::string(verb.word) + " \"$f\" & done' " + ShellQuoted(executable);
}

std::string Launcher(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n" +
           LocalizedKey("Name", kProductName) + LocalizedKey("Comment", kContainerComment) +
           "Exec=" + ExecArgument(executable) + " open %f\n"
           "Icon=" + std::string(kDesktopId) + "\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "MimeType=" + std::string(kContainerMimeType) + ";\n";
}

std::string MimePackage()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(kContainerMimeType) + "\">\n"
           "    <comment>" + std::string(kContainerComment.en) + "</comment>\n"
           "    <comment xml:lang=\"zh_CN\">" + std::string(kContainerComment.zh) + "</comment>\n"
           "    <icon name=\"" + std::string(kDesktopId) + "\"/>\n"
           "    <glob pattern=\"*.xep\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

// A Dolphin service menu of the verbs for files and folders, or of those
// for containers only. Dolphin starts one program per item for %f.
std::string ServiceMenu(const std::string& executable, bool containers)
{
    std::string actions;
    std::string groups;
    for (const DesktopVerb& verb : kDesktopVerbs) {
        if (verb.containersOnly != containers)
            continue;
        actions += std::string(verb.word) + ";";
        groups += "\n[Desktop Action " + std::string(verb.word) + "]\n" + LocalizedKey("Name", verb.name) +
                  "Icon=" + std::string(kDesktopId) + "\n" + "Exec=" + ExecArgument(executable) + " " +
                  std::string(verb.word) + " %f\n";
    }
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "Name=" + std::string(kProductName.en) + "\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "MimeType=" + std::string(containers ? kContainerMimeType : "all/all") + ";\n"
           "Actions=" + actions + "\n" + groups;
}

std::string NemoAction(const std::string& executable, const DesktopVerb& verb)
{
    return "[Nemo Action]\n"
           "Active=true\n" +
           LocalizedKey("Name", verb.name) +
           "Icon-Name=" + std::string(kDesktopId) + "\n"
           "Exec=" + KeyFileValue(StartEachCommand(executable, verb)) + " %F\n"
           "Quote=double\n"
           "Selection=notnone\n"
           "Extensions=" + (verb.containersOnly ? "xep;" : "any;") + "\n";
}

// A Nautilus script gets the selected names, relative to its working folder.
std::string NautilusScript(const std::string& executable, const DesktopVerb& verb)
{
    const std::string start = "    " + ShellQuoted(executable) + " " + std::string(verb.word) + " \"$f\" &\n";
    return "#!/bin/sh\n"
           "# " + std::string(kProductName.en) + ": " + std::string(verb.name.en) + "\n"
           "for f do\n"
           "    case $f in /*) ;; *) f=$PWD/$f ;; esac\n" +
           (verb.containersOnly ? "    case $f in *.[xX][eE][pP]) ;; *) continue ;; esac\n" : "") + start + "done\n";
}

std::string ThunarAction(const std::string& executable, const DesktopVerb& verb)
{
    std::string action = "<action>\n"
                         "\t<icon>" + std::string(kDesktopId) + "</icon>\n"
                         "\t<name>" + std::string(verb.name.en) + "</name>\n"
                         "\t<name xml:lang=\"zh_CN\">" + std::string(verb.name.zh) + "</name>\n"
                         "\t<unique-id>" + std::string(kThunarIdPrefix) + std::string(verb.word) + "</unique-id>\n"
                         "\t<command>" + XmlEscaped(StartEachCommand(executable, verb)) + " %F</command>\n"
                         "\t<description></description>\n";
    if (verb.containersOnly)
        return action + "\t<patterns>*.xep;*.XEP</patterns>\n\t<other-files/>\n</action>\n";
    return action + "\t<patterns>*</patterns>\n\t<directories/>\n\t<audio-files/>\n\t<image-files/>\n"
                    "\t<other-files/>\n\t<text-files/>\n\t<video-files/>\n</action>\n";
}

} // namespace

std::string ExecArgument(std::string_view executable)
{
    std::string quoted = "\"";
    for (const char c : executable) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return KeyFileValue(quoted + "\"");
}

std::vector<DesktopFile> DesktopFiles(const std::string& executable, std::string_view language)
{
    const std::string id(kDesktopId);
    std::vector<DesktopFile> files{
        {"applications/" + id + ".desktop", Launcher(executable)},
        {"mime/packages/" + id + ".xml", MimePackage()},
        // Dolphin runs only service menus that may be executed.
        {"kio/servicemenus/" + id + ".desktop", ServiceMenu(executable, false), true},
        {"kio/servicemenus/" + id + "-containers.desktop", ServiceMenu(executable, true), true},
    };
    const bool chinese = language.starts_with("zh");
    for (const DesktopVerb& verb : kDesktopVerbs) {
        files.push_back({"nemo/actions/" + id + "-" + std::string(verb.word) + ".nemo_action", NemoAction(executable, verb)});
        files.push_back({"nautilus/scripts/" + std::string(chinese ? verb.name.zh : verb.name.en),
                         NautilusScript(executable, verb), true});
    }
    return files;
}

bool AddThunarActions(std::string& uca, const std::string& executable)
{
    std::string text = uca.empty() ? std::string(kUcaSkeleton) : RemoveThunarActions(uca);
    if (text.empty())
        text = kUcaSkeleton;
    const auto end = text.rfind(kUcaEnd);
    if (end == std::string::npos)
        return false;
    std::string ours;
    for (const DesktopVerb& verb : kDesktopVerbs)
        ours += ThunarAction(executable, verb);
    text.insert(end, ours);
    uca = std::move(text);
    return true;
}

std::string RemoveThunarActions(std::string uca)
{
    const std::string ourId = "<unique-id>" + std::string(kThunarIdPrefix);
    for (std::size_t at = 0; (at = uca.find("<action>", at)) != std::string::npos;) {
        const auto close = uca.find("</action>", at);
        if (close == std::string::npos)
            break;
        std::size_t end = close + std::string_view("</action>").size();
        const auto id = uca.find(ourId, at);
        if (id == std::string::npos || id > close) {
            at = end;
            continue;
        }
        if (end < uca.size() && uca[end] == '\n')
            ++end;
        uca.erase(at, end - at);
    }
    return uca == kUcaSkeleton ? std::string() : uca;
}

} // namespace lockora::shell
