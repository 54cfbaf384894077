// Writing and reading strong containers with the engine's handles, buffers
// and progress, so that the operations treat both formats alike.
#include "bridge/notify.h"
#include "crypto/abandon_item.h"
#include "crypto/crypt_engine.h"
#include "crypto/password_key.h"
#include "crypto/progress.h"
#include "crypto/record_path.h"
#include "crypto/strong_stream.h"
#include "crypto/word_io.h"
#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/times.h"

#include <sodium.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace lockora::crypto {
namespace {

std::array<std::uint8_t, 8> TimeBytes(platform::FileTime time)
{
    std::array<std::uint8_t, 8> bytes{};
    StoreLittle(time.ticks, bytes.data(), 8);
    return bytes;
}

// The recovery secret for as long as one derivation needs it.
struct RecoverySecret {
    explicit RecoverySecret(std::uint64_t programPassword) : text(StrongRecoveryBytes(programPassword)) {}
    RecoverySecret(const RecoverySecret&) = delete;
    RecoverySecret& operator=(const RecoverySecret&) = delete;
    ~RecoverySecret() { sodium_memzero(text.data(), text.size()); }
    std::string text;
};

} // namespace

bool CryptEngine::IsFolderContainer() const
{
    return strongHeader ? strongHeader->IsFolder() : trailer.Kind() == kKindFolder;
}

const SecretKey& CryptEngine::StrongKey(DerivedKey& cache, const std::string& secret, const StrongHeader& header)
{
    if (cache.Holds(secret, header.parameters) && cache.salt == header.salt)
        return cache.key;
    cache.ready = false;
    sodium_memzero(cache.secret.data(), cache.secret.size());
    if (auto derived = DeriveStrongKey(secret, header, cache.key); !derived)
        AbandonAfterError(kReadFileError, derived.code());
    cache.secret = secret;
    cache.salt = header.salt;
    cache.parameters = header.parameters;
    cache.ready = true;
    return cache.key;
}

void CryptEngine::WriteStrongBytes(std::uint64_t& offset, std::span<const std::uint8_t> bytes)
{
    const auto count = static_cast<std::uint32_t>(bytes.size());
    std::copy_n(bytes.data(), count, ReserveOutput(offset, count));
    if (!queueOutput_)
        FlushOutput();
    offset += count;
}

void CryptEngine::WriteStrongContainer(bool isFolder)
{
    StrongHeader header;
    header.kind = isFolder ? kStrongKindFolder : kStrongKindFile;
    // Recovery needs a program password to recover with.
    const bool recovery = bEptCanFgt && uPwd != 0;
    header.flags = recovery ? kStrongFlagRecovery : 0;
    header.parameters = strongParameters;
    // Items of one batch with one password share the salt, and so the
    // derivation; every container gets its own stream key.
    if (passwordKey_.Holds(strongSecret_, strongParameters))
        header.salt = passwordKey_.salt;
    else
        RandomBytes(header.salt);

    RandomBytes(std::span(strongStreamKey_.data(), kStrongKeySize));
    StrongSealer sealer(strongStreamKey_, strongParameters.chunkSize, header.streamHeader);
    WrapStreamKey(header, StrongKey(passwordKey_, strongSecret_, header), strongStreamKey_, header.passwordWrap);
    if (recovery) {
        const RecoverySecret secret(uPwd);
        WrapStreamKey(header, StrongKey(recoveryKey_, secret.text, header), strongStreamKey_, header.recoveryWrap);
    }
    strongStreamKey_.Wipe();

    // The sealed chunks and the records of small files share each write.
    WithQueuedOutput([&] {
        std::uint64_t offset = 0;
        WriteStrongBytes(offset, header.Bytes());
        const ChunkSink sink = [&](std::span<const std::uint8_t> chunk) { WriteStrongBytes(offset, chunk); };
        const auto time = platform::GetLastWriteTime(strSrcPath);
        if (!time)
            AbandonAfterError(kReadFileError, time.code());
        sealer.Write(TimeBytes(*time), sink);
        strongBuffer_.resize(strongParameters.chunkSize);
        if (isFolder) {
            PackStrongFolder(strSrcPath, sealer, sink);
        } else {
            SealFileContent(sealer, sink, uTotal);
        }
        sealer.Finish(sink);
        const std::uint64_t containerSize = offset + kStrongEndSize;
        WriteStrongBytes(offset, MakeStrongEnd(containerSize));
    });
}

