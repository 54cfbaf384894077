#include "shell/context_menu.h"

#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace lockora::shell {
namespace {

using bridge::ScriptValue;
using platform::HKEY_CLASSES_ROOT;
using testing::SandboxTest;

constexpr std::u16string_view kEncryptVerb = u"\\shell\\Encrypted With Ombrix Lockora Sentinex";
constexpr std::u16string_view kDeleteVerb = u"\\shell\\Delete completely With Ombrix Lockora Sentinex";
constexpr std::u16string_view kOpenVerb = u"\\shell\\Open";
constexpr std::u16string_view kDecryptVerb = u"\\shell\\Decrypted With Ombrix Lockora Sentinex";

struct VerbRow {
    std::u16string key;
    std::u16string word;
};

std::vector<VerbRow> VerbRows()
{
    return {{u"*" + std::u16string(kEncryptVerb), u"encrypt"},
            {u"*" + std::u16string(kDeleteVerb), u"remove"},
            {u"Folder" + std::u16string(kEncryptVerb), u"encrypt"},
            {u"Folder" + std::u16string(kDeleteVerb), u"remove"},
            {u"mmeptfile" + std::u16string(kOpenVerb), u"open"},
            {u"mmeptfile" + std::u16string(kDecryptVerb), u"decrypt"}};
}

// The value, or "<missing>" when the key or value does not exist.
std::u16string StringValue(std::u16string_view keyPath, std::u16string_view name)
{
    auto key = platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, keyPath);
    if (!key.ok())
        return u"<missing>";
    auto value = platform::RegQueryValueEx(*key, name);
    if (!value.ok())
        return u"<missing>";
    EXPECT_EQ(value->type, platform::RegistryType::Sz);
    return value->text;
}

bool KeyExists(std::u16string_view keyPath)
{
    return platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, keyPath).ok();
}

#ifdef _WIN32
// Every key the registration writes, with its values and subkeys: what a
// second registration must leave exactly as the first one wrote it.
std::map<std::string, std::string> RegistrationTexts(const testing::Sandbox&)
{
    std::vector<std::u16string> keys = {u".xep", u"mmeptfile", u"mmeptfile\\DefaultIcon", u"mmeptfile\\shell"};
    for (const VerbRow& row : VerbRows()) {
        keys.push_back(row.key);
        keys.push_back(row.key + u"\\command");
    }
    std::map<std::string, std::string> texts;
    for (const std::u16string& keyPath : keys) {
        auto key = platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, keyPath);
        std::string text = key.ok() ? "" : "<missing>";
        if (key.ok()) {
            for (const std::u16string& name : platform::RegEnumValueNames(*key).value_or({}))
                text += platform::Utf16ToUtf8(name) + "=" + platform::Utf16ToUtf8(StringValue(keyPath, name)) + "\n";
            for (const std::u16string& subkey : platform::RegEnumKeyNames(*key).value_or({}))
                text += "[" + platform::Utf16ToUtf8(subkey) + "]\n";
        }
        texts[platform::Utf16ToUtf8(keyPath)] = text;
    }
    return texts;
}
#else
// Every hive file's text, by name: what a second registration must leave
// exactly as the first one wrote it.
std::map<std::string, std::string> RegistrationTexts(const testing::Sandbox& sandbox)
{
    std::map<std::string, std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.registryFolder())) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        texts[entry.path().filename().string()] = text.str();
    }
    return texts;
}
#endif

class ContextMenuTest : public SandboxTest {};

TEST_F(ContextMenuTest, RegistrationWritesEveryVerbWithCommandAndIcon)
{
    EXPECT_EQ(AddContext(ScriptValue::Bool(true)), ScriptValue::Int(0));

    const std::u16string exe = u"\"C:\\App\\Lockora.exe\"";
    EXPECT_EQ(QuotedExecutable(), exe);
    for (const VerbRow& row : VerbRows()) {
        EXPECT_EQ(StringValue(row.key + u"\\command", u""), exe + u" " + row.word + u" \"%1\"")
            << platform::Utf16ToUtf8(row.key);
        EXPECT_EQ(StringValue(row.key, u"Icon"), exe + u",0") << platform::Utf16ToUtf8(row.key);
        // The key name is the menu text; no display text of its own.
        EXPECT_EQ(StringValue(row.key, u""), u"<missing>");
    }
    EXPECT_EQ(StringValue(u".xep", u""), u"mmeptfile");
    EXPECT_EQ(StringValue(u"mmeptfile\\DefaultIcon", u""), exe + u",0");
}

