// Named mutexes shared between the processes of one user.
//
// Creation asks for ownership at once, as CreateMutex with "initially owned"
// does. When another handle, in this process or another one, already holds
// the name, the creation still yields a valid handle, but one that does not
// own the mutex and reports "already exists" (183). Ownership lasts until the
// handle is closed or the process ends, whichever comes first.
#pragma once

#include "platform/errors.h"
#include "platform/native_handle.h"

#include <string_view>

namespace platform {

class NamedMutex {
public:
    // Creates or opens the mutex `name` (case-sensitive) and tries to own it.
    // Errors: 123 for an empty name, 206 for a name too long to be stored,
    // otherwise the code of the failed lock-file call.
    static Result<NamedMutex> Create(std::u16string_view name);

    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&& other) noexcept;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    // True when this handle holds the mutex.
    bool Owns() const { return handle_ != kNoHandle && !alreadyExists_; }
    // Whether the creation found the mutex held elsewhere, and the code it
    // left behind for that: 183, else 0.
    bool AlreadyExists() const { return alreadyExists_; }
    ErrorCode LastError() const { return alreadyExists_ ? kErrorAlreadyExists : kErrorSuccess; }

    // Releases ownership (if held) and the handle; idempotent.
    void Close();

private:
    explicit NamedMutex(NativeHandle handle) : handle_(handle) {}

    NativeHandle handle_ = kNoHandle;
    bool alreadyExists_ = false;
};

} // namespace platform
