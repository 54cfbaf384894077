// lockora-xep: encrypts, decrypts, verifies, describes and shreds from the
// shell, with the program's engine, settings store and log.
#pragma once

#include <string>
#include <vector>

namespace lockora::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitItemFailed = 1;
inline constexpr int kExitUsage = 2;

// `arguments` are argv[1] onwards. Returns the exit status.
int RunTool(const std::vector<std::string>& arguments);

} // namespace lockora::cli
