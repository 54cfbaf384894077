// The profile-string (config.ini) reader. The input is the file; after the
// reads the program makes, a value written under a key read back is the
// value written, and no other key changed.
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/fuzz/fuzz_drive.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lockora;
    const fuzz::FuzzDrive& drive = fuzz::Drive();
    drive.Write("config.ini", std::string_view(reinterpret_cast<const char*>(data), size));
    constexpr std::u16string_view kFile = u"C:\\config.ini";
    const std::u16string language = platform::GetPrivateProfileString(u"SETTING", u"LANG", u"en", kFile);
    const std::uint32_t level = platform::GetPrivateProfileInt(u"SETTING", u"LOG", 0, kFile);
    if (!platform::WritePrivateProfileString(u"SETTING", u"STRONG", u"1", kFile))
        return 0;
    if (platform::GetPrivateProfileString(u"SETTING", u"STRONG", u"", kFile) != u"1" ||
        platform::GetPrivateProfileString(u"SETTING", u"LANG", u"en", kFile) != language ||
        platform::GetPrivateProfileInt(u"SETTING", u"LOG", 0, kFile) != level)
        std::abort();
    return 0;
}
