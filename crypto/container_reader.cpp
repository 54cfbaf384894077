// Reading containers: the trailer, the folder records and the data checksum.
#include "bridge/notify.h"
#include "crypto/abandon_item.h"
#include "crypto/crypt_engine.h"
#include "crypto/record_path.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/message_box.h"

#include <algorithm>
#include <span>

namespace lockora::crypto {
namespace {

constexpr std::size_t kHeaderWindow = 600;

std::uint64_t LoadLittle(const std::uint8_t* bytes, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

} // namespace

TrailerResult CryptEngine::ReadTrailer()
{
    const auto size = hSrcFile.Size();
    if (!size)
        return {TrailerOutcome::ReadFailed, size.code()};
    uContainerSize = *size;
    if (uContainerSize < kTrailerSize)
        return {TrailerOutcome::BadContainer};

    const auto read = hSrcFile.ReadAt(uContainerSize - kTrailerSize, trailer.bytes.data(), kTrailerSize);
    if (!read)
        return {TrailerOutcome::ReadFailed, read.code()};
    if (*read != kTrailerSize)
        return {TrailerOutcome::ReadFailed, platform::kErrorHandleEof};
    if (trailer.ComputeTrailerChecksum() != trailer.TrailerChecksum())
        return {TrailerOutcome::BadContainer};

    if (trailer.Kind() == kKindFolder) {
        hOutFile.Close();
        platform::Status made = platform::DeleteFile(strOutPath);
        if (made || made.code() == platform::kErrorFileNotFound)
            made = platform::CreateDirectory(strOutPath);
        if (!made) {
            bridge::NotifyUI(bridge::MSG_SHOW_ERROR_INFO, platform::SystemMessage(made.code()),
                             static_cast<std::int32_t>(made.code()));
            return {TrailerOutcome::DirectoryFailed, made.code()};
        }
    }

    const std::uint64_t stored = trailer.PasswordValue();
    if (trailer.RecoveryFlag() == 1) {
        // The program password opens every container written with the flag.
        if (uKeyPlain == stored)
            uKey = uKeyPlain;
        else if (uKeyPlain == uPwd)
            uKey = stored;
        else
            return {TrailerOutcome::WrongPassword};
    } else {
        if (uCheckPlain != stored)
            return {TrailerOutcome::WrongPassword};
        uKey = uKeyPlain;
    }
    BuildKeyTable(uKey, arrKeyTable);
    return {TrailerOutcome::Ok};
}

bool CryptEngine::VerifyDataChecksum()
{
    return trailer.ComputeDataChecksum(uCrc) == trailer.DataChecksum();
}

void CryptEngine::RejectRecord()
{
    platform::MessageBox(u":The content of the file is modified, If there is a backup file, please use the backup file to decrypt",
                         u"Warning", platform::kMbOk | platform::kMbIconWarning);
    throw AbandonItem(kErrorData, 0);
}

void CryptEngine::UnpackFolder()
{
    const std::uint64_t end = uContainerSize >= kTrailerSize ? uContainerSize - kTrailerSize : 0;
    std::array<std::uint8_t, kHeaderWindow> window{};
    while (ovlContainer < end && end - ovlContainer > 5) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - ovlContainer, kHeaderWindow));
        const auto read = hSrcFile.ReadAt(ovlContainer, window.data(), want);
        if (!read)
            AbandonAfterError(kReadFileError, read.code());
        if (*read != want)
            AbandonAfterError(kReadFileError, platform::kErrorHandleEof);

        const auto kind = static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadLittle(&window[1], 4)));
        if (window[0] != 0xFF || (kind != kKindFolder && kind != kKindFile))
            RejectRecord();

        // Every bound is checked against the window, which never reaches past
        // the body, before anything is created.
        std::u16string relative;
        std::size_t at = 5;
        while (true) {
            if (at + 2 > want)
                RejectRecord();
            const auto unit = static_cast<char16_t>(LoadLittle(&window[at], 2));
            at += 2;
            if (unit == 0)
                break;
            relative.push_back(unit);
        }
        const std::size_t headerSize = at + (kind == kKindFile ? 8 : 0);
        if (headerSize > want || !IsSafeRecordPath(relative))
            RejectRecord();
        const std::u16string target = strOutPath + u"\\" + relative;

        if (kind == kKindFolder) {
            if (auto made = platform::CreateDirectory(target); !made)
                AbandonAfterError(kCreateDirectoryError, made.code());
            ContainerCrcUpdate(uCrc, std::span(window.data(), headerSize));
            ovlContainer += headerSize;
            continue;
        }

        const std::uint64_t length = LoadLittle(&window[at], 8);
        if (length > end - (ovlContainer + headerSize))
            RejectRecord();
        auto created = platform::File::Open(target, platform::Access::Write, platform::Share::None,
                                            platform::Disposition::CreateAlways);
        if (!created)
            AbandonAfterError(kCreateFileError, created.code());
        hOutFile = std::move(created).value();
        ContainerCrcUpdate(uCrc, std::span(window.data(), headerSize));
        ovlContainer += headerSize;
        uDone = ovlContainer;
        StreamCursor cursor{ovlContainer, 0};
        TransformStream(length, cursor, ProgressMode::Counter);
        ovlContainer = cursor.read;
        if (auto flushed = hOutFile.Flush(); !flushed)
            AbandonAfterError(kWriteFileError, flushed.code());
        hOutFile.Close();
    }
}

} // namespace lockora::crypto
