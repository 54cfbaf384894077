// The registry hive reader. Whatever parses is written back as a text that
// parses to the same text again.
#include "platform/posix/registry_hive.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace platform::registry;
    const auto hive = ParseHive(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!hive)
        return 0;
    const std::string text = FormatHive(*hive, "fuzz");
    const auto again = ParseHive(text);
    if (!again || FormatHive(*again, "fuzz") != text)
        std::abort();
    return 0;
}
