#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

namespace fs = std::filesystem;
using lockora::testing::SandboxTest;

constexpr const char16_t* kSettingsKey = u"SOFTWARE\\Ombrix\\Ombrix Lockora Sentinex";

class RegistryTest : public SandboxTest {
protected:
    std::string HivePath() { return sandbox().registryFolder() + "/machine.reg"; }

    static std::string ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static void WriteBytes(const std::string& path, std::string_view bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    RegistryKey CreateKey(RegistryHive hive, std::u16string_view path)
    {
        auto created = RegCreateKeyEx(hive, path);
        EXPECT_TRUE(created.ok()) << "creating the key failed with " << created.code();
        return std::move(created.value().key);
    }

    // The value as a fresh open of the key reads it from the hive file.
    Result<RegistryValue> Reread(RegistryHive hive, std::u16string_view path, std::u16string_view name)
    {
        auto key = RegOpenKeyEx(hive, path);
        if (!key)
            return key.error();
        return RegQueryValueEx(*key, name);
    }
};

TEST_F(RegistryTest, StringsRoundTripExactlyThroughTheFile)
{
    std::u16string awkward = u"caf\u00e9 \u4e2d \U0001F600 \"quoted\" back\\slash\nnew\rline\ttab ]bracket[ \\x41";
    awkward.push_back(char16_t(0xD800)); // lone high surrogate
    awkward += u"x";
    awkward.push_back(char16_t(0xDC00)); // lone low surrogate
    awkward.push_back(u'\0');
    awkward += u"after NUL";

    const RegistryKey key = CreateKey(HKEY_LOCAL_MACHINE, kSettingsKey);
    ASSERT_TRUE(RegSetValueEx(key, u"strBackDir", RegistryValue::String(awkward)));
    ASSERT_TRUE(RegSetValueEx(key, u"empty", RegistryValue::String(u"")));
    ASSERT_TRUE(RegSetValueEx(key, u"", RegistryValue::String(u"default")));
    ASSERT_TRUE(RegSetValueEx(key, u"name \"with\" \u00e9", RegistryValue::String(u"v")));

    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"strBackDir").value(), RegistryValue::String(awkward));
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"empty").value(), RegistryValue::String(u""));
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"").value(), RegistryValue::String(u"default"));
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"NAME \"WITH\" \u00c9").value(), RegistryValue::String(u"v"));

    // The file is plain ASCII, one line per value.
    const std::string text = ReadBytes(HivePath());
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }));
    EXPECT_NE(text.find("\n[SOFTWARE\\\\Ombrix\\\\Ombrix Lockora Sentinex]\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"empty\"=\"\"\n"), std::string::npos);
    EXPECT_NE(text.find("\n@=\"default\"\n"), std::string::npos);
    EXPECT_NE(text.find("\\xd800x\\xdc00\\x0000after"), std::string::npos);
}

TEST_F(RegistryTest, NumbersKeepTheirTypes)
{
    const RegistryKey key = CreateKey(HKEY_LOCAL_MACHINE, kSettingsKey);
    ASSERT_TRUE(RegSetValueEx(key, u"iDelSel", RegistryValue::Dword(0xFFFFFFFEu)));
    ASSERT_TRUE(RegSetValueEx(key, u"uPwd", RegistryValue::Qword(0x0123456789ABCDEFull)));
    ASSERT_TRUE(RegSetValueEx(key, u"small", RegistryValue::Qword(2)));

    const auto dword = Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"iDelSel");
    ASSERT_TRUE(dword.ok());
    EXPECT_EQ(dword->type, RegistryType::Dword);
    EXPECT_EQ(dword->number, 0xFFFFFFFEu);
    const auto qword = Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"uPwd");
    ASSERT_TRUE(qword.ok());
    EXPECT_EQ(qword->type, RegistryType::Qword);
    EXPECT_EQ(qword->number, 0x0123456789ABCDEFull);
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"small")->type, RegistryType::Qword);

    // Setting a value again replaces its type as well.
    ASSERT_TRUE(RegSetValueEx(key, u"iDelSel", RegistryValue::String(u"2")));
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"iDelSel").value(), RegistryValue::String(u"2"));

    const std::string text = ReadBytes(HivePath());
    EXPECT_NE(text.find("\"uPwd\"=hex(b):ef,cd,ab,89,67,45,23,01\n"), std::string::npos);
    EXPECT_NE(text.find("\"small\"=hex(b):02,00,00,00,00,00,00,00\n"), std::string::npos);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith)
{
    auto first = RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Ombrix");
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first->disposition, KeyDisposition::CreatedNewKey);

    auto again = RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"software\\OMBRIX");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->disposition, KeyDisposition::OpenedExistingKey);
    EXPECT_EQ(again->key.path(), u"SOFTWARE\\Ombrix");

    auto sub = RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"software\\ombrix\\Lockora");
    ASSERT_TRUE(sub.ok());
    EXPECT_EQ(sub->disposition, KeyDisposition::CreatedNewKey);
    EXPECT_EQ(sub->key.path(), u"SOFTWARE\\Ombrix\\Lockora");

    ASSERT_TRUE(RegSetValueEx(sub->key, u"bUserPwd", RegistryValue::Dword(0)));
    ASSERT_TRUE(RegSetValueEx(sub->key, u"BUSERPWD", RegistryValue::Dword(1)));
    EXPECT_EQ(RegEnumValueNames(sub->key).value(), std::vector<std::u16string>{u"bUserPwd"});
    EXPECT_EQ(RegQueryValueEx(sub->key, u"buserpwd").value(), RegistryValue::Dword(1));

    const std::string text = ReadBytes(HivePath());
    EXPECT_NE(text.find("[SOFTWARE\\\\Ombrix\\\\Lockora]\n\"bUserPwd\"=dword:00000001\n"), std::string::npos);
    EXPECT_EQ(text.find("software"), std::string::npos);
    EXPECT_EQ(text.find("BUSERPWD"), std::string::npos);
}

