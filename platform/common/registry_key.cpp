#include "platform/registry.h"

namespace platform {

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : hive_(other.hive_), path_(std::move(other.path_)), valid_(std::exchange(other.valid_, false))
{
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this == &other)
        return *this;
    hive_ = other.hive_;
    path_ = std::move(other.path_);
    valid_ = std::exchange(other.valid_, false);
    return *this;
}

} // namespace platform