void CryptEngine::SealFileContent(StrongSealer& sealer, const ChunkSink& sink, std::uint64_t length)
{
    // Read in runs; sealed, and reported, a chunk at a time.
    const std::size_t piece = strongBuffer_.size();
    const std::size_t perRun = std::max<std::size_t>(1, kRunBytes / piece) * piece;
    GrowRun(byReadBlock, static_cast<std::size_t>(std::min<std::uint64_t>(length, perRun)));
    for (std::uint64_t at = 0; at < length;) {
        const std::uint64_t runBytes = std::min<std::uint64_t>(length - at, perRun);
        const auto want = static_cast<std::uint32_t>(runBytes);
        const auto read = hSrcFile.ReadAt(at, byReadBlock.data(), want);
        if (!read)
            AbandonAfterError(kReadFileError, read.code());
        // A file that shrank while it is read must not be padded.
        if (*read != want)
            AbandonAfterError(kReadFileError, platform::kErrorHandleEof);
        for (std::uint32_t done = 0; done < want;) {
            const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(want - done, piece));
            sealer.Write(std::span(byReadBlock.data() + done, size), sink);
            done += size;
            uDone += size;
            ReportProgress(uDone);
        }
        at += want;
    }
}

void CryptEngine::PackStrongFolder(std::u16string_view folder, StrongSealer& sealer, const ChunkSink& sink)
{
    RecordWindow record{};
    WalkPackedTree(folder, [&](const std::u16string& path, const platform::FindData& entry,
                               std::optional<std::uint64_t> length) {
        const std::size_t size = EncodeRecordHeader(length ? kKindFile : kKindFolder, path, length, record);
        sealer.Write(std::span(record.data(), size), sink);
        sealer.Write(TimeBytes(entry.lastWriteTime), sink);
        if (length)
            SealFileContent(sealer, sink, *length);
    });
}

TrailerResult CryptEngine::MatchStrongPassword()
{
    const StrongHeader& header = *strongHeader;
    if (UnwrapStreamKey(header, StrongKey(passwordKey_, strongSecret_, header), header.passwordWrap, strongStreamKey_))
        return {TrailerOutcome::Ok};
    // As with the legacy recovery flag, typing the program password opens
    // the container.
    if (header.HasRecovery() && uPwd != 0 && uKeyPlain == uPwd) {
        const RecoverySecret secret(uPwd);
        if (UnwrapStreamKey(header, StrongKey(recoveryKey_, secret.text, header), header.recoveryWrap, strongStreamKey_))
            return {TrailerOutcome::Ok};
    }
    return {TrailerOutcome::WrongPassword};
}

void CryptEngine::CheckStrongRead(StrongOpener& opener, StrongRead read)
{
    if (read == StrongRead::ReadFailed)
        AbandonAfterError(kReadFileError, opener.error());
    if (read == StrongRead::Damaged)
        RejectRecord();
}

void CryptEngine::DecryptStrongBody()
{
    const StrongHeader& header = *strongHeader;
    strongBuffer_.resize(header.parameters.chunkSize);
    StrongOpener opener(hSrcFile, kStrongHeaderSize, uContainerSize - kStrongEndSize, strongStreamKey_,
                        header.streamHeader, header.parameters.chunkSize);
    strongStreamKey_.Wipe();
    std::array<std::uint8_t, 8> time{};
    CheckStrongRead(opener, opener.Read(time));
    uTotal = uContainerSize;
    uDone = 0;
    if (header.IsFolder()) {
        UnpackStrongFolder(opener);
    } else {
        uTotal = uContainerSize - kStrongHeaderSize - kStrongEndSize;
        RestoreStrongContent(opener, std::numeric_limits<std::uint64_t>::max());
    }
    if (!opener.AtEnd())
        RejectRecord();
    // Times are restored where the file system keeps them; a time that
    // cannot be set does not fail the restore.
    if (!bVerifyOnly)
        (void)platform::SetLastWriteTime(strOutPath, platform::FileTime{LoadLittle(time.data(), 8)});
}

platform::Status CryptEngine::CompareStrongRestored(std::u16string_view restored)
{
    auto container = platform::File::Open(strSrcPath, platform::Access::Read, platform::Share::Read,
                                          platform::Disposition::OpenExisting);
    if (!container)
        return container.error();
    hSrcFile = std::move(container).value();
    if (const TrailerResult read = CheckTrailer(); read.outcome != TrailerOutcome::Ok || !strongHeader)
        return platform::Error(read.outcome == TrailerOutcome::ReadFailed ? read.error : platform::kErrorCrc);
    if (!strongHeader->IsFolder()) {
        auto file = platform::File::Open(restored, platform::Access::Read, platform::Share::Read,
                                         platform::Disposition::OpenExisting);
        if (!file)
            return file.error();
        hOutFile = std::move(file).value();
    }
    const bool reporting = bReportProgress;
    bCompareRestored = bVerifyOnly = true;
    bReportProgress = false;
    strOutPath = restored;
    platform::Status compared;
    try {
        DecryptStrongBody();
    } catch (const AbandonItem& abandoned) {
        compared = platform::Error(abandoned.reason() == kErrorData ? platform::kErrorCrc : abandoned.code());
    }
    bCompareRestored = bVerifyOnly = false;
    bReportProgress = reporting;
    hSrcFile.Close();
    hOutFile.Close();
    return compared;
}

