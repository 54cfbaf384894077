#include "tests/fuzz/fuzz_drive.h"

#include "platform/posix/drive_table.h"
#include "platform/message_box.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace lockora::fuzz {

FuzzDrive::FuzzDrive()
{
    const char* tmp = std::getenv("TMPDIR");
    root_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-fuzz-XXXXXX";
    if (!::mkdtemp(root_.data()))
        throw std::runtime_error("mkdtemp failed");
    platform::DriveTable drives;
    drives.Map(u'C', root_);
    platform::SetDriveTable(std::move(drives));
    // A damaged record asks the user; here the default button answers.
    platform::SetMessageBoxHandler([](const std::u16string&, const std::u16string&, std::uint32_t type) {
        return platform::DefaultMessageBoxButton(type);
    });
}

FuzzDrive::~FuzzDrive()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void FuzzDrive::Write(std::string_view relative, std::string_view bytes) const
{
    const std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void FuzzDrive::Empty(std::string_view relative) const
{
    const std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

const FuzzDrive& Drive()
{
    static const FuzzDrive drive;
    return drive;
}

} // namespace lockora::fuzz
