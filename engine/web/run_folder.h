// The engine's private folder for one run: the start file and the browser
// profile, readable only by the user, removed when the engine ends.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace lockora::engine::web {

class RunFolder {
public:
    // A new folder "lockora-web-XXXXXX" with mode 0700 under $XDG_RUNTIME_DIR,
    // else $TMPDIR, else /tmp.
    static platform::Result<RunFolder> Create();
    RunFolder(RunFolder&& other) noexcept;
    RunFolder& operator=(RunFolder&&) = delete;
    ~RunFolder();

    const std::string& path() const { return path_; }
    std::string ProfileFolder() const { return path_ + "/profile"; }

    // Writes the start file (mode 0600, created new): a page that forwards
    // the browser to `address`. Returns its host path.
    platform::Result<std::string> WriteStartFile(std::string_view address) const;

private:
    explicit RunFolder(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// "file://" and the path with every byte outside the unreserved set escaped.
std::string FileUrl(std::string_view hostPath);

} // namespace lockora::engine::web
