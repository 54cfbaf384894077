#include "tests/fuzz/decrypt_check.h"

#include "crypto/crypt_operation.h"
#include "tests/fuzz/fuzz_drive.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace lockora::fuzz {

void DecryptAndCheck(std::u16string_view password)
{
    static crypto::CryptOperation operation;
    static const bool configured = (operation.ApplyOptions(settings::SettingsRecord{}), true);
    (void)configured;
    const int outcome = operation.DecryptItem(u"C:\\in\\x.xep", password);
    operation.CloseHandles();
    if (outcome < crypto::kOpened || outcome > crypto::kContainerRejected)
        std::abort();

    const std::filesystem::path folder = std::filesystem::path(Drive().root()) / "in";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        if (name != "x.xep" && name != "x" && !name.starts_with("x/"))
            std::abort();
    }
}

} // namespace lockora::fuzz
