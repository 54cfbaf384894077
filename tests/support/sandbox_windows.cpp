// The sandbox on Windows. Windows has no drive table, so the tests' paths
// are real: C: is the system drive and D: a drive the test runner gives the
// tests alone (scripts/wine_tests.sh links one into each Wine prefix; Wine
// does not resolve paths through DefineDosDevice's mappings). Whatever a test
// makes at the root of C: or D:, and the program's registry keys, go when it
// ends and again before the next test starts. This changes the machine
// the tests run on, so it runs only where LOCKORA_TEST_WINDOWS is "private":
// a throwaway Wine prefix made for them.
#include "tests/support/sandbox.h"

#include "platform/message_box.h"
#include "platform/random.h"
#include "platform/system.h"
#include "platform/text.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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

constexpr const wchar_t* kDriveRoots[] = {L"C:\\", L"D:\\"};

std::set<fs::path> DriveEntries()
{
    std::set<fs::path> entries;
    // An empty root has no "." or "..", and listing it fails as "not found".
    std::error_code empty;
    for (const wchar_t* drive : kDriveRoots) {
        for (const auto& entry : fs::directory_iterator(drive, empty))
            entries.insert(entry.path());
    }
    return entries;
}

// What the drives' roots held before the first test in this prefix, kept in
// a file of the prefix. Everything else there was made by a test; a test
// cannot remove what its process still holds open (the log, say) nor clean
// up after a crash, so the next test removes it before it starts.
std::set<fs::path> DriveBaseline()
{
    const fs::path file = fs::temp_directory_path() / "lockora-test-drive-baseline.txt";
    std::set<fs::path> baseline;
    if (std::ifstream in(file, std::ios::binary); in) {
        for (std::string line; std::getline(in, line);)
            baseline.insert(FromUtf8(line));
        return baseline;
    }
    baseline = DriveEntries();
    std::ofstream out(file, std::ios::binary);
    for (const fs::path& entry : baseline)
        out << Utf8(entry) << '\n';
    return baseline;
}

// Removes a file, a link or a whole folder, read-only entries too (which
// remove_all stops at). Paths are given in the extended-length form
// ("\\?\C:\..."): some tests make trees hundreds of folders deep, past the
// MAX_PATH that plain paths and the C library's listings stop at.
void RemoveTree(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        const HANDLE first = ::FindFirstFileW((path + L"\\*").c_str(), &found);
        if (first != INVALID_HANDLE_VALUE) {
            const std::unique_ptr<void, decltype(&::FindClose)> listing(first, &::FindClose);
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..")
                    RemoveTree(path + L"\\" + name);
            } while (::FindNextFileW(listing.get(), &found));
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

void RemoveTree(const fs::path& path)
{
    RemoveTree(L"\\\\?\\" + fs::absolute(path).make_preferred().wstring());
}

void RemoveTestEntries(const std::set<fs::path>& baseline)
{
    for (const fs::path& entry : DriveEntries()) {
        if (!baseline.contains(entry))
            RemoveTree(entry);
    }
}

// The program's keys: its settings and its verbs in the class root.
void RemoveProgramKeys()
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Ombrix");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".xep");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"mmeptfile");
    for (const wchar_t* verbs : {L"*\\shell\\", L"Folder\\shell\\"}) {
        for (const wchar_t* verb :
             {L"Encrypted With Ombrix Lockora Sentinex", L"Delete completely With Ombrix Lockora Sentinex"})
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(verbs) + verb).c_str());
    }
}

} // namespace

Sandbox::Sandbox() : root_(MakeTempRoot())
{
    if (::GetDriveTypeW(L"D:\\") == DRIVE_NO_ROOT_DIR)
        throw std::runtime_error("the tests need a drive D: of their own (scripts/wine_tests.sh links one into "
                                 "each prefix)");
    driveBaseline_ = DriveBaseline();
    RemoveTestEntries(driveBaseline_);
    RemoveProgramKeys();
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
    RemoveTestEntries(driveBaseline_);
    RemoveProgramKeys();
    RemoveTree(FromUtf8(root_));
}

std::string Sandbox::driveRoot(char letter) const
{
    return (letter | 0x20) == 'c' ? std::string("C:\\") : std::string("D:\\");
}

bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
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
