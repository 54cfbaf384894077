#include "platform/redirection.h"

namespace platform {

// POSIX systems redirect no folder.
FileSystemRedirectionOff::FileSystemRedirectionOff() = default;

FileSystemRedirectionOff::~FileSystemRedirectionOff() = default;

} // namespace platform