TEST_F(RegistryTest, MissingKeysAndValuesAreNotFound)
{
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSettingsKey).code(), kErrorFileNotFound);
    const RegistryKey key = CreateKey(HKEY_LOCAL_MACHINE, kSettingsKey);
    EXPECT_EQ(RegQueryValueEx(key, u"uPwd").code(), kErrorFileNotFound);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Ombrix\\Other").code(), kErrorFileNotFound);

    // The hives are apart.
    ASSERT_TRUE(RegSetValueEx(key, u"bAsk", RegistryValue::Dword(1)));
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, kSettingsKey).code(), kErrorFileNotFound);
}

TEST_F(RegistryTest, SetKeyValueCreatesTheSubkeyInOneCall)
{
    const std::u16string verb = u"*\\shell\\Encrypted With Ombrix Lockora Sentinex";
    ASSERT_TRUE(RegSetKeyValue(HKEY_CLASSES_ROOT, verb + u"\\command", u"",
                               RegistryValue::String(u"\"C:\\App\\Lockora.exe\" encrypt \"%1\"")));
    ASSERT_TRUE(RegSetKeyValue(HKEY_CLASSES_ROOT, verb, u"Icon", RegistryValue::String(u"\"C:\\App\\Lockora.exe\",0")));

    EXPECT_EQ(Reread(HKEY_CLASSES_ROOT, verb + u"\\command", u"").value(),
              RegistryValue::String(u"\"C:\\App\\Lockora.exe\" encrypt \"%1\""));
    EXPECT_EQ(Reread(HKEY_CLASSES_ROOT, verb, u"Icon").value(),
              RegistryValue::String(u"\"C:\\App\\Lockora.exe\",0"));
    auto shell = RegOpenKeyEx(HKEY_CLASSES_ROOT, u"*\\SHELL");
    ASSERT_TRUE(shell.ok());
    EXPECT_EQ(RegEnumKeyNames(*shell).value(), std::vector<std::u16string>{u"Encrypted With Ombrix Lockora Sentinex"});
    EXPECT_TRUE(fs::exists(sandbox().registryFolder() + "/classes.reg"));
    EXPECT_FALSE(fs::exists(HivePath()));
}

