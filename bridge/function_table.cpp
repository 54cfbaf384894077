#include "bridge/function_table.h"

#include <utility>

namespace lockora::bridge {
namespace {

using enum NativeFunction;

constexpr std::array<NativeFunctionEntry, kNativeFunctionCount> kTable{{
    {"GetLang", 0, GetLang},
    {"SetLang", 1, SetLang},
    {"HidePath", 1, HidePath},
    {"ShowPath", 1, ShowPath},
    {"Is64BitOS", 0, Is64BitOS},
    {"Encrypted", 1, Encrypted},
    {"Decrypted", 1, Decrypted},
    {"AddContext", 1, AddContext},
    {"GetDirIcon", 0, GetDirIcon},
    {"GetPathInfo", 1, GetPathInfo},
    {"IsDirectory", 1, IsDirectory},
    {"GetPathAttr", 1, GetPathAttr},
    {"WriteHtmlLog", 1, WriteHtmlLog},
    {"PowerOperate", 1, PowerOperate},
    {"GetOsVersion", 0, GetOsVersion},
    {"RemoveContext", 0, RemoveContext},
    {"SetAttributes", 1, SetAttributes},
    {"FolderDisGuise", 1, FolderDisGuise},
    {"GetSettingInfo", 0, GetSettingInfo},
    {"GetPathArrInfo", 1, GetPathArrInfo},
    {"OpenLogFilePath", 0, OpenLogFilePath},
    {"CompleteDelFile", 1, CompleteDelFile},
    {"SetSoftPassword", 1, SetSoftPassword},
    {"GetProductVersion", 0, GetProductVersion},
    {"ChangeSettingInfo", 1, ChangeSettingInfo},
    {"CheckProgramHadRun", 0, CheckProgramHadRun},
    {"GetAllPartitionInfo", 0, GetAllPartitionInfo},
}};

constexpr std::size_t kLongestName = 19;

// Where each name length's group starts and ends in kTable.
struct Group {
    std::size_t begin = 0;
    std::size_t end = 0;
};

constexpr std::array<Group, kLongestName + 1> MakeGroups()
{
    std::array<Group, kLongestName + 1> groups{};
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        Group& group = groups[kTable[i].name.size()];
        if (group.begin == group.end)
            group.begin = i;
        group.end = i + 1;
    }
    return groups;
}

constexpr auto kGroups = MakeGroups();

constexpr bool GroupsAreContiguous()
{
    for (std::size_t i = 1; i < kTable.size(); ++i) {
        if (kTable[i].name.size() < kTable[i - 1].name.size())
            return false;
    }
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (static_cast<std::size_t>(kTable[i].function) != i)
            return false;
    }
    return true;
}
static_assert(GroupsAreContiguous(), "the table is ordered by name length and by slot");

} // namespace

std::span<const NativeFunctionEntry> NativeFunctionTable()
{
    return kTable;
}

std::optional<NativeFunction> FindNativeFunction(std::string_view name, std::size_t argumentCount)
{
    if (name.size() > kLongestName)
        return std::nullopt;
    const Group group = kGroups[name.size()];
    for (std::size_t i = group.begin; i < group.end; ++i) {
        if (kTable[i].name == name && kTable[i].argumentCount == argumentCount)
            return kTable[i].function;
    }
    return std::nullopt;
}

void FunctionTable::Bind(NativeFunction function, ScriptFunction body)
{
    bodies_[static_cast<std::size_t>(function)] = std::move(body);
}

bool FunctionTable::IsBound(NativeFunction function) const
{
    return static_cast<bool>(bodies_[static_cast<std::size_t>(function)]);
}

bool FunctionTable::Dispatch(std::string_view name, std::span<const ScriptValue> arguments,
                             ScriptValue& result) const
{
    const auto function = FindNativeFunction(name, arguments.size());
    if (!function)
        return false;
    const ScriptFunction& body = bodies_[static_cast<std::size_t>(*function)];
    if (!body)
        return false;
    // The function works on its own copy of the argument.
    const ScriptValue argument = arguments.empty() ? ScriptValue() : arguments.front();
    result = body(argument);
    return true;
}

} // namespace lockora::bridge
