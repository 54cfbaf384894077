// Creates the named mutex <name>, reports on standard output whether it owns
// it ("owned", "exists" or "error <code>"), and keeps the handle until its
// standard input reaches its end.
#include "platform/mutex.h"
#include "platform/text.h"

#include <cstdio>
#include <iostream>
#include <limits>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <name>\n", argv[0]);
        return 2;
    }
    auto mutex = platform::NamedMutex::Create(platform::Utf8ToUtf16(argv[1]));
    if (!mutex)
        std::printf("error %u\n", mutex.code());
    else
        std::printf("%s\n", mutex->Owns() ? "owned" : "exists");
    std::fflush(stdout);
    std::cin.ignore(std::numeric_limits<std::streamsize>::max());
    return 0;
}
