// Ownership of a kernel handle, and the platform layer's neutral form of it.
#pragma once

#include "platform/native_handle.h"
#include "platform/win32/wide.h"

#include <utility>

namespace platform::win32 {

inline HANDLE AsHandle(NativeHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

inline NativeHandle ToNative(HANDLE handle)
{
    return reinterpret_cast<NativeHandle>(handle);
}

// Closes the handle it holds; null and INVALID_HANDLE_VALUE mean none, as
// the API returns one or the other on failure depending on the call.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void reset(HANDLE handle = nullptr)
    {
        if (valid())
            ::CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace platform::win32
