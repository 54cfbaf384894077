// The Windows attribute word of a host item, kept as Wine keeps it: the
// extended attribute "user.DOSATTRIB" ("0x" and lower-case hex, no NUL)
// holds hidden, system and not-content-indexed, and read-only of a folder; a
// regular file's read-only is the absence of every write permission bit.
#pragma once

#include "platform/attributes.h"
#include "platform/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform::hostfs {

// Bits that "user.DOSATTRIB" carries for a file and for a folder.
inline constexpr std::uint32_t kXattrFileBits = kAttrHidden | kAttrSystem | kAttrNotContentIndexed;
inline constexpr std::uint32_t kXattrFolderBits = kXattrFileBits | kAttrReadOnly;

// Hex text as Wine and Samba write it ("0x22"; the prefix and letter case
// are optional). Nothing when the text holds no hex digit.
std::optional<std::uint32_t> ParseDosAttrib(std::string_view text);

// "user.DOSATTRIB" of an item (never of a link's target); nothing when it is
// missing, unreadable or unsupported by the file system.
std::optional<std::uint32_t> ReadDosAttrib(const std::string& hostPath);

// Stores `bits` canonically; 50 when the file system keeps no extended
// attributes.
Status WriteDosAttrib(const std::string& hostPath, std::uint32_t bits);

// Removes "user.DOSATTRIB"; a missing one, or a file system without extended
// attributes, is already done.
Status RemoveDosAttrib(const std::string& hostPath);

// Whether a name is hidden by its leading dot ("." and ".." are not).
bool IsDotName(std::string_view hostName);

// A regular file without any write permission bit.
inline bool IsReadOnlyFile(const struct stat& st)
{
    return S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// The attribute word of the item at `hostPath`, whose lstat is `st`, named
// `hostName` in its folder (empty for a drive root).
std::uint32_t AttributesOf(const std::string& hostPath, const struct stat& st, std::string_view hostName);

} // namespace platform::hostfs
