#include "crypto/crypt_engine.h"

#include "bridge/notify.h"
#include "crypto/abandon_item.h"
#include "crypto/password_key.h"
#include "crypto/progress.h"
#include "crypto/secure_zero.h"
#include "platform/errors.h"

#include <cstdlib>
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
    // The buffers hold one block, words come whole and tails are shorter
    // than a word; anything else is a caller's bug.
    if (chunkSize > kBlockSize || (unit == CipherUnit::Words && chunkSize % 8 != 0) ||
        (unit == CipherUnit::Bytes && chunkSize > 7))
        std::abort();
    const Direction direction = bEncrypt ? Direction::Encrypt : Direction::Decrypt;
    const bool toBackup = bEncrypt && hBackupFile.IsOpen();
    const std::span<const std::uint8_t> plainIn(byReadBlock.data(), chunkSize);
    const std::span<const std::uint8_t> plainOut(byOutBlock.data(), chunkSize);

    for (std::uint64_t chunk = 0; chunk < chunkCount; ++chunk) {
        if (chunkSize > 0) {
            const auto read = hSrcFile.ReadAt(cursor.read, byReadBlock.data(), chunkSize);
            if (!read)
                AbandonAfterError(kReadFileError, read.code());
            // A file that shrank while it is read must not be padded with
            // stale buffer bytes.
            if (*read != chunkSize)
                AbandonAfterError(kReadFileError, platform::kErrorHandleEof);

            if (unit == CipherUnit::Words) {
                CipherWordsWithCrc(direction, arrKeyTable, byReadBlock.data(), byOutBlock.data(), chunkSize, counter,
                                   uCrc);
            } else {
                if (bEncrypt)
                    ContainerCrcUpdate(uCrc, plainIn);
                CipherBytes(direction, arrKeyTable, byReadBlock.data(), byOutBlock.data(), chunkSize, counter);
                if (!bEncrypt)
                    ContainerCrcUpdate(uCrc, plainOut);
            }

            if (!bVerifyOnly) {
                const auto written = hOutFile.WriteAt(cursor.write, byOutBlock.data(), chunkSize);
                if (!written || *written != chunkSize)
                    AbandonAfterError(kWriteFileError, written ? platform::kErrorDiskFull : written.code());
            }
            if (toBackup) {
                const auto copied = hBackupFile.WriteAt(cursor.write, byOutBlock.data(), chunkSize);
                if (!copied || *copied != chunkSize)
                    AbandonAfterError(kWriteFileError, copied ? platform::kErrorDiskFull : copied.code());
            }
        }
        cursor.read += chunkSize;
        cursor.write += chunkSize;
        if (mode == ProgressMode::Counter) {
            uDone += chunkSize;
            ReportProgress(uDone);
        } else {
            ReportProgress(cursor.write);
        }
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
