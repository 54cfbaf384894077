// A private temporary folder mapped as drive C:, made once per fuzzing
// process and removed at its end, for the targets that read files.
#pragma once

#include <string>
#include <string_view>

namespace lockora::fuzz {

class FuzzDrive {
public:
    FuzzDrive();
    ~FuzzDrive();
    FuzzDrive(const FuzzDrive&) = delete;
    FuzzDrive& operator=(const FuzzDrive&) = delete;

    // The host path of C:\.
    const std::string& root() const { return root_; }
    // Writes `bytes` to the host file root/relative, replacing it.
    void Write(std::string_view relative, std::string_view bytes) const;
    // Removes everything below root/relative and makes it an empty folder.
    void Empty(std::string_view relative) const;

private:
    std::string root_;
};

// The one drive of the process.
const FuzzDrive& Drive();

} // namespace lockora::fuzz
