// The entry of lockora-xep.
#include "cli/tool.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    return lockora::cli::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
