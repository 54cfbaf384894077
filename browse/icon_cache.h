// The main window's icon cache: an image list of icons and a map from a key
// (a file extension, "folder", a drive name) to the icon's position and the
// shell's type name.
//
// Construction seeds "folder", "exe", "EXE" and "Exe" and starts a walker
// thread over the system drive that records one entry per new extension;
// a lookup that misses asks the shell at once. Entries are never removed
// or replaced, and the image list only grows.
#pragma once

#include "browse/key_hash.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace lockora::browse {

struct IconEntry {
    std::int32_t position = -1; // in the image list
    std::u16string typeName;
    friend bool operator==(const IconEntry&, const IconEntry&) = default;
};

class IconCache {
public:
    // Seeds the cache and starts the walk of the system directory's drive.
    IconCache();
    // Stops the walk (it ends within the entry in hand) and waits for it.
    ~IconCache();
    IconCache(const IconCache&) = delete;
    IconCache& operator=(const IconCache&) = delete;

    // The entry of `key` (letter case counts); on a miss the key is asked of
    // the shell as a path ("C:" names a drive) and added.
    IconEntry Lookup(std::u16string_view key);

    // The entry of `key` if the cache holds it; adds nothing.
    std::optional<IconEntry> Find(std::u16string_view key) const;

    // The image list: icon bytes (PNG, empty when no theme has an icon) in
    // position order.
    std::vector<std::string> Icons() const;

    // Waits until the walk has ended; false after `timeout`.
    bool WaitForWalk(std::chrono::milliseconds timeout) const;

private:
    // Queries the shell for `path` and adds the entry of `key` unless it is
    // there by now. Every query and insertion happens under queryMutex_.
    IconEntry Add(std::u16string_view key, std::u16string_view path, std::uint32_t fallbackAttributes);
    void Walk(std::u16string drive);

    // Guards the shell queries, the image list and every insertion.
    mutable std::mutex queryMutex_;
    std::vector<std::string> icons_;

    // Lets finds run beside an insertion without holding queryMutex_.
    mutable std::shared_mutex entriesMutex_;
    std::unordered_map<std::u16string, IconEntry, Fnv1aHash, std::equal_to<>> entries_;

    std::atomic<bool> running_{false};
    mutable std::mutex walkMutex_;
    mutable std::condition_variable walkEnded_;
    bool walkDone_ = false;
    std::thread walker_; // last: starts once everything above exists
};

} // namespace lockora::browse
