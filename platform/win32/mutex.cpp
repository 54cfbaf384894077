#include "platform/mutex.h"

#include "platform/win32/handle.h"

namespace platform {

using win32::AsHandle;

Result<NamedMutex> NamedMutex::Create(std::u16string_view name)
{
    if (name.empty())
        return Error(kErrorInvalidName);
    // When the name exists already, the system ignores the ownership asked
    // for and says so in the last error.
    const HANDLE handle = ::CreateMutexW(nullptr, TRUE, win32::Wide(name).c_str());
    if (handle == nullptr)
        return win32::LastError();
    NamedMutex mutex(win32::ToNative(handle));
    mutex.alreadyExists_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
    return mutex;
}

void NamedMutex::Close()
{
    if (handle_ == kNoHandle)
        return;
    // Released first, so that other holders of the name never see it
    // abandoned; from another thread than the owner this fails harmlessly.
    if (Owns())
        ::ReleaseMutex(AsHandle(handle_));
    ::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)));
}

} // namespace platform
