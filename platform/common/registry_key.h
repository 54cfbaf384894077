// How a backend makes the keys it hands out.
#pragma once

#include "platform/registry.h"

namespace platform {

struct RegistryKeyFactory {
    static RegistryKey Make(RegistryHive hive, std::u16string path) { return RegistryKey(hive, std::move(path)); }
};

} // namespace platform
