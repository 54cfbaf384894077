// Whether the folder that should hold a host path exists: a missing item is
// "file not found" (2) then, else "path not found" (3), as Windows tells them.
#pragma once

#include <string>
#include <sys/stat.h>

namespace platform::posix {

inline bool ParentFolderExists(const std::string& hostPath)
{
    const auto slash = hostPath.rfind('/');
    if (slash == std::string::npos)
        return false;
    const std::string parent = slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat status {};
    return ::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace platform::posix
