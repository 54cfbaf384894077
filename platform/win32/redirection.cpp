#include "platform/redirection.h"

#include "platform/win32/wide.h"

namespace platform {

// On a 64-bit build, and on 32-bit Windows, the call fails and changes nothing.
FileSystemRedirectionOff::FileSystemRedirectionOff() : off_(::Wow64DisableWow64FsRedirection(&previous_) != 0) {}

FileSystemRedirectionOff::~FileSystemRedirectionOff()
{
    if (off_)
        ::Wow64RevertWow64FsRedirection(previous_);
}

} // namespace platform
