// CryptEngine: one object per encrypt or decrypt batch, owned by its worker
// thread and used for every item of the batch.
//
// It holds the item's key material, the buffers of the block loop, the
// running checksum, the three file handles and the progress state, and
// performs the stream transform and the container format's
// reading and writing. Failures inside an item throw AbandonItem; the item
// operation catches it and cleans up. The members keep the system's names
// and are plain data, set and read by the item operations.
#pragma once

#include "crypto/cipher.h"
#include "crypto/container_crc.h"
#include "crypto/container_trailer.h"
#include "crypto/record_header.h"
#include "crypto/strong_format.h"
#include "platform/file.h"
#include "platform/folders.h"

#include <array>
#include <functional>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::crypto {

class StrongOpener;
class StrongSealer;
enum class StrongRead : std::uint8_t;

// Whether a CipherStream call transforms whole words or a tail of bytes.
enum class CipherUnit : std::uint8_t { Words, Bytes };

// What a progress percentage is computed from.
enum class ProgressMode : std::uint8_t {
    WritePosition, // single-file items: the write position after the chunk
    Counter,       // folder containers: uDone, advanced by every chunk
};

// Where a stream is read from (hSrcFile) and written to (hOutFile). A single
// file reads and writes at the same offsets, so both start at 0 and move
// together; inside a folder container one of them is ovlContainer.
struct StreamCursor {
    std::uint64_t read = 0;
    std::uint64_t write = 0;
};

enum class TrailerOutcome : std::uint8_t {
    Ok,              // kind known, uKey set, key table built
    BadContainer,    // shorter than 32 bytes, or the trailer checksum is wrong
    ReadFailed,      // the size or the trailer could not be read
    WrongPassword,   // the password (nor, with the recovery flag, the program password) fits
    DirectoryFailed, // a folder container's output directory cannot be created
};

struct TrailerResult {
    TrailerOutcome outcome = TrailerOutcome::Ok;
    platform::ErrorCode error = 0; // the error behind ReadFailed and DirectoryFailed
};

// Reads the trailer at the end of `container` and checks its checksum:
// BadContainer, ReadFailed or Ok. `size` is the container's length once known.
TrailerResult ReadContainerTrailer(platform::File& container, ContainerTrailer& trailer, std::uint64_t& size);

// The largest read or write of the stream loop.
inline constexpr std::uint32_t kRunBytes = 1u << 20;

class CryptEngine {
public:
    CryptEngine() = default;
    CryptEngine(const CryptEngine&) = delete;
    CryptEngine& operator=(const CryptEngine&) = delete;
    // Wipes the key material and the buffers.
    ~CryptEngine();

    // Key material of an item from the typed password: uKey = uKeyPlain =
    // PasswordKey, uCheckPlain = PasswordCheck, and uCheckValue (the value
    // to write) = uKeyPlain with bEptCanFgt, else uCheckPlain.
    void DeriveKeys(std::u16string_view password);

    // One segment of a stream: chunkCount chunks of chunkSize bytes (0 to
    // 2,048), each read from hSrcFile at cursor.read, added to uCrc as
    // plaintext, transformed with arrKeyTable and `counter`, and written to
    // hOutFile at cursor.write (and to hBackupFile when encrypting with a
    // backup open); then a progress notification when the percentage
    // changed. Reads and writes go in runs of up to kRunBytes. A failed or
    // short read abandons the item with "ReadFile Error", a failed write
    // with "WriteFile Error", both after a MSG_SHOW_ERROR_INFO notification.
    void CipherStream(std::uint64_t chunkCount, std::uint32_t chunkSize, CipherUnit unit, std::uint64_t& counter,
                      StreamCursor& cursor, ProgressMode mode);

    // A whole stream of `length` bytes, cut as every stream is cut: the full
    // chunks, then the remainder rounded down to words (processed even when
    // empty), then the tail of length mod 8 bytes; the counter starts at 10.
    void TransformStream(std::uint64_t length, StreamCursor& cursor, ProgressMode mode);

    // Appends the sealed trailer of the given kind to hOutFile (and to
    // hBackupFile when open), each at its own current length.
    void WriteTrailer(std::int32_t kind);

