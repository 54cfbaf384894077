// The settings file reader. Any bytes read into some record; that record
// written and read again gives the same text, so nothing read can be
// stored in a way that reads back differently.
#include "settings/settings_file.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lockora::settings;
    SettingsRecord record;
    ParseSettingsFile(std::string_view(reinterpret_cast<const char*>(data), size), record);
    const std::string written = FormatSettingsFile(record);
    SettingsRecord again;
    ParseSettingsFile(written, again);
    if (FormatSettingsFile(again) != written)
        std::abort();
    return 0;
}
