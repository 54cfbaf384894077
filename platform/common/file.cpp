#include "platform/file.h"

#include <utility>

namespace platform {

File::File(NativeHandle handle, Access access, Share share) : handle_(handle), access_(access), share_(share) {}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), access_(other.access_), share_(other.share_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        access_ = other.access_;
        share_ = other.share_;
    }
    return *this;
}

File::~File()
{
    Close();
}

} // namespace platform