    // Checks the container in hSrcFile and the password; for a folder
    // container replaces the empty output file strOutPath (hOutFile) by a
    // directory. Sets uContainerSize, and trailer when it could be read.
    TrailerResult ReadTrailer();
    // The same checks without any output: never DirectoryFailed.
    TrailerResult CheckTrailer();

    // After ReadTrailer or CheckTrailer: decrypts the whole body of the
    // container in hSrcFile, a file's content into hOutFile and a folder's
    // records below strOutPath (nothing at all with bVerifyOnly), running
    // uCrc over the plaintext. Abandons the item on an error.
    void DecryptBody();

    // After the body was restored: whether the data checksum matches.
    bool VerifyDataChecksum();

    // Writes the records of everything below `folder` to hOutFile at
    // ovlContainer, depth first, in listing order; symbolic links are
    // skipped. Relative paths are taken from strSrcPath.
    void PackFolder(std::u16string_view folder);
    void WriteDirRecord(std::u16string_view path);
    void WriteFileRecord(std::u16string_view path, std::uint64_t length);

    // Restores the records of the folder container in hSrcFile below
    // strOutPath. A record that is malformed, runs past the body or names a
    // path outside the output folder shows the bad-record message box and
    // abandons the item with "Error data" before anything is written for it.
    void UnpackFolder();

    // Strong containers. WriteStrongContainer writes the item strSrcPath
    // (hSrcFile for a file) as a strong container to hOutFile, and to
    // hBackupFile when open, from offset 0. ReadTrailer and CheckTrailer
    // recognise a strong container by its first bytes, check its header,
    // end block and password (strongHeader is then set), and DecryptBody
    // restores it, last-write times included; VerifyDataChecksum is then
    // true, every chunk having been authenticated as it was read.
    void WriteStrongContainer(bool isFolder);
    // After a strong container was restored: decrypts it again in memory
    // and compares it with what was restored at `restored`, byte for byte.
    // Fails with 23 (CRC error) on any difference, else with the failed
    // open's or read's code.
    platform::Status CompareStrongRestored(std::u16string_view restored);
    bool IsFolderContainer() const;
    bool IsStrongContainer() const { return strongHeader.has_value(); }

    // Direction of the batch's current item: true encrypt, false decrypt.
    bool bEncrypt = true;
    // Decrypting into the buffers only, to check a container: nothing is
    // created or written, and a bad record shows no message box.
    bool bVerifyOnly = false;
    // Whether the stream loop sends MSG_SET_PRGRRESS.
    bool bReportProgress = true;
    std::uint64_t uKey = 0;
    std::uint64_t uKeyPlain = 0;
    std::uint64_t uCheckPlain = 0;
    std::uint64_t uCheckValue = 0;
    KeyTable arrKeyTable{};
    // The stream loop's buffers, up to a run each, grown to what the batch's
    // streams need and kept for the batch.
    std::vector<std::uint8_t> byReadBlock;
    std::vector<std::uint8_t> byOutBlock;
    std::uint32_t uCrc = kCrcStart;

    platform::File hSrcFile;
    platform::File hOutFile;
    platform::File hBackupFile;
    std::u16string strSrcPath;
    std::u16string strOutPath;
    std::u16string strBackupPath;

    std::uint64_t uTotal = 0;
    std::uint64_t uDone = 0;
    std::int32_t iLastPercent = 0;

    std::uint64_t ovlContainer = 0;
    std::uint64_t uContainerSize = 0;
    ContainerTrailer trailer;

    // The batch's copies of the settings.
    bool bEptCanFgt = false;
    bool bBackup = false;
    std::uint64_t uPwd = 0;
    bool bStrong = false; // write strong containers

    // The cost of new strong containers, and the header of the strong
    // container being read.
    StrongParameters strongParameters;
    std::optional<StrongHeader> strongHeader;

private:
    // A derived key kept for the batch, so that items with the same
    // password and salt derive it once.
    struct DerivedKey {
        std::string secret;
        std::array<std::uint8_t, 16> salt{};
        StrongParameters parameters;
        SecretKey key;
        bool ready = false;

