// Checking and describing containers without restoring them.
//
// VerifyContainer decrypts a container in memory, exactly as a decryption
// would read it, and writes nothing at all: it tells a container that would
// restore intact from one that is not a container, does not fit the
// password, or was damaged. DescribeContainer reads only what is stored in
// plain text (the trailer and a folder's record headers), so it needs no
// password.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string_view>

namespace lockora::crypto {

class CryptEngine;

enum class VerifyOutcome : std::uint8_t {
    Intact,           // trailer, password and data checksum all fit
    NotContainer,     // shorter than a trailer, or the trailer checksum is wrong
    WrongPassword,    // neither the password nor (with the recovery flag) the program password fits
    ReadFailed,       // the container could not be opened or read; `error` says why
    DamagedRecords,   // a folder record is malformed or runs past the body
    ChecksumMismatch, // everything decrypts, but the content was changed after encryption
};

struct VerifyResult {
    VerifyOutcome outcome = VerifyOutcome::Intact;
    bool isFolder = false;       // known once the trailer was read
    platform::ErrorCode error = 0;
};

enum class VerifyProgress : std::uint8_t { Report, Silent };

// `programPassword` is the stored program password value (uPwd, 0 when none
// is set), which opens containers written with the recovery flag. With
// VerifyProgress::Report the progress goes out as MSG_SET_PRGRRESS with
// `path`, as while decrypting; a failed open or read is reported as
// MSG_SHOW_ERROR_INFO either way.
VerifyResult VerifyContainer(std::u16string_view path, std::u16string_view password, std::uint64_t programPassword,
                             VerifyProgress progress = VerifyProgress::Report);

// The same with an engine kept by the caller, whose derived strong keys
// carry over from one container to the next (a batch derives once).
VerifyResult VerifyContainerWith(CryptEngine& engine, std::u16string_view path, std::u16string_view password,
                                 std::uint64_t programPassword, VerifyProgress progress);

// Reads a restored file or folder back from the disk and checks it against
// the data checksum of the container it was restored from: every file the
// container holds must be there with exactly its content. Fails with 23
// (CRC error) when anything differs, or with the code of a failed open or
// read.
platform::Status CheckRestoredContent(std::u16string_view container, std::u16string_view restored);

struct ContainerInfo {
    bool strong = false; // the strong format: sizes and names are encrypted, and left 0
    bool isFolder = false;
    bool recoveryFlag = false;
    std::uint64_t containerSize = 0;
    std::uint64_t contentSize = 0; // a file's length, or the sum of a folder's file lengths
    std::uint64_t fileCount = 0;   // files inside a folder container
    std::uint64_t folderCount = 0; // subfolders inside a folder container
};

// Errors: the open's and read's codes; 13 (invalid data) for a file that is
// not a container or a folder container whose records are malformed.
platform::Result<ContainerInfo> DescribeContainer(std::u16string_view path);

} // namespace lockora::crypto
