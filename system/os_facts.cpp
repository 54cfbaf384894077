#include "system/os_facts.h"

#include "platform/system.h"

namespace lockora::system {

bridge::ScriptValue Is64BitOS(const bridge::ScriptValue&)
{
    return bridge::ScriptValue::Bool(platform::NativeProcessorArchitecture() == platform::kProcessorArchitectureAmd64);
}

std::int32_t OsGenerationCode(std::uint32_t major, std::uint32_t minor)
{
    if (major < 6)
        return kOsBeforeVista;
    if (major == 6 && minor == 1)
        return kOsWindows7;
    if (major == 6 && minor == 3)
        return kOsWindows81;
    if (major == 10 && minor == 0)
        return kOsWindows10;
    return kOsOther;
}

bridge::ScriptValue GetOsVersion(const bridge::ScriptValue&)
{
    const auto version = platform::GetNtVersionNumbers().value_or(platform::NtVersionNumbers{});
    return bridge::ScriptValue::Int(OsGenerationCode(version.major, version.minor));
}

} // namespace lockora::system
