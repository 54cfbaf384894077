#include "shell/context_menu.h"

#include "log/diagnostic_log.h"
#include "shell/desktop_integration.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <array>

namespace lockora::shell {
namespace {

using platform::HKEY_CLASSES_ROOT;
using platform::RegistryValue;

struct Verb {
    std::u16string_view classKey;
    std::u16string_view verbKey; // below the class key
    std::u16string_view commandWord;
};

constexpr std::u16string_view kCommandSuffix = u"\\command";

// Registration and removal both go through this order.
constexpr std::array<Verb, 6> kVerbs = {{
    {u"*", u"\\shell\\Encrypted With Ombrix Lockora Sentinex", u"encrypt"},
    {u"*", u"\\shell\\Delete completely With Ombrix Lockora Sentinex", u"remove"},
    {u"Folder", u"\\shell\\Encrypted With Ombrix Lockora Sentinex", u"encrypt"},
    {u"Folder", u"\\shell\\Delete completely With Ombrix Lockora Sentinex", u"remove"},
    {kContainerType, u"\\shell\\Open", u"open"},
    {kContainerType, u"\\shell\\Decrypted With Ombrix Lockora Sentinex", u"decrypt"},
}};
// The verbs of files and folders come before ".xep", the container's after.
constexpr std::size_t kFileAndFolderVerbs = 4;

std::u16string VerbKeyPath(const Verb& verb)
{
    return std::u16string(verb.classKey) + std::u16string(verb.verbKey);
}

// The first icon of the executable.
std::u16string IconReference(std::u16string_view executable)
{
    return std::u16string(executable) + u",0";
}

platform::Status SetDefaultValue(std::u16string_view keyPath, std::u16string text)
{
    auto created = platform::RegCreateKeyEx(HKEY_CLASSES_ROOT, keyPath);
    if (!created.ok())
        return created.error();
    return platform::RegSetValueEx(created->key, u"", RegistryValue::String(std::move(text)));
}

platform::Status RegisterVerb(const Verb& verb, std::u16string_view executable)
{
    const std::u16string verbKey = VerbKeyPath(verb);
    PLATFORM_TRY(SetDefaultValue(verbKey + std::u16string(kCommandSuffix),
                                 std::u16string(executable) + u" " + std::u16string(verb.commandWord) + u" \"%1\""));
    return platform::RegSetKeyValue(HKEY_CLASSES_ROOT, verbKey, u"Icon",
                                    RegistryValue::String(IconReference(executable)));
}

platform::Status RegisterAll()
{
    const std::u16string executable = QuotedExecutable();
    for (std::size_t i = 0; i < kFileAndFolderVerbs; ++i)
        PLATFORM_TRY(RegisterVerb(kVerbs[i], executable));
    PLATFORM_TRY(SetDefaultValue(kContainerExtension, std::u16string(kContainerType)));
    for (std::size_t i = kFileAndFolderVerbs; i < kVerbs.size(); ++i)
        PLATFORM_TRY(RegisterVerb(kVerbs[i], executable));
    return SetDefaultValue(std::u16string(kContainerType) + u"\\DefaultIcon", IconReference(executable));
}

} // namespace

std::u16string QuotedExecutable()
{
    // The executable is the command line's first argument; here its path is
    // known directly and is already in Windows form.
    return u"\"" + platform::ModuleFileName() + u"\"";
}

bool RegisterContextMenu()
{
    const platform::Status registered = RegisterAll();
    if (!registered)
        logging::LogDebug("Context menu registration stopped, error %u", registered.code());
    return registered.ok();
}

void UnregisterContextMenu()
{
    for (const Verb& verb : kVerbs) {
        const std::u16string verbKey = VerbKeyPath(verb);
        (void)platform::RegDeleteKey(HKEY_CLASSES_ROOT, verbKey + std::u16string(kCommandSuffix));
        (void)platform::RegDeleteKey(HKEY_CLASSES_ROOT, verbKey);
    }
}

bridge::ScriptValue AddContext(const bridge::ScriptValue&)
{
    (void)RegisterContextMenu();
    if (const auto program = platform::ToHostPath(platform::ModuleFileName()))
        (void)InstallDesktopIntegration(*program);
    return bridge::ScriptValue::Int(0);
}

bridge::ScriptValue RemoveContext(const bridge::ScriptValue&)
{
    UnregisterContextMenu();
    RemoveDesktopIntegration();
    return bridge::ScriptValue::Int(0);
}

} // namespace lockora::shell
