// The entry of lockora-xep.
#include "cli/tool.h"
#include "platform/text.h"

#include <string>
#include <vector>

#ifdef _WIN32
// Arguments arrive as UTF-16 on Windows (linked with -municode); the tool
// takes them in UTF-8, as on every other system.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(platform::Utf16ToUtf8(platform::WideToUtf16(argv[i])));
    return lockora::cli::RunTool(std::move(arguments));
}
#else
int main(int argc, char** argv)
{
    return lockora::cli::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
