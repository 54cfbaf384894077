// Sets <count> REG_DWORD values named <prefix><n> = n on
// HKEY_LOCAL_MACHINE\SOFTWARE\Race of the registry folder it inherits, one
// change at a time. It starts when its standard input reaches its end, so
// that the test can start it together with its own writer.
#include "platform/registry.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <prefix> <count>\n", argv[0]);
        return 2;
    }
    const std::u16string prefix = platform::Utf8ToUtf16(argv[1]);
    const int count = std::atoi(argv[2]);
    std::cin.ignore(std::numeric_limits<std::streamsize>::max());

    for (int n = 0; n < count; ++n) {
        const std::u16string name = prefix + platform::Utf8ToUtf16(std::to_string(n));
        const auto status = platform::RegSetKeyValue(platform::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Race", name,
                                                     platform::RegistryValue::Dword(static_cast<std::uint32_t>(n)));
        if (!status) {
            std::fprintf(stderr, "setting value %d failed with %u\n", n, status.code());
            return 1;
        }
    }
    return 0;
}