TEST_F(ContextMenuTest, RegisteringTwiceChangesNothing)
{
    ASSERT_TRUE(RegisterContextMenu());
    const auto first = RegistrationTexts(sandbox());
    ASSERT_TRUE(RegisterContextMenu());
    EXPECT_EQ(RegistrationTexts(sandbox()), first);

    auto command = platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, VerbRows()[0].key + u"\\command");
    ASSERT_TRUE(command.ok());
    EXPECT_EQ(platform::RegEnumValueNames(*command).value_or({}), std::vector<std::u16string>{u""});
    auto shellKey = platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, u"mmeptfile\\shell");
    ASSERT_TRUE(shellKey.ok());
    EXPECT_EQ(platform::RegEnumKeyNames(*shellKey).value_or({}).size(), 2u);
}

TEST_F(ContextMenuTest, RemovalKeepsTheFileTypeAndItsIcon)
{
    ASSERT_TRUE(RegisterContextMenu());
    EXPECT_EQ(RemoveContext(), ScriptValue::Int(0));

    for (const VerbRow& row : VerbRows()) {
        EXPECT_FALSE(KeyExists(row.key + u"\\command")) << platform::Utf16ToUtf8(row.key);
        EXPECT_FALSE(KeyExists(row.key)) << platform::Utf16ToUtf8(row.key);
    }
    EXPECT_EQ(StringValue(u".xep", u""), u"mmeptfile");
    EXPECT_EQ(StringValue(u"mmeptfile\\DefaultIcon", u""), u"\"C:\\App\\Lockora.exe\",0");
    auto shellKey = platform::RegOpenKeyEx(HKEY_CLASSES_ROOT, u"mmeptfile\\shell");
    ASSERT_TRUE(shellKey.ok());
    EXPECT_TRUE(platform::RegEnumKeyNames(*shellKey).value_or({u"?"}).empty());
}

TEST_F(ContextMenuTest, RemovalWithoutRegistrationIsHarmless)
{
    EXPECT_EQ(RemoveContext(), ScriptValue::Int(0));
#ifdef _WIN32
    // The class root of Windows has a "*" key of its own.
    for (const VerbRow& row : VerbRows())
        EXPECT_FALSE(KeyExists(row.key)) << platform::Utf16ToUtf8(row.key);
#else
    EXPECT_FALSE(KeyExists(u"*"));
#endif
    EXPECT_FALSE(KeyExists(u".xep"));
}

TEST_F(ContextMenuTest, MovedProgramKeepsOldCommandsUntilRegisteredAgain)
{
    ASSERT_TRUE(RegisterContextMenu());
    platform::SetModuleFileName(u"D:\\Tools\\prog.exe");
    const std::u16string encrypt = u"Folder" + std::u16string(kEncryptVerb) + u"\\command";
    EXPECT_EQ(StringValue(encrypt, u""), u"\"C:\\App\\Lockora.exe\" encrypt \"%1\"");
    ASSERT_TRUE(RegisterContextMenu());
    EXPECT_EQ(StringValue(encrypt, u""), u"\"D:\\Tools\\prog.exe\" encrypt \"%1\"");
    EXPECT_EQ(StringValue(u"mmeptfile\\DefaultIcon", u""), u"\"D:\\Tools\\prog.exe\",0");
}

#ifndef _WIN32
// The registry folder is the POSIX backend's stand-in for the registry.
TEST_F(ContextMenuTest, FirstFailureStopsTheRegistration)
{
    // A registry folder that cannot be created: every write fails.
    testing::WriteHostFile(sandbox(), u"C:\\blocker", "file");
    ::setenv("LOCKORA_REGISTRY", (sandbox().host(u"C:\\blocker") + "/registry").c_str(), 1);
    EXPECT_FALSE(RegisterContextMenu());
    EXPECT_EQ(AddContext(), ScriptValue::Int(0));
    ::setenv("LOCKORA_REGISTRY", sandbox().registryFolder().c_str(), 1);
    EXPECT_FALSE(KeyExists(u"*"));
}
#endif

} // namespace
} // namespace lockora::shell
