#include "platform/errors.h"
#include "platform/system.h"
#include "platform/win32/wide.h"

namespace platform {

std::uint16_t NativeProcessorArchitecture()
{
    // IsWow64Process2 names the machine even for a 32-bit process on an
    // ARM64 system, where GetNativeSystemInfo reports the emulated one; it
    // exists from Windows 10 1511 on, so it is looked up.
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        const auto isWow64Process2 =
            reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process2")));
        USHORT process = 0;
        USHORT machine = 0;
        if (isWow64Process2 && isWow64Process2(::GetCurrentProcess(), &process, &machine)) {
            switch (machine) {
            case IMAGE_FILE_MACHINE_AMD64: return kProcessorArchitectureAmd64;
            case IMAGE_FILE_MACHINE_ARM64: return kProcessorArchitectureArm64;
            case IMAGE_FILE_MACHINE_I386: return kProcessorArchitectureIntel;
            case IMAGE_FILE_MACHINE_IA64: return kProcessorArchitectureIa64;
            default: break;
            }
        }
    }
    SYSTEM_INFO information{};
    ::GetNativeSystemInfo(&information);
    return information.wProcessorArchitecture;
}

Result<NtVersionNumbers> GetNtVersionNumbers()
{
    // An undocumented export of ntdll, which compatibility shims leave alone:
    // the real kernel version whatever the executable's manifest says.
    using RtlGetNtVersionNumbersFunction = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto getVersion = ntdll ? reinterpret_cast<RtlGetNtVersionNumbersFunction>(reinterpret_cast<void*>(
                                        ::GetProcAddress(ntdll, "RtlGetNtVersionNumbers")))
                                  : nullptr;
    if (!getVersion)
        return Error(kErrorProcNotFound);
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    getVersion(&major, &minor, &build);
    // The top bits of the build number mark a free or checked build.
    return NtVersionNumbers{major, minor, build & 0x0FFFFFFF};
}

} // namespace platform
