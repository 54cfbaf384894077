// The registry: the two hives the system uses, with the Win32 calls it makes.
//
// Each hive is a text file in the registry folder (LOCKORA_REGISTRY, read at
// every call; by default $XDG_DATA_HOME/ombrix-lockora/registry), one section
// per key with typed values, which keeps any UTF-16 text exactly. Key and
// value names compare without case and keep the case they were created with;
// the default value has the empty name. Every change re-reads the hive and
// rewrites it atomically under an exclusive lock that holds across
// processes, so concurrent writers lose nothing and a crash leaves the last
// complete hive. A hive file that cannot be parsed is kept beside the new one
// with a ".bad" suffix, and the store starts empty.
//
// Key paths are pieces separated by "\" below the hive ("SOFTWARE\Ombrix");
// the empty path is the hive's root. Errors: 161 for an empty piece, 87 for
// a name holding NUL or one longer than 255 units (keys) or 16383 units
// (values).
#pragma once

#include "platform/errors.h"
#include "platform/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class RegistryHive { LocalMachine, ClassesRoot };
inline constexpr RegistryHive HKEY_LOCAL_MACHINE = RegistryHive::LocalMachine;
inline constexpr RegistryHive HKEY_CLASSES_ROOT = RegistryHive::ClassesRoot;

// The operation on an open key failed because the key was deleted since.

inline constexpr std::size_t kMaxKeyNameUnits = 255;
inline constexpr std::size_t kMaxValueNameUnits = 16383;

// The stored types, with their Windows type codes.
enum class RegistryType : std::uint32_t {
    Sz = 1,    // REG_SZ
    Dword = 4, // REG_DWORD
    Qword = 11 // REG_QWORD
};

struct RegistryValue {
    RegistryType type = RegistryType::Sz;
    std::u16string text;      // REG_SZ, without its terminating NUL
    std::uint64_t number = 0; // REG_DWORD (below 2^32) or REG_QWORD

    static RegistryValue String(std::u16string text) { return {RegistryType::Sz, std::move(text), 0}; }
    static RegistryValue Dword(std::uint32_t number) { return {RegistryType::Dword, {}, number}; }
    static RegistryValue Qword(std::uint64_t number) { return {RegistryType::Qword, {}, number}; }
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// An open key. It names the key (hive and path) and holds no OS resource;
// like a Win32 key handle it is closed by going out of scope and fails with
// kErrorKeyDeleted once its key is deleted.
class RegistryKey {
public:
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() = default;

    RegistryHive hive() const { return hive_; }
    // The key's path in the case it was created with; empty for the root.
    const std::u16string& path() const { return path_; }
    // False for a moved-from key; calls with it fail with 6.
    bool valid() const { return valid_; }

private:
    RegistryKey(RegistryHive hive, std::u16string path) : hive_(hive), path_(std::move(path)) {}
    friend struct RegistryKeyFactory;

    RegistryHive hive_;
    std::u16string path_;
    bool valid_ = true;
};

enum class KeyDisposition : std::uint32_t {
    CreatedNewKey = 1,     // REG_CREATED_NEW_KEY
    OpenedExistingKey = 2, // REG_OPENED_EXISTING_KEY
};

struct CreatedKey {
    RegistryKey key;
    KeyDisposition disposition;
};

// Opens a key, creating it and its missing parents (RegCreateKeyEx).
Result<CreatedKey> RegCreateKeyEx(RegistryHive hive, std::u16string_view subKey);

// Opens an existing key; 2 when it is missing (RegOpenKeyEx).
Result<RegistryKey> RegOpenKeyEx(RegistryHive hive, std::u16string_view subKey);

// Sets a value of an open key, replacing one of the same name whatever its
// type (RegSetValueEx).
Status RegSetValueEx(const RegistryKey& key, std::u16string_view valueName, const RegistryValue& value);

// A value of a key and its name, for setting several at once.
struct NamedValue {
    std::u16string_view name;
    RegistryValue value;
};

// Sets several values of an open key as RegSetValueEx does each. Here they
// change together, in one write of the stored hive, so that no failure or
// kill leaves some old and some new; Windows sets them one after another.
Status RegSetValues(const RegistryKey& key, std::span<const NamedValue> values);

// The stored value and its type; 2 when the value is missing
// (RegQueryValueEx).
Result<RegistryValue> RegQueryValueEx(const RegistryKey& key, std::u16string_view valueName);

// Sets a value on the key at a path below the hive, creating the key and its
// missing parents, in one change (RegSetKeyValue).
Status RegSetKeyValue(RegistryHive hive, std::u16string_view subKey, std::u16string_view valueName,
                      const RegistryValue& value);

// Deletes one key with its values: 2 when it is missing, 5 when it has
// subkeys or is the hive's root (RegDeleteKey).
Status RegDeleteKey(RegistryHive hive, std::u16string_view subKey);

// Names of the subkeys, ordered without case, and of the values, in the
// order they were created (RegEnumKeyEx and RegEnumValue).
Result<std::vector<std::u16string>> RegEnumKeyNames(const RegistryKey& key);
Result<std::vector<std::u16string>> RegEnumValueNames(const RegistryKey& key);

} // namespace platform
