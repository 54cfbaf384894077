// The sandbox on Windows. Windows has no drive table, so the tests' paths
// are real: C: is the system drive, and D: is mapped onto a temporary folder
// for the test's lifetime. Whatever a test makes at the root of C: goes when
// it ends. This changes the machine the tests run on, so it runs only where
// LOCKORA_TEST_WINDOWS is "private": a throwaway Wine prefix made for them.
#include "tests/support/sandbox.h"

#include "platform/message_box.h"
#include "platform/random.h"
#include "platform/system.h"
#include "platform/text.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

namespace lockora::testing {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string MakeTempRoot()
{
    const char* allowed = std::getenv("LOCKORA_TEST_WINDOWS");
    if (allowed == nullptr || std::string(allowed) != "private")
        throw std::runtime_error("the Windows tests change drive C: and D:; they run only in a private Wine prefix "
                                 "(LOCKORA_TEST_WINDOWS=private)");
    unsigned char bytes[6];
    if (!platform::FillRandom(bytes, sizeof bytes).ok())
        throw std::runtime_error("no random bytes");
    std::string name = "lockora-test-";
    for (const unsigned char byte : bytes) {
        constexpr char kHex[] = "0123456789abcdef";
        name.push_back(kHex[byte >> 4]);
        name.push_back(kHex[byte & 0xF]);
    }
    const fs::path root = fs::temp_directory_path() / name;
    fs::create_directories(root);
    return Utf8(root);
}

std::set<fs::path> SystemDriveEntries()
{
    std::set<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(L"C:\\"))
        entries.insert(entry.path());
    return entries;
}

std::wstring DriveDTarget(const std::string& root)
{
    return FromUtf8(root + "\\d").wstring();
}

} // namespace

Sandbox::Sandbox() : root_(MakeTempRoot())
{
    const std::set<fs::path> before = SystemDriveEntries();
    systemDriveEntries_.assign(before.begin(), before.end());
    fs::create_directories(FromUtf8(root_ + "\\d"));
    if (!::DefineDosDeviceW(0, L"D:", DriveDTarget(root_).c_str()))
        throw std::runtime_error("drive D: cannot be mapped");
    fs::create_directories(L"C:\\App");
    platform::SetModuleFileName(std::u16string(kModuleDir) + u"\\Lockora.exe");
    // A box no test answers is answered as on POSIX, with its default
    // button, rather than waiting for a click on the system's own box.
    platform::SetMessageBoxHandler([](const std::u16string&, const std::u16string&, std::uint32_t type) {
        return platform::DefaultMessageBoxButton(type);
    });
}

Sandbox::~Sandbox()
{
    platform::SetMessageBoxHandler({});
    platform::SetModuleFileName({});
    RestoreEnvironment();
    ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, L"D:", DriveDTarget(root_).c_str());
    const std::set<fs::path> before(systemDriveEntries_.begin(), systemDriveEntries_.end());
    std::error_code ignored;
    for (const fs::path& entry : SystemDriveEntries()) {
        if (!before.contains(entry))
            fs::remove_all(entry, ignored);
    }
    fs::remove_all(FromUtf8(root_), ignored);
}

std::string Sandbox::driveRoot(char letter) const
{
    return (letter | 0x20) == 'c' ? std::string("C:\\") : root_ + "\\d";
}

void SetProcessEnvironment(const std::string& name, const std::optional<std::string>& value)
{
    // Both the system's block and the C library's copy, which std::getenv reads.
    const std::wstring wideName = FromUtf8(name).wstring();
    const std::wstring wideValue = value ? FromUtf8(*value).wstring() : std::wstring();
    ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
    ::_wputenv_s(wideName.c_str(), wideValue.c_str());
}

} // namespace lockora::testing
