// The command line of lockora-xep: a command, options and paths.
#pragma once

#include "crypto/crypt_operation.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lockora::cli {

// DesktopAdd and DesktopRemove take no paths: they install or remove the
// desktop entries of the program beside the tool.
enum class Command : std::uint8_t { Encrypt, Decrypt, Verify, Info, Shred, DesktopAdd, DesktopRemove };

struct ToolOptions {
    Command command = Command::Encrypt;
    std::vector<std::string> paths;          // host paths as typed
    std::optional<std::string> passwordFile; // --password-file
    // --keep, --delete or --shred; otherwise the stored iDelSel decides.
    std::optional<crypto::DeleteSelection> sourceHandling;
    bool assumeYes = false; // -y: shred without asking
    bool strong = false;    // --strong: write strong containers whatever the setting says
};

struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    std::string message;
};

using ParsedCommandLine = std::variant<ToolOptions, ShowHelp, ShowVersion, UsageError>;

// Options may come before or after the command; "--" ends them.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();

} // namespace lockora::cli