        // Derived from `text` at this cost (with the salt kept beside it).
        bool Holds(const std::string& text, const StrongParameters& cost) const
        {
            return ready && secret == text && parameters.passes == cost.passes &&
                   parameters.memoryKiB == cost.memoryKiB;
        }
    };

    [[noreturn]] void AbandonAfterError(std::string_view reason, platform::ErrorCode code);
    // Visits the entries below `folder` depth first, in listing order, a
    // folder before its content; symbolic links are skipped. A file is open
    // in hSrcFile while it is visited, with its length; a folder has none.
    using PackedEntryVisit =
        std::function<void(const std::u16string& path, const platform::FindData& entry, std::optional<std::uint64_t> length)>;
    void WalkPackedTree(std::u16string_view folder, const PackedEntryVisit& visit);
    std::size_t EncodeRecordHeader(std::int32_t kind, std::u16string_view path, std::optional<std::uint64_t> length,
                                   RecordWindow& header);
    const SecretKey& StrongKey(DerivedKey& cache, const std::string& secret, const StrongHeader& header);
    TrailerResult MatchStrongPassword();
    void WriteStrongBytes(std::uint64_t& offset, std::span<const std::uint8_t> bytes);
    void SealFileContent(StrongSealer& sealer, const ChunkSink& sink, std::uint64_t length);
    void PackStrongFolder(std::u16string_view folder, StrongSealer& sealer, const ChunkSink& sink);
    void DecryptStrongBody();
    void UnpackStrongFolder(StrongOpener& opener);
    void RestoreStrongContent(StrongOpener& opener, std::uint64_t length);
    void CheckStrongRead(StrongOpener& opener, StrongRead read);
    [[noreturn]] void RejectRecord();
    TrailerResult MatchPassword();
    TrailerResult ReadAnyTrailer();
    void ReportProgress(std::uint64_t done);
    // Makes `run` hold at least `bytes`; the run buffers grow to the largest
    // run the batch has needed and keep that size.
    static void GrowRun(std::vector<std::uint8_t>& run, std::size_t bytes);
    // Output waits in byOutBlock, a run at a time, for hOutFile (and
    // hBackupFile when encrypting with a backup): ReserveOutput gives room
    // for `size` bytes at `offset`, writing what waits first when the new
    // bytes do not follow it or do not fit; FlushOutput writes what waits.
    // The stream loop writes each run at once unless queueOutput_ is set.
    std::uint8_t* ReserveOutput(std::uint64_t offset, std::uint32_t size);
    void FlushOutput();
    // Runs `write` with the output queued: what waits is written when it
    // returns and dropped, with the item, when it throws.
    template <typename Write>
    void WithQueuedOutput(Write&& write)
    {
        queueOutput_ = true;
        try {
            write();
        } catch (...) {
            queueOutput_ = false;
            pendingSize_ = 0;
            throw;
        }
        queueOutput_ = false;
        FlushOutput();
    }
    void WriteRecordHeader(std::int32_t kind, std::u16string_view path, std::optional<std::uint64_t> length);
    // The `size` bytes of hSrcFile at `offset` (at most kRunBytes), from
    // byReadBlock. While readAheadEnd_ is set, a read takes the next run up
    // to that offset, so the small records of a folder body come from one
    // read; otherwise it takes just those bytes. A failed or short read
    // abandons the item with "ReadFile Error".
    const std::uint8_t* SourceBytes(std::uint64_t offset, std::uint32_t size);

    bool bCompareRestored = false;
    std::string strongSecret_;  // the typed password as the key derivation takes it
    DerivedKey passwordKey_;
    DerivedKey recoveryKey_;
    SecretKey strongStreamKey_;
    std::vector<std::uint8_t> strongBuffer_;
    bool queueOutput_ = false;
    std::uint64_t pendingOffset_ = 0;
    std::uint32_t pendingSize_ = 0;
    std::uint64_t readAheadEnd_ = 0; // 0: no read-ahead
    std::uint64_t windowOffset_ = 0; // what byReadBlock holds of hSrcFile
    std::uint32_t windowSize_ = 0;
};

} // namespace lockora::crypto
