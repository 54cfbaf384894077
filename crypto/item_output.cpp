#include "crypto/item_output.h"

#include "bridge/notify.h"
#include "platform/errors.h"
#include "platform/text.h"

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

std::string LogPath(std::u16string_view path)
{
    return platform::Utf16ToUtf8(path);
}

} // namespace lockora::crypto
