#include "browse/icon_cache.h"

#include "browse/drive_walk.h"
#include "browse/file_list_row.h"
#include "platform/attributes.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace lockora::browse {
namespace {

// Type name and icon of an item. An item that cannot be reached (gone since
// the walk listed it, or a seed file that this system does not have) is
// typed by its name, so every entry carries a type name.
platform::ShellFileInfo QueryShell(std::u16string_view path, std::uint32_t fallbackAttributes)
{
    auto info = platform::GetShellFileInfo(path, platform::ShellIconSize::Large);
    if (info)
        return std::move(*info);
    return platform::GetShellFileInfoByName(path, fallbackAttributes, platform::ShellIconSize::Large);
}

} // namespace

IconCache::IconCache()
{
    const std::u16string systemDirectory = platform::SystemDirectory().value_or(std::u16string());
    Add(u"folder", systemDirectory, platform::kAttrDirectory);
    const std::u16string exe = JoinPath(systemDirectory, u"at.exe");
    for (const std::u16string_view key : {u"exe", u"EXE", u"Exe"})
        Add(key, exe, platform::kAttrNormal);

    // Set before the thread starts, so that a destruction right after the
    // construction cannot be overtaken by the walk switching itself on.
    running_.store(true, std::memory_order_release);
    walker_ = std::thread(&IconCache::Walk, this, systemDirectory.substr(0, 2));
}

IconCache::~IconCache()
{
    running_.store(false, std::memory_order_release);
    walker_.join();
}

IconEntry IconCache::Lookup(std::u16string_view key)
{
    if (auto found = Find(key))
        return std::move(*found);
    return Add(key, key, platform::kAttrNormal);
}

std::optional<IconEntry> IconCache::Find(std::u16string_view key) const
{
    std::shared_lock lock(entriesMutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> IconCache::Icons() const
{
    std::lock_guard lock(queryMutex_);
    return icons_;
}

bool IconCache::WaitForWalk(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(walkMutex_);
    return walkEnded_.wait_for(lock, timeout, [this] { return walkDone_; });
}

IconEntry IconCache::Add(std::u16string_view key, std::u16string_view path, std::uint32_t fallbackAttributes)
{
    std::lock_guard query(queryMutex_);
    // Insertions happen only under this lock, so a second look here is exact
    // and no key is ever asked of the shell twice.
    if (auto found = Find(key))
        return std::move(*found);
    platform::ShellFileInfo info = QueryShell(path, fallbackAttributes);
    IconEntry entry{static_cast<std::int32_t>(icons_.size()), std::move(info.typeName)};
    icons_.push_back(std::move(info.iconPng));
    std::unique_lock insert(entriesMutex_);
    entries_.emplace(std::u16string(key), entry);
    return entry;
}

void IconCache::Walk(std::u16string drive)
{
    if (!drive.empty()) {
        WalkFolderTree(drive, running_, [this](std::u16string_view folder, const platform::FindData& file) {
            const std::u16string key = ExtensionKey(file.name);
            if (!Find(key))
                Add(key, JoinPath(folder, file.name), platform::kAttrNormal);
        });
    }
    {
        std::lock_guard lock(walkMutex_);
        walkDone_ = true;
    }
    walkEnded_.notify_all();
}

} // namespace lockora::browse
