#include "platform/registry.h"

#include "platform/common/registry_key.h"
#include "platform/errors.h"
#include "platform/posix/errno_error.h"
#include "platform/posix/host_file.h"
#include "platform/posix/registry_hive.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

using registry::HiveKey;

struct HiveFiles {
    std::string folder;
    std::string hive; // the hive's text
    std::string lock; // held by every writer of the hive
};

// Read at every call, so that tests can give each case its own folder.
Result<std::string> RegistryFolder()
{
    if (const char* folder = std::getenv("LOCKORA_REGISTRY"); folder && *folder)
        return std::string(folder);
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return std::string(data) + "/ombrix-lockora/registry";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.local/share/ombrix-lockora/registry";
    return Error(kErrorPathNotFound);
}

std::string_view HiveName(RegistryHive hive)
{
    return hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CLASSES_ROOT";
}

Result<HiveFiles> FilesOf(RegistryHive hive)
{
    auto folder = RegistryFolder();
    if (!folder)
        return folder.error();
    const std::string stem = *folder + (hive == HKEY_LOCAL_MACHINE ? "/machine" : "/classes");
    return HiveFiles{*folder, stem + ".reg", stem + ".lock"};
}

// The last complete hive. A missing folder or file is an empty hive, and so
// is an unparsable one, which the next writer moves aside.
Result<HiveKey> LoadForReading(RegistryHive hive)
{
    const auto files = FilesOf(hive);
    if (!files)
        return files.error();
    auto text = hostio::ReadWholeFile(files->hive);
    if (!text) {
        if (text.code() == kErrorFileNotFound || text.code() == kErrorPathNotFound)
            return HiveKey{};
        return text.error();
    }
    auto parsed = registry::ParseHive(*text);
    return parsed ? std::move(parsed).value() : HiveKey{};
}

// Runs `change` (HiveKey& -> Result<bool>, true when it modified the hive)
// on the current hive under the writers' lock and saves the result. Holding
// the lock from the read to the rename serialises writers of all threads and
// processes, so no change is lost.
template <typename Change>
Status ChangeHive(RegistryHive hive, Change&& change)
{
    const auto files = FilesOf(hive);
    if (!files)
        return files.error();
    PLATFORM_TRY(hostio::CreateFolders(files->folder, 0700));
    const auto lock = hostio::ExclusiveLock::OnLockFile(files->lock);
    if (!lock)
        return lock.error();
    // Every writer holds the lock, so temporary files present now belong to
    // writers that were killed.
    hostio::RemoveStaleTemporaries(files->hive);

    HiveKey root;
    if (auto text = hostio::ReadWholeFile(files->hive)) {
        if (auto parsed = registry::ParseHive(*text)) {
            root = std::move(parsed).value();
        } else if (::rename(files->hive.c_str(), (files->hive + ".bad").c_str()) != 0) {
            // Never overwrite a hive that might still be recovered by hand.
            return Error(ErrorFromErrno(errno));
        }
    } else if (text.code() != kErrorFileNotFound) {
        return text.error();
    }

    const Result<bool> changed = change(root);
    if (!changed)
        return changed.error();
    if (!*changed)
        return Status::Success();
    return hostio::ReplaceFileAtomically(files->hive, registry::FormatHive(root, HiveName(hive)));
}

// Walks to the key at `pieces`, creating what is missing; the path comes
// back in the case of the keys that already existed.
HiveKey& CreatePath(HiveKey& root, const std::vector<std::u16string>& pieces, std::u16string& storedPath,
                    bool& created)
{
    HiveKey* key = &root;
    storedPath.clear();
    created = false;
    for (const auto& piece : pieces) {
        HiveKey* next = registry::FindSubkey(*key, piece);
        if (!next) {
            next = &registry::AddSubkey(*key, piece);
            created = true;
        }
        key = next;
        if (!storedPath.empty())
            storedPath.push_back(u'\\');
        storedPath += key->name;
    }
    return *key;
}

Result<std::vector<std::u16string>> PiecesOf(const RegistryKey& key)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    return registry::SplitKeyPath(key.path());
}

// Loads the hive of an open key and hands the key's node to `read`; 1018
// when the key has been deleted since it was opened.
template <typename T, typename Read>
Result<T> ReadOpenKey(const RegistryKey& key, Read read)
{
    const auto pieces = PiecesOf(key);
    if (!pieces)
        return pieces.error();
    auto root = LoadForReading(key.hive());
    if (!root)
        return root.error();
    HiveKey* node = registry::FindKey(*root, *pieces);
    if (!node)
        return Error(kErrorKeyDeleted);
    return read(*node);
}

} // namespace

Result<CreatedKey> RegCreateKeyEx(RegistryHive hive, std::u16string_view subKey)
{
    const auto pieces = registry::SplitKeyPath(subKey);
    if (!pieces)
        return pieces.error();
    std::u16string storedPath;
    bool created = false;
    const Status status = ChangeHive(hive, [&](HiveKey& root) -> Result<bool> {
        CreatePath(root, *pieces, storedPath, created);
        return created;
    });
    if (!status)
        return status.error();
    return CreatedKey{RegistryKeyFactory::Make(hive, std::move(storedPath)),
                      created ? KeyDisposition::CreatedNewKey : KeyDisposition::OpenedExistingKey};
}

