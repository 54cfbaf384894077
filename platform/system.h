// Facts about the running process and the machine.
#pragma once

#include "platform/errors.h"
#include "platform/result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Full Windows-form path of the running executable (GetModuleFileName).
std::u16string ModuleFileName();

// Replaces the executable's path for the rest of the process, so that tests
// give every run its own folder for "config.ini", "Log" and the data folder.
void SetModuleFileName(std::u16string path);

// The executable's folder without a trailing separator: the module file name
// cut before its last "\" (empty when it has none). "config.ini", "Log" and
// the data folder lie in it.
std::u16string ModuleDir();

// The command-line text a GUI entry receives: the arguments without the
// program name. It is rebuilt from the program's arguments the way the
// registered commands pass them: the first one as it is, every later one in
// double quotes, absolute host paths turned into Windows form, so that
// `prog encrypt /srv/c/Data/a.txt` reads `encrypt "C:\Data\a.txt"`.
std::u16string CommandLineText();

// Stores the program's arguments (argv[1] onwards, UTF-8) for
// CommandLineText. The entry calls it once, before any thread starts.
void SetCommandLineArguments(std::vector<std::string> arguments);

// The process's current directory in Windows form (GetCurrentDirectory).
// 3 when no drive maps it.
Result<std::u16string> CurrentDirectory();
// Errors: 2 or 3 for a missing folder, 267 for a file.
Status SetCurrentDirectory(std::u16string_view path);

// The user's home folder as a host path: $HOME on POSIX, %USERPROFILE% on
// Windows. 3 when the system names none.
Result<std::string> HomeFolder();

// The system directory (GetSystemDirectory): the Windows form of
// LOCKORA_SYSTEM_DIR when it holds an absolute host path, else of "/usr/bin".
// 3 when no drive maps it.
Result<std::u16string> SystemDirectory();

// Processor architecture codes of the native system information.
inline constexpr std::uint16_t kProcessorArchitectureIntel = 0;
inline constexpr std::uint16_t kProcessorArchitectureArm = 5;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
inline constexpr std::uint16_t kProcessorArchitectureArm64 = 12;
inline constexpr std::uint16_t kProcessorArchitectureUnknown = 0xFFFF;

// The architecture of the machine itself, not of this build
// (GetNativeSystemInfo): a 32-bit build on an x86-64 kernel reports 9.
std::uint16_t NativeProcessorArchitecture();

// Version numbers of the Windows kernel (RtlGetNtVersionNumbers).
struct NtVersionNumbers {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

// This system has no such routine: always 127, so callers take the branch
// they have for a kernel without it.
Result<NtVersionNumbers> GetNtVersionNumbers();

// The locally unique id of a privilege (LookupPrivilegeValue).
struct PrivilegeId {
    std::uint32_t value = 0;
    friend bool operator==(PrivilegeId, PrivilegeId) = default;
};


// Looks a privilege up by its name ("SeShutdownPrivilege"), ignoring letter
// case; 1313 for a name that is no privilege.
Result<PrivilegeId> LookupPrivilegeValue(std::u16string_view name);

// Enables a privilege for the process (AdjustTokenPrivileges). The process
// runs with the rights of its user and the OS itself decides about power and
// debugging, so every known privilege counts as granted.
Status EnablePrivilege(PrivilegeId privilege);

} // namespace platform
