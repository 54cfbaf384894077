// The archives an engine has opened, by id: what Engine::OpenArchive,
// GetArchiveItem and CloseArchive do in both engines.
#pragma once

#include "bridge/engine.h"
#include "engine/archive.h"

#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

namespace lockora::engine {

// Thread-safe: the web engine looks items up on its network thread while
// the UI thread may open or close archives.
class ArchiveTable {
public:
    // The id of the opened block, or 0 when the block is malformed. Ids are
    // handed out in turn (0 skipped), so a closed id does not come back
    // before the 32-bit counter wraps.
    bridge::ArchiveId Open(std::span<const std::uint8_t> block);
    std::optional<std::span<const std::uint8_t>> Item(bridge::ArchiveId id, std::u16string_view path) const;
    // Closing an id that is not open does nothing.
    void Close(bridge::ArchiveId id);

private:
    mutable std::mutex mutex_;
    std::map<bridge::ArchiveId, Archive> archives_;
    bridge::ArchiveId lastId_ = 0;
};

} // namespace lockora::engine
