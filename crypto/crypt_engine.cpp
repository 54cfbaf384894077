#include "crypto/crypt_engine.h"

#include "bridge/notify.h"
#include "crypto/abandon_item.h"
#include "crypto/password_key.h"
#include "crypto/progress.h"
#include "crypto/secure_zero.h"
#include "platform/errors.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <span>

namespace lockora::crypto {

CryptEngine::~CryptEngine()
{
    SecureZero(&uKey, sizeof(uKey));
    SecureZero(&uKeyPlain, sizeof(uKeyPlain));
    SecureZero(&uCheckPlain, sizeof(uCheckPlain));
    SecureZero(&uCheckValue, sizeof(uCheckValue));
    SecureZero(&uPwd, sizeof(uPwd));
    SecureZero(arrKeyTable.data(), sizeof(arrKeyTable));
    SecureZero(byReadBlock.data(), byReadBlock.size());
    SecureZero(byOutBlock.data(), byOutBlock.size());
    SecureZero(trailer.bytes.data(), trailer.bytes.size());
    for (std::string* secret : {&strongSecret_, &passwordKey_.secret, &recoveryKey_.secret})
        SecureZero(secret->data(), secret->size());
    SecureZero(strongBuffer_.data(), strongBuffer_.size());
}

void CryptEngine::DeriveKeys(std::u16string_view password)
{
    const PasswordValues values = DerivePasswordValues(password);
    uKey = uKeyPlain = values.key;
    uCheckPlain = values.check;
    uCheckValue = bEptCanFgt ? uKeyPlain : uCheckPlain;
    SecureZero(strongSecret_.data(), strongSecret_.size());
    strongSecret_ = StrongPasswordBytes(password);
}

void CryptEngine::AbandonAfterError(std::string_view reason, platform::ErrorCode code)
{
    bridge::NotifyUI(bridge::MSG_SHOW_ERROR_INFO, platform::SystemMessage(code), static_cast<std::int32_t>(code));
    throw AbandonItem(reason, code);
}

void CryptEngine::ReportProgress(std::uint64_t done)
{
    const std::int32_t percent = ProgressPercent(done, uTotal);
    if (percent == iLastPercent || !bReportProgress)
        return;
    iLastPercent = percent;
    bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, strSrcPath, percent);
}

void CryptEngine::CipherStream(std::uint64_t chunkCount, std::uint32_t chunkSize, CipherUnit unit,
                               std::uint64_t& counter, StreamCursor& cursor, ProgressMode mode)
{
    // Chunks fit a block, words come whole and tails are shorter than a
    // word; anything else is a caller's bug.
    if (chunkSize > kBlockSize || (unit == CipherUnit::Words && chunkSize % 8 != 0) ||
        (unit == CipherUnit::Bytes && chunkSize > 7))
        std::abort();
    const Direction direction = bEncrypt ? Direction::Encrypt : Direction::Decrypt;
    // Chunks travel in runs of up to kRunBytes: one read and one write per
    // run, while the cipher, the checksum and the progress still go chunk
    // by chunk, so the bytes and the notifications are those of one chunk
    // at a time.
    const std::uint64_t chunksPerRun = chunkSize == 0 ? 1 : kRunBytes / chunkSize;
    for (std::uint64_t first = 0; first < chunkCount;) {
        const std::uint64_t chunks = std::min(chunksPerRun, chunkCount - first);
        const auto bytes = static_cast<std::uint32_t>(chunks * chunkSize);
        if (bytes > 0) {
            const std::uint8_t* const input = SourceBytes(cursor.read, bytes);
            std::uint8_t* const output = ReserveOutput(cursor.write, bytes);
            for (std::uint32_t at = 0; at < bytes; at += chunkSize) {
                const std::uint8_t* in = input + at;
                std::uint8_t* out = output + at;
                if (unit == CipherUnit::Words) {
                    CipherWordsWithCrc(direction, arrKeyTable, in, out, chunkSize, counter, uCrc);
                } else {
                    if (bEncrypt)
                        ContainerCrcUpdate(uCrc, std::span(in, chunkSize));
                    CipherBytes(direction, arrKeyTable, in, out, chunkSize, counter);
                    if (!bEncrypt)
                        ContainerCrcUpdate(uCrc, std::span<const std::uint8_t>(out, chunkSize));
                }
            }

            if (!queueOutput_)
                FlushOutput();
        }
        for (std::uint64_t chunk = 0; chunk < chunks; ++chunk) {
            cursor.read += chunkSize;
            cursor.write += chunkSize;
            if (mode == ProgressMode::Counter) {
                uDone += chunkSize;
                ReportProgress(uDone);
            } else {
                ReportProgress(cursor.write);
            }
        }
        first += chunks;
    }
}

