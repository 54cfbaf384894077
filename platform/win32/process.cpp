#include "platform/process.h"

#include "platform/system.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::wstring WideOf(std::string_view text)
{
    return win32::Wide(Utf8ToUtf16(text));
}

// One argument quoted the way CommandLineToArgvW and the C runtime read it
// back: backslashes are literal except before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line.push_back(L'"');
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line.push_back(c);
    }
    line.append(backslashes * 2, L'\\');
    line.push_back(L'"');
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The default value of an "App Paths" key: where a program installed itself.
std::wstring AppPath(HKEY root, const wchar_t* program)
{
    const std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + program;
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    std::wstring path(value);
    // Some installers store the path in quotes.
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
        path = path.substr(1, path.size() - 2);
    return path;
}

BOOL CALLBACK CloseWindowOf(HWND window, LPARAM process)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(process) && ::IsWindowVisible(window))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

// Handles of the processes started here; a handle keeps its id from being
// reused, so Stop never reaches a stranger.
struct ChildProcesses::Table {
    std::mutex mutex;
    std::map<ProcessId, win32::UniqueHandle> running;
};

ChildProcesses::ChildProcesses() : table_(std::make_shared<Table>()) {}

ChildProcesses::~ChildProcesses() = default;

ProcessId ChildProcesses::Start(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return 0;
    const std::string program = FindProgram(argv[0]);
    if (program.empty())
        return 0;
    std::wstring line;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (i > 0)
            line.push_back(L' ');
        AppendQuoted(line, WideOf(i == 0 ? program : argv[i]));
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // No handle of ours is inherited, and a console program gets none of
    // our console.
    if (!::CreateProcessW(WideOf(program).c_str(), line.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, nullptr, nullptr, &startup, &started))
        return 0;
    ::CloseHandle(started.hThread);
    std::lock_guard lock(table_->mutex);
    // Forget the ones that have ended since.
    std::erase_if(table_->running,
                  [](const auto& entry) { return ::WaitForSingleObject(entry.second.get(), 0) == WAIT_OBJECT_0; });
    table_->running.emplace(started.dwProcessId, win32::UniqueHandle(started.hProcess));
    return started.dwProcessId;
}

void ChildProcesses::Stop(ProcessId process, std::chrono::milliseconds wait)
{
    win32::UniqueHandle handle;
    {
        std::lock_guard lock(table_->mutex);
        const auto it = table_->running.find(process);
        if (it == table_->running.end())
            return;
        handle = std::move(it->second);
        table_->running.erase(it);
    }
    if (::WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0)
        return;
    // Asked as a user would ask: its windows are closed.
    ::EnumWindows(CloseWindowOf, static_cast<LPARAM>(process));
    const auto milliseconds = static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(wait.count(), INFINITE - 1));
    ::WaitForSingleObject(handle.get(), milliseconds);
}

bool ChildProcesses::Wait(ProcessId process, std::chrono::milliseconds wait)
{
    // A handle of our own: a Start on another thread may close the table's
    // once the process has ended.
    win32::UniqueHandle handle;
    {
        std::lock_guard lock(table_->mutex);
        const auto it = table_->running.find(process);
        if (it == table_->running.end())
            return true;
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), it->second.get(), ::GetCurrentProcess(), &copy, SYNCHRONIZE,
                               FALSE, 0))
            return false;
        handle = win32::UniqueHandle(copy);
    }
    const auto milliseconds = static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(wait.count(), INFINITE - 1));
    return ::WaitForSingleObject(handle.get(), milliseconds) == WAIT_OBJECT_0;
}

std::string FindProgram(const std::string& name)
{
    const std::wstring wide = WideOf(name);
    if (name.find_first_of("\\/") != std::string::npos)
        return IsFile(wide) ? name : std::string();
    wchar_t found[MAX_PATH * 2];
    const DWORD length = ::SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(std::size(found)), found,
                                       nullptr);
    if (length == 0 || length >= std::size(found))
        return {};
    return Utf16ToUtf8(win32::FromWide(found));
}

std::vector<std::string> AppModeBrowsers()
{
    std::vector<std::wstring> candidates;
    for (const wchar_t* program : {L"msedge.exe", L"chrome.exe"}) {
        candidates.push_back(AppPath(HKEY_LOCAL_MACHINE, program));
        candidates.push_back(AppPath(HKEY_CURRENT_USER, program));
    }
    const std::wstring programFiles = win32::EnvironmentValue(L"ProgramFiles");
    const std::wstring programFiles86 = win32::EnvironmentValue(L"ProgramFiles(x86)");
    const std::wstring localAppData = win32::EnvironmentValue(L"LOCALAPPDATA");
    for (const std::wstring& folder : {programFiles86, programFiles}) {
        if (!folder.empty())
            candidates.push_back(folder + L"\\Microsoft\\Edge\\Application\\msedge.exe");
    }
    for (const std::wstring& folder : {programFiles, programFiles86, localAppData}) {
        if (!folder.empty())
            candidates.push_back(folder + L"\\Google\\Chrome\\Application\\chrome.exe");
    }
    std::vector<std::string> found;
    for (const std::wstring& candidate : candidates) {
        if (candidate.empty() || !IsFile(candidate))
            continue;
        std::string path = Utf16ToUtf8(win32::FromWide(candidate.c_str()));
        const bool known = std::any_of(found.begin(), found.end(), [&](const std::string& other) {
            return EqualsNoCase(Utf8ToUtf16(other), Utf8ToUtf16(path));
        });
        if (!known)
            found.push_back(std::move(path));
    }
    return found;
}

std::vector<std::string> DefaultBrowserOpener()
{
    // The shell's URL handler opens an address with whatever the user chose.
    auto system = SystemDirectory();
    if (!system)
        return {};
    return {Utf16ToUtf8(*system) + "\\rundll32.exe", "url.dll,FileProtocolHandler"};
}

} // namespace platform
