// The native functions that page script may call on its view, and the
// dispatch of a script call to them.
//
// bridge/ knows only the names and argument counts; app/ binds each name to
// the function of the subsystem that owns it, so the dependencies stay
// app -> subsystems -> bridge. A call is handled only when its name matches
// byte for byte (letter case counts), its argument count is the listed one
// and the function is bound; otherwise no native code runs and the page's
// call is rejected.
#pragma once

#include "bridge/script_value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace lockora::bridge {

// One slot per native function, in table order.
enum class NativeFunction : std::uint8_t {
    GetLang,
    SetLang,
    HidePath,
    ShowPath,
    Is64BitOS,
    Encrypted,
    Decrypted,
    AddContext,
    GetDirIcon,
    GetPathInfo,
    IsDirectory,
    GetPathAttr,
    WriteHtmlLog,
    PowerOperate,
    GetOsVersion,
    RemoveContext,
    SetAttributes,
    FolderDisGuise,
    GetSettingInfo,
    GetPathArrInfo,
    OpenLogFilePath,
    CompleteDelFile,
    SetSoftPassword,
    GetProductVersion,
    ChangeSettingInfo,
    CheckProgramHadRun,
    GetAllPartitionInfo,
};
inline constexpr std::size_t kNativeFunctionCount = 27;

struct NativeFunctionEntry {
    std::string_view name;
    std::size_t argumentCount; // 0 or 1
    NativeFunction function;
};

// The whole table, ordered by name length and, within a length, in the
// order in which names are compared.
std::span<const NativeFunctionEntry> NativeFunctionTable();

// The function a script call names, or nothing when the name is not in the
// table or the count differs. The name's length selects its group; at most
// three names are compared and nothing is allocated.
std::optional<NativeFunction> FindNativeFunction(std::string_view name, std::size_t argumentCount);

// A native function: takes a copy of the call's first argument (undefined
// when it has none) and returns the call's value.
using ScriptFunction = std::function<ScriptValue(const ScriptValue& argument)>;

class FunctionTable {
public:
    void Bind(NativeFunction function, ScriptFunction body);
    bool IsBound(NativeFunction function) const;

    // Runs the call when it is handled and puts the function's value into
    // `result`; returns false and leaves `result` untouched otherwise.
    bool Dispatch(std::string_view name, std::span<const ScriptValue> arguments, ScriptValue& result) const;

private:
    std::array<ScriptFunction, kNativeFunctionCount> bodies_;
};

} // namespace lockora::bridge
