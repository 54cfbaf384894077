// Saves two records in turn (B first), for ever or as many times as its
// argument says, and writes one byte to its standard output after each
// complete save, so that the kill test can stop it in the middle of a save. The drives (LOCKORA_DRIVES) and the registry folder
// (LOCKORA_REGISTRY) come from the test; the executable's folder is C:\App.
#include "platform/system.h"
#include "settings/settings_store.h"
#include "tests/settings/save_loop_records.h"

#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    const unsigned long rounds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
    platform::SetModuleFileName(u"C:\\App\\Lockora.exe");
    for (unsigned long round = 0; rounds == 0 || round < rounds; ++round) {
        lockora::settings::SaveSettings(round % 2 == 0 ? lockora::settings::SaveLoopRecordB()
                                                       : lockora::settings::SaveLoopRecordA());
        if (::write(STDOUT_FILENO, "s", 1) != 1)
            return 1;
    }
    return 0;
}
