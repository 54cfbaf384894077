#include "crypto/item_output.h"

#include "bridge/notify.h"
#include "browse/folder_tree.h"
#include "crypto/crypt_operation.h"
#include "log/diagnostic_log.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "shred/shredder.h"

namespace lockora::crypto {

void ReportSystemError(platform::ErrorCode code)
{
    bridge::NotifyUI(bridge::MSG_SHOW_ERROR_INFO, platform::SystemMessage(code), static_cast<std::int32_t>(code));
}

platform::Result<platform::File> OpenItemSource(std::u16string_view path)
{
    return platform::File::Open(path, platform::Access::ReadWrite, platform::Share::None,
                                platform::Disposition::OpenExisting);
}

platform::Result<platform::File> CreateNamedOutput(std::u16string& path, std::u16string_view base,
                                                   void (*makeName)(std::u16string&))
{
    while (true) {
        auto created = platform::File::Open(path, platform::Access::ReadWrite, platform::Share::None,
                                            platform::Disposition::CreateNew);
        if (created || (created.code() != platform::kErrorFileExists && created.code() != platform::kErrorAlreadyExists))
            return created;
        std::u16string next(base);
        makeName(next);
        if (next == path)
            return created;
        path = std::move(next);
    }
}

void ReleaseSource(std::u16string_view path, bool folder, std::int32_t deleteChoice, std::uint64_t size)
{
    platform::Status released;
    if (deleteChoice == kDeleteSource && folder) {
        (void)browse::DeleteFolderTree(path);
        released = platform::RemoveDirectory(path);
    } else if (deleteChoice == kDeleteSource) {
        released = platform::DeleteFile(path);
    } else if (deleteChoice == kShredSource && folder) {
        shred::ShredFolder(path);
        if (platform::PathExists(path))
            released = platform::Error(platform::kErrorDirNotEmpty);
    } else if (deleteChoice == kShredSource) {
        std::uint64_t done = 0;
        released = shred::ShredFile(path, path, 2 * size, done);
    }
    if (released.ok())
        return;
    logging::LogLess("Remove source:%s failed,error=%d", LogPath(path).c_str(), static_cast<int>(released.code()));
    ReportSystemError(released.code());
}

std::string LogPath(std::u16string_view path)
{
    return platform::Utf16ToUtf8(path);
}

} // namespace lockora::crypto