Result<RegistryKey> RegOpenKeyEx(RegistryHive hive, std::u16string_view subKey)
{
    const auto pieces = registry::SplitKeyPath(subKey);
    if (!pieces)
        return pieces.error();
    auto root = LoadForReading(hive);
    if (!root)
        return root.error();
    std::u16string storedPath;
    HiveKey* key = &*root;
    for (const auto& piece : *pieces) {
        key = registry::FindSubkey(*key, piece);
        if (!key)
            return Error(kErrorFileNotFound);
        if (!storedPath.empty())
            storedPath.push_back(u'\\');
        storedPath += key->name;
    }
    return RegistryKeyFactory::Make(hive, std::move(storedPath));
}

Status RegSetValueEx(const RegistryKey& key, std::u16string_view valueName, const RegistryValue& value)
{
    const auto pieces = PiecesOf(key);
    if (!pieces)
        return pieces.error();
    PLATFORM_TRY(registry::CheckValueName(valueName));
    PLATFORM_TRY(registry::CheckValue(value));
    return ChangeHive(key.hive(), [&](HiveKey& root) -> Result<bool> {
        HiveKey* node = registry::FindKey(root, *pieces);
        if (!node)
            return Error(kErrorKeyDeleted);
        return registry::SetValue(*node, valueName, value);
    });
}

Status RegSetValues(const RegistryKey& key, std::span<const NamedValue> values)
{
    const auto pieces = PiecesOf(key);
    if (!pieces)
        return pieces.error();
    for (const NamedValue& named : values) {
        PLATFORM_TRY(registry::CheckValueName(named.name));
        PLATFORM_TRY(registry::CheckValue(named.value));
    }
    return ChangeHive(key.hive(), [&](HiveKey& root) -> Result<bool> {
        HiveKey* node = registry::FindKey(root, *pieces);
        if (!node)
            return Error(kErrorKeyDeleted);
        bool changed = false;
        for (const NamedValue& named : values)
            changed = registry::SetValue(*node, named.name, named.value) || changed;
        return changed;
    });
}

Result<RegistryValue> RegQueryValueEx(const RegistryKey& key, std::u16string_view valueName)
{
    if (!key.valid())
        return Error(kErrorInvalidHandle);
    PLATFORM_TRY(registry::CheckValueName(valueName));
    return ReadOpenKey<RegistryValue>(key, [&](HiveKey& node) -> Result<RegistryValue> {
        const registry::HiveValue* stored = registry::FindValue(node, valueName);
        if (!stored)
            return Error(kErrorFileNotFound);
        return stored->value;
    });
}

Status RegSetKeyValue(RegistryHive hive, std::u16string_view subKey, std::u16string_view valueName,
                      const RegistryValue& value)
{
    const auto pieces = registry::SplitKeyPath(subKey);
    if (!pieces)
        return pieces.error();
    PLATFORM_TRY(registry::CheckValueName(valueName));
    PLATFORM_TRY(registry::CheckValue(value));
    return ChangeHive(hive, [&](HiveKey& root) -> Result<bool> {
        std::u16string storedPath;
        bool created = false;
        HiveKey& node = CreatePath(root, *pieces, storedPath, created);
        return registry::SetValue(node, valueName, value) || created;
    });
}

Status RegDeleteKey(RegistryHive hive, std::u16string_view subKey)
{
    auto pieces = registry::SplitKeyPath(subKey);
    if (!pieces)
        return pieces.error();
    if (pieces->empty())
        return Error(kErrorAccessDenied);
    const std::u16string name = std::move(pieces->back());
    pieces->pop_back();
    return ChangeHive(hive, [&](HiveKey& root) -> Result<bool> {
        HiveKey* parent = registry::FindKey(root, *pieces);
        HiveKey* key = parent ? registry::FindSubkey(*parent, name) : nullptr;
        if (!key)
            return Error(kErrorFileNotFound);
        if (!key->subkeys.empty())
            return Error(kErrorAccessDenied);
        parent->subkeys.erase(parent->subkeys.begin() + (key - parent->subkeys.data()));
        return true;
    });
}

Result<std::vector<std::u16string>> RegEnumKeyNames(const RegistryKey& key)
{
    return ReadOpenKey<std::vector<std::u16string>>(key, [](HiveKey& node) {
        std::vector<std::u16string> names;
        for (const auto& subkey : node.subkeys)
            names.push_back(subkey.name);
        return names;
    });
}

Result<std::vector<std::u16string>> RegEnumValueNames(const RegistryKey& key)
{
    return ReadOpenKey<std::vector<std::u16string>>(key, [](HiveKey& node) {
        std::vector<std::u16string> names;
        for (const auto& value : node.values)
            names.push_back(value.name);
        return names;
    });
}

} // namespace platform
