// The engine's private folder for one run: the start file and the browser
// profile, readable only by the user, removed when the engine ends.
#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>

namespace lockora::engine::web {

class RunFolder {
public:
    // A new folder "lockora-web-…" that only the user can enter
    // (platform::CreatePrivateFolder).
    static platform::Result<RunFolder> Create();
    RunFolder(RunFolder&& other) noexcept;
    RunFolder& operator=(RunFolder&&) = delete;
    ~RunFolder();

    const std::string& path() const { return path_; }
    std::string ProfileFolder() const { return Below("profile"); }

    // Writes the start file (created new, for the user alone): a page that
    // forwards the browser to `address`. Returns its path.
    platform::Result<std::string> WriteStartFile(std::string_view address) const;

private:
    explicit RunFolder(std::string path) : path_(std::move(path)) {}
    std::string Below(std::string_view name) const;
    std::string path_;
};

} // namespace lockora::engine::web
