#include "engine/web/run_folder.h"

#include "engine/web/page_content.h"
#include "platform/private_files.h"

namespace lockora::engine::web {

platform::Result<RunFolder> RunFolder::Create()
{
    auto folder = platform::CreatePrivateFolder("lockora-web-");
    if (!folder)
        return folder.error();
    return RunFolder(std::move(folder).value());
}

RunFolder::RunFolder(RunFolder&& other) noexcept : path_(std::move(other.path_))
{
    other.path_.clear();
}

RunFolder::~RunFolder()
{
    // A browser still writing its profile may leave files behind.
    if (!path_.empty())
        platform::RemoveFolderTree(path_);
}

std::string RunFolder::Below(std::string_view name) const
{
    // A Windows folder path ends in a drive or folder name, never in "/".
    const char separator = path_.find('\\') != std::string::npos ? '\\' : '/';
    return path_ + separator + std::string(name);
}

platform::Result<std::string> RunFolder::WriteStartFile(std::string_view address) const
{
    const std::string file = Below("start.html");
    const std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                             "<meta http-equiv=\"refresh\" content=\"0;url=" +
                             EscapeAttribute(address) + "\"></head><body></body></html>\n";
    PLATFORM_TRY(platform::CreatePrivateFile(file, page));
    return file;
}

} // namespace lockora::engine::web
