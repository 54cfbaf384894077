// Stands in for an external command: writes a shell script under that name
// into a folder of the sandbox and makes that folder the whole PATH, so that
// the real command cannot be reached while the object lives.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace lockora::testing {

class ScopedFakeCommand {
public:
    // `script` is the body run by /bin/sh; "$1" is the first argument.
    ScopedFakeCommand(const std::string& folder, const std::string& name, const std::string& script)
    {
        std::filesystem::create_directories(folder);
        if (!name.empty()) {
            const std::string path = folder + "/" + name;
            std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        }
        if (const char* previous = std::getenv("PATH"))
            previousPath_ = previous;
        ::setenv("PATH", folder.c_str(), 1);
    }
    ~ScopedFakeCommand()
    {
        if (previousPath_)
            ::setenv("PATH", previousPath_->c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    ScopedFakeCommand(const ScopedFakeCommand&) = delete;
    ScopedFakeCommand& operator=(const ScopedFakeCommand&) = delete;

private:
    std::optional<std::string> previousPath_;
};

} // namespace lockora::testing