// Copies `length` bytes of content (a single file: all that remains) from
// the stream to hOutFile, or compares them with it.
void CryptEngine::RestoreStrongContent(StrongOpener& opener, std::uint64_t length)
{
    std::uint64_t at = 0;
    while (at < length) {
        std::span<const std::uint8_t> piece;
        const auto limit = static_cast<std::size_t>(std::min<std::uint64_t>(length - at, strongBuffer_.size()));
        CheckStrongRead(opener, opener.Next(limit, piece));
        if (piece.empty()) {
            if (length == std::numeric_limits<std::uint64_t>::max())
                break; // a single file's content ends with the stream
            RejectRecord();
        }
        const auto count = static_cast<std::uint32_t>(piece.size());
        if (bCompareRestored) {
            const auto read = hOutFile.ReadAt(at, strongBuffer_.data(), count);
            if (!read)
                throw AbandonItem(kReadFileError, read.code());
            if (*read != count || !std::equal(piece.begin(), piece.end(), strongBuffer_.begin()))
                throw AbandonItem(kErrorData, platform::kErrorCrc);
        } else if (!bVerifyOnly) {
            const auto written = hOutFile.WriteAt(at, piece.data(), count);
            if (!written || *written != count)
                AbandonAfterError(kWriteFileError, written ? platform::kErrorDiskFull : written.code());
        }
        at += piece.size();
        uDone += piece.size();
        ReportProgress(uDone);
    }
    // What is compared must end where the content ends.
    if (bCompareRestored) {
        const auto size = hOutFile.Size();
        if (!size)
            throw AbandonItem(kReadFileError, size.code());
        if (*size != at)
            throw AbandonItem(kErrorData, platform::kErrorCrc);
    }
}

void CryptEngine::UnpackStrongFolder(StrongOpener& opener)
{
    // Folder times are set last, deepest first: restoring their content
    // changes them.
    std::vector<std::pair<std::u16string, platform::FileTime>> folderTimes;
    std::array<std::uint8_t, 8> word{};
    while (!opener.AtEnd()) {
        std::array<std::uint8_t, 5> lead{};
        CheckStrongRead(opener, opener.Read(lead));
        const auto kind = static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadLittle(&lead[1], 4)));
        if (lead[0] != 0xFF || (kind != kKindFolder && kind != kKindFile))
            RejectRecord();
        std::u16string relative;
        for (std::size_t size = 5;; size += 2) {
            std::array<std::uint8_t, 2> unit{};
            if (size + 2 > kMaxRecordHeader)
                RejectRecord();
            CheckStrongRead(opener, opener.Read(unit));
            const auto value = static_cast<char16_t>(LoadLittle(unit.data(), 2));
            if (value == 0)
                break;
            relative.push_back(value);
        }
        if (!IsSafeRecordPath(relative))
            RejectRecord();
        std::uint64_t length = 0;
        if (kind == kKindFile) {
            CheckStrongRead(opener, opener.Read(word));
            length = LoadLittle(word.data(), 8);
        }
        CheckStrongRead(opener, opener.Read(word));
        const platform::FileTime time{LoadLittle(word.data(), 8)};
        const std::u16string target = strOutPath + u"\\" + relative;

        if (kind == kKindFolder) {
            if (bCompareRestored && !platform::IsDirectory(target))
                throw AbandonItem(kErrorData, platform::kErrorCrc);
            if (!bVerifyOnly) {
                if (auto made = platform::CreateDirectory(target); !made)
                    AbandonAfterError(kCreateDirectoryError, made.code());
                folderTimes.emplace_back(target, time);
            }
            continue;
        }
        if (bCompareRestored) {
            auto restored = platform::File::Open(target, platform::Access::Read, platform::Share::Read,
                                                 platform::Disposition::OpenExisting);
            if (!restored)
                throw AbandonItem(kReadFileError, restored.code());
            hOutFile = std::move(restored).value();
        } else if (!bVerifyOnly) {
            auto created = platform::File::Open(target, platform::Access::Write, platform::Share::None,
                                                platform::Disposition::CreateAlways);
            if (!created)
                AbandonAfterError(kCreateFileError, created.code());
            hOutFile = std::move(created).value();
        }
        RestoreStrongContent(opener, length);
        if (bCompareRestored) {
            hOutFile.Close();
        } else if (!bVerifyOnly) {
            if (auto flushed = hOutFile.Flush(); !flushed)
                AbandonAfterError(kWriteFileError, flushed.code());
            hOutFile.Close();
            (void)platform::SetLastWriteTime(target, time);
        }
    }
    for (auto it = folderTimes.rbegin(); it != folderTimes.rend(); ++it)
        (void)platform::SetLastWriteTime(it->first, it->second);
}

} // namespace lockora::crypto