void CryptEngine::GrowRun(std::vector<std::uint8_t>& run, std::size_t bytes)
{
    if (run.size() >= bytes)
        return;
    // Doubling keeps a batch of growing records to a few moves; the old
    // storage held plaintext and is wiped before it is freed.
    std::vector<std::uint8_t> larger(std::max(bytes, std::min<std::size_t>(kRunBytes, 2 * run.size())));
    std::copy(run.begin(), run.end(), larger.begin());
    SecureZero(run.data(), run.size());
    run.swap(larger);
}

const std::uint8_t* CryptEngine::SourceBytes(std::uint64_t offset, std::uint32_t size)
{
    if (readAheadEnd_ > 0 && offset >= windowOffset_ && offset - windowOffset_ <= windowSize_ &&
        size <= windowSize_ - (offset - windowOffset_))
        return byReadBlock.data() + (offset - windowOffset_);

    windowSize_ = 0;
    std::uint32_t want = size;
    if (readAheadEnd_ > offset)
        want = static_cast<std::uint32_t>(std::max<std::uint64_t>(size, std::min<std::uint64_t>(kRunBytes, readAheadEnd_ - offset)));
    if (want > kRunBytes)
        std::abort(); // runs and record headers are never larger
    GrowRun(byReadBlock, want);
    const auto read = hSrcFile.ReadAt(offset, byReadBlock.data(), want);
    if (!read)
        AbandonAfterError(kReadFileError, read.code());
    // A file that shrank while it is read must not be padded with stale
    // buffer bytes.
    if (*read < size)
        AbandonAfterError(kReadFileError, platform::kErrorHandleEof);
    windowOffset_ = offset;
    windowSize_ = *read;
    return byReadBlock.data();
}

std::uint8_t* CryptEngine::ReserveOutput(std::uint64_t offset, std::uint32_t size)
{
    if (size > kRunBytes)
        std::abort(); // runs and record headers are never larger
    if (pendingSize_ > 0 && (offset != pendingOffset_ + pendingSize_ || pendingSize_ + size > kRunBytes))
        FlushOutput();
    if (pendingSize_ == 0)
        pendingOffset_ = offset;
    GrowRun(byOutBlock, pendingSize_ + size);
    std::uint8_t* const space = byOutBlock.data() + pendingSize_;
    pendingSize_ += size;
    return space;
}

void CryptEngine::FlushOutput()
{
    const std::uint32_t size = std::exchange(pendingSize_, 0);
    if (size == 0)
        return;
    if (!bVerifyOnly) {
        const auto written = hOutFile.WriteAt(pendingOffset_, byOutBlock.data(), size);
        if (!written || *written != size)
            AbandonAfterError(kWriteFileError, written ? platform::kErrorDiskFull : written.code());
    }
    if (bEncrypt && hBackupFile.IsOpen()) {
        const auto copied = hBackupFile.WriteAt(pendingOffset_, byOutBlock.data(), size);
        if (!copied || *copied != size)
            AbandonAfterError(kWriteFileError, copied ? platform::kErrorDiskFull : copied.code());
    }
}

void CryptEngine::TransformStream(std::uint64_t length, StreamCursor& cursor, ProgressMode mode)
{
    std::uint64_t counter = 10;
    CipherStream(length / kBlockSize, kBlockSize, CipherUnit::Words, counter, cursor, mode);
    CipherStream(1, static_cast<std::uint32_t>(length & 0x7F8), CipherUnit::Words, counter, cursor, mode);
    CipherStream(1, static_cast<std::uint32_t>(length % 8), CipherUnit::Bytes, counter, cursor, mode);
}

} // namespace lockora::crypto
