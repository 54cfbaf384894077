#include "cli/tool_options.h"

#include <array>
#include <string_view>
#include <utility>

namespace lockora::cli {
namespace {

constexpr std::array<std::pair<std::string_view, Command>, 7> kCommands{{
    {"encrypt", Command::Encrypt},
    {"decrypt", Command::Decrypt},
    {"verify", Command::Verify},
    {"info", Command::Info},
    {"shred", Command::Shred},
    {"desktop-add", Command::DesktopAdd},
    {"desktop-remove", Command::DesktopRemove},
}};

std::optional<Command> FindCommand(std::string_view name)
{
    for (const auto& [text, command] : kCommands) {
        if (text == name)
            return command;
    }
    return std::nullopt;
}

bool HandlesSource(Command command)
{
    return command == Command::Encrypt || command == Command::Decrypt;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    ToolOptions options;
    std::optional<Command> command;
    std::optional<std::string> sourceOption;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            if (!command) {
                command = FindCommand(argument);
                if (!command)
                    return UsageError{"unknown command '" + argument + "'"};
            } else {
                options.paths.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            return ShowHelp{};
        } else if (argument == "-V" || argument == "--version") {
            return ShowVersion{};
        } else if (argument == "-y" || argument == "--yes") {
            options.assumeYes = true;
        } else if (argument == "--strong") {
            options.strong = true;
        } else if (argument == "--keep" || argument == "--delete" || argument == "--shred") {
            if (sourceOption && *sourceOption != argument)
                return UsageError{*sourceOption + " and " + argument + " cannot be combined"};
            sourceOption = argument;
            options.sourceHandling = argument == "--keep"     ? crypto::kKeepSource
                                     : argument == "--delete" ? crypto::kDeleteSource
                                                              : crypto::kShredSource;
        } else if (argument == "--password-file" || argument.starts_with("--password-file=")) {
            if (argument.size() > std::string_view("--password-file").size()) {
                options.passwordFile = argument.substr(std::string_view("--password-file=").size());
            } else if (i + 1 < arguments.size()) {
                options.passwordFile = arguments[++i];
            } else {
                return UsageError{"--password-file needs a file"};
            }
            if (options.passwordFile->empty())
                return UsageError{"--password-file needs a file"};
        } else if (argument == "-p" || argument.starts_with("--password")) {
            return UsageError{"a password is never taken from the command line, where other users can read it; "
                              "use --password-file FILE or LOCKORA_PASSWORD"};
        } else {
            return UsageError{"unknown option '" + argument + "'"};
        }
    }

    if (!command)
        return UsageError{"no command given"};
    options.command = *command;
    if (sourceOption && !HandlesSource(options.command))
        return UsageError{*sourceOption + " applies to encrypt and decrypt only"};
    if (options.strong && options.command != Command::Encrypt)
        return UsageError{"--strong applies to encrypt only: every command reads both formats"};
    const bool desktop = options.command == Command::DesktopAdd || options.command == Command::DesktopRemove;
    if (desktop && !options.paths.empty())
        return UsageError{"desktop-add and desktop-remove take no paths"};
    if (!desktop && options.paths.empty())
        return UsageError{"no paths given"};
    return options;
}

std::string UsageText()
{
    return R"(Usage: lockora-xep COMMAND [OPTIONS] PATH...

Encrypts files and folders into .xep containers and back, checks and
describes containers, and shreds files and folders, with the engine and the
settings of Ombrix Lockora Sentinex.

Commands:
  encrypt PATH...      one container beside each file or folder (a.txt.xep)
  decrypt CONTAINER... restore each container beside itself
  verify CONTAINER...  check the password and the content; writes nothing
  info CONTAINER...    kind, recovery flag and sizes; needs no password
  shred PATH...        overwrite twice and remove; there is no way back
  desktop-add          (Linux) give the program beside this tool a launcher,
                       the .xep file type and the file managers' verbs, for
                       this user
  desktop-remove       (Linux) remove them again

Options:
  --password-file FILE  read the password from the first line of FILE
  --strong              write the strong format (Argon2id, XChaCha20-Poly1305,
                        every byte authenticated); without it the program's
                        setting decides
  --keep                keep the source after success (the plain item when
                        encrypting, the container when decrypting)
  --delete              delete the source after success
  --shred               shred the source after success
                        (without one of these three the program's setting
                        decides)
  -y, --yes             shred without asking
  -h, --help            show this text
  -V, --version         show the version

The password is asked for on the terminal (twice when encrypting), or taken
from --password-file or the environment variable LOCKORA_PASSWORD; never from
an argument.

Exit status: 0 every item succeeded, 1 at least one item failed, 2 bad usage.
)";
}

} // namespace lockora::cli
