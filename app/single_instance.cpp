#include "app/single_instance.h"

#include "platform/mutex.h"

#include <optional>

namespace lockora::app {
namespace {

// Empty until this process has created the mutex without finding it held.
std::optional<platform::NamedMutex> g_instanceMutex;

} // namespace

bool ClaimSingleInstance()
{
    if (g_instanceMutex)
        return false;
    auto created = platform::NamedMutex::Create(kInstanceMutexName);
    if (!created.ok())
        return false;
    // A handle that found the mutex held is closed at once: this run asks
    // only once, and keeping it would hold nothing.
    if (created->AlreadyExists())
        return true;
    g_instanceMutex.emplace(std::move(created).value());
    return false;
}

bridge::ScriptValue CheckProgramHadRun(const bridge::ScriptValue&)
{
    return bridge::ScriptValue::Int(ClaimSingleInstance() ? 1 : 0);
}

void testing::ReleaseSingleInstance()
{
    g_instanceMutex.reset();
}

} // namespace lockora::app