TEST_F(RegistryTest, DeletingAKeyWithSubkeysFailsAndChangesNothing)
{
    ASSERT_TRUE(RegSetKeyValue(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb\\command", u"", RegistryValue::String(u"x")));
    const std::string hive = sandbox().registryFolder() + "/classes.reg";
    const std::string before = ReadBytes(hive);

    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb").code(), kErrorAccessDenied);
    EXPECT_EQ(ReadBytes(hive), before);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"").code(), kErrorAccessDenied);

    auto command = RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb\\command");
    ASSERT_TRUE(command.ok());
    ASSERT_TRUE(RegDeleteKey(HKEY_CLASSES_ROOT, u"folder\\SHELL\\verb\\Command"));
    ASSERT_TRUE(RegDeleteKey(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb"));
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb").code(), kErrorFileNotFound);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"Nowhere\\Verb").code(), kErrorFileNotFound);
    EXPECT_TRUE(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Folder\\shell").ok());

    // A key that was deleted under an open handle stays deleted.
    EXPECT_EQ(RegQueryValueEx(*command, u"").code(), kErrorKeyDeleted);
    EXPECT_EQ(RegSetValueEx(*command, u"", RegistryValue::String(u"y")).code(), kErrorKeyDeleted);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"Folder\\shell\\Verb\\command").code(), kErrorFileNotFound);
}

TEST_F(RegistryTest, BadArgumentsGiveErrorCodes)
{
    for (const auto* path : {u"A\\\\B", u"\\A", u"A\\"})
        EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path).code(), kErrorBadPathname) << Utf16ToUtf8(path);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, std::u16string(u"A\0B", 3)).code(), kErrorInvalidParameter);
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, std::u16string(256, u'k')).code(), kErrorInvalidParameter);
    EXPECT_TRUE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, std::u16string(255, u'k')).ok());
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"A\\\\B").code(), kErrorBadPathname);
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u"A\\").code(), kErrorBadPathname);

    RegistryKey key = CreateKey(HKEY_LOCAL_MACHINE, u"Key");
    const auto anyValue = RegistryValue::Dword(1);
    EXPECT_EQ(RegSetValueEx(key, std::u16string(u"a\0b", 3), anyValue).code(), kErrorInvalidParameter);
    EXPECT_EQ(RegSetValueEx(key, std::u16string(16384, u'v'), anyValue).code(), kErrorInvalidParameter);
    EXPECT_TRUE(RegSetValueEx(key, std::u16string(16383, u'v'), anyValue).ok());
    EXPECT_EQ(RegSetValueEx(key, u"big", RegistryValue{RegistryType::Dword, {}, 1ull << 32}).code(),
              kErrorInvalidParameter);
    EXPECT_EQ(RegSetValueEx(key, u"odd", RegistryValue{static_cast<RegistryType>(3), {}, 0}).code(),
              kErrorInvalidParameter);
    EXPECT_EQ(RegSetKeyValue(HKEY_LOCAL_MACHINE, u"\\", u"v", anyValue).code(), kErrorBadPathname);
    EXPECT_EQ(RegQueryValueEx(key, std::u16string(u"\0", 1)).code(), kErrorInvalidParameter);

    const RegistryKey moved = std::move(key);
    EXPECT_FALSE(key.valid()); // a moved-from key is closed
    EXPECT_EQ(RegQueryValueEx(key, u"v").code(), kErrorInvalidHandle);
    EXPECT_TRUE(RegEnumValueNames(moved).ok());
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kValuesEach = 200;
    int startPipe[2];
    ASSERT_EQ(::pipe2(startPipe, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, startPipe[0], 0);
    const std::string count = std::to_string(kValuesEach);
    char* argv[] = {const_cast<char*>(LOCKORA_REGISTRY_WRITER), const_cast<char*>("child"),
                    const_cast<char*>(count.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, LOCKORA_REGISTRY_WRITER, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(startPipe[0]);
    ASSERT_EQ(spawned, 0);

    // Closing the pipe starts the child; this process writes at the same time.
    ::close(startPipe[1]);
    for (int n = 0; n < kValuesEach; ++n) {
        const std::u16string name = u"parent" + Utf8ToUtf16(std::to_string(n));
        ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Race", name,
                                   RegistryValue::Dword(static_cast<std::uint32_t>(n))));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    auto key = RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Race");
    ASSERT_TRUE(key.ok());
    const auto names = RegEnumValueNames(*key);
    ASSERT_TRUE(names.ok());
    EXPECT_EQ(names->size(), 2u * kValuesEach);
    for (const char* prefix : {"parent", "child"}) {
        for (int n = 0; n < kValuesEach; ++n) {
            const std::u16string name = Utf8ToUtf16(prefix + std::to_string(n));
            EXPECT_EQ(RegQueryValueEx(*key, name).value_or(RegistryValue{}),
                      RegistryValue::Dword(static_cast<std::uint32_t>(n)))
                << prefix << n;
        }
    }
}

TEST_F(RegistryTest, TemporaryFileOfAKilledWriterIsIgnored)
{
    ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk", RegistryValue::Dword(1)));
    const std::string complete = ReadBytes(HivePath());
    // A writer killed halfway through its temporary file.
    const std::string leftover = sandbox().registryFolder() + "/.machine.reg.Ab12Cd.tmp";
    WriteBytes(leftover, complete.substr(0, complete.size() / 2));

    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk").value(), RegistryValue::Dword(1));
    ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, kSettingsKey, u"bBackup", RegistryValue::Dword(0)));
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk").value(), RegistryValue::Dword(1));
    EXPECT_FALSE(fs::exists(leftover)); // the next writer cleared it away
}

TEST_F(RegistryTest, UnparsableHiveIsKeptAsideAndTheStoreStartsEmpty)
{
    const std::string damaged = "LOCKORA REGISTRY Version 1\n[SOFTWARE]\n\"v\"=dword:zz\n";
    WriteBytes(HivePath(), damaged);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE").code(), kErrorFileNotFound);

    ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk", RegistryValue::Dword(1)));
    EXPECT_EQ(ReadBytes(HivePath() + ".bad"), damaged);
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk").value(), RegistryValue::Dword(1));
    auto software = RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE");
    ASSERT_TRUE(software.ok());
    EXPECT_TRUE(RegEnumValueNames(*software)->empty());
}

TEST_F(RegistryTest, FolderIsTakenFromTheEnvironmentAtEveryCall)
{
    ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk", RegistryValue::Dword(1)));
    const std::string other = sandbox().root() + "/other-registry";
    ::setenv("LOCKORA_REGISTRY", other.c_str(), 1);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSettingsKey).code(), kErrorFileNotFound);
    ASSERT_TRUE(RegSetKeyValue(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk", RegistryValue::Dword(0)));
    EXPECT_TRUE(fs::exists(other + "/machine.reg")); // the folder is created on the first write
    ::setenv("LOCKORA_REGISTRY", sandbox().registryFolder().c_str(), 1);
    EXPECT_EQ(Reread(HKEY_LOCAL_MACHINE, kSettingsKey, u"bAsk").value(), RegistryValue::Dword(1));
}

} // namespace
} // namespace platform
