#include "platform/mutex.h"

#include <utility>

namespace platform {

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), alreadyExists_(other.alreadyExists_)
{
}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        alreadyExists_ = other.alreadyExists_;
    }
    return *this;
}

NamedMutex::~NamedMutex()
{
    Close();
}

} // namespace platform
