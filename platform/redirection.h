// A 32-bit build on 64-bit Windows sees a redirected system folder: its
// System32 is the 32-bit copy. While this object lives, the calling thread
// sees paths as they are written, so that a file the program keeps for
// itself is the same one whichever build reads it. Elsewhere it changes
// nothing.
#pragma once

namespace platform {

class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff();
    ~FileSystemRedirectionOff();
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    // Only the Windows backend has a redirection to restore.
    [[maybe_unused]] void* previous_ = nullptr;
    [[maybe_unused]] bool off_ = false;
};

} // namespace platform
