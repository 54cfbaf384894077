// Reading containers: the trailer, the folder records and the data checksum.
#include "bridge/notify.h"
#include "crypto/abandon_item.h"
#include "crypto/crypt_engine.h"
#include "crypto/record_header.h"
#include "crypto/strong_stream.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/message_box.h"

#include <algorithm>
#include <array>
#include <span>

namespace lockora::crypto {

// The container's format is told by its first bytes, never by a setting.
TrailerResult CryptEngine::ReadAnyTrailer()
{
    strongHeader.reset();
    StrongHeader header;
    const StrongFrame frame = ReadStrongFrame(hSrcFile, header, uContainerSize);
    switch (frame.outcome) {
    case StrongFrameRead::NotStrong:
        return ReadContainerTrailer(hSrcFile, trailer, uContainerSize);
    case StrongFrameRead::ReadFailed:
        return {TrailerOutcome::ReadFailed, frame.error};
    case StrongFrameRead::Damaged:
        return {TrailerOutcome::BadContainer};
    case StrongFrameRead::Ok:
        break;
    }
    strongHeader = header;
    return {TrailerOutcome::Ok};
}

TrailerResult CryptEngine::ReadTrailer()
{
    if (const TrailerResult read = ReadAnyTrailer(); read.outcome != TrailerOutcome::Ok)
        return read;

    if (IsFolderContainer()) {
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
    return MatchPassword();
}

TrailerResult CryptEngine::CheckTrailer()
{
    if (const TrailerResult read = ReadAnyTrailer(); read.outcome != TrailerOutcome::Ok)
        return read;
    return MatchPassword();
}

TrailerResult ReadContainerTrailer(platform::File& container, ContainerTrailer& trailer, std::uint64_t& size)
{
    const auto length = container.Size();
    if (!length)
        return {TrailerOutcome::ReadFailed, length.code()};
    size = *length;
    if (size < kTrailerSize)
        return {TrailerOutcome::BadContainer};

    const auto read = container.ReadAt(size - kTrailerSize, trailer.bytes.data(), kTrailerSize);
    if (!read)
        return {TrailerOutcome::ReadFailed, read.code()};
    if (*read != kTrailerSize)
        return {TrailerOutcome::ReadFailed, platform::kErrorHandleEof};
    if (trailer.ComputeTrailerChecksum() != trailer.TrailerChecksum())
        return {TrailerOutcome::BadContainer};
    return {TrailerOutcome::Ok};
}

TrailerResult CryptEngine::MatchPassword()
{
    if (strongHeader)
        return MatchStrongPassword();
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

void CryptEngine::DecryptBody()
{
    if (strongHeader) {
        DecryptStrongBody();
        return;
    }
    uCrc = kCrcStart;
    ovlContainer = 0;
    if (trailer.Kind() == kKindFolder) {
        uTotal = uContainerSize;
        UnpackFolder();
    } else {
        uTotal = uContainerSize - kTrailerSize;
        StreamCursor cursor;
        TransformStream(uTotal, cursor, ProgressMode::WritePosition);
    }
}

bool CryptEngine::VerifyDataChecksum()
{
    // Every chunk of a strong container was authenticated as it was read.
    if (strongHeader)
        return true;
    return trailer.ComputeDataChecksum(uCrc) == trailer.DataChecksum();
}

void CryptEngine::RejectRecord()
{
    if (!bVerifyOnly)
        platform::MessageBox(
            u":The content of the file is modified, If there is a backup file, please use the backup file to decrypt",
            u"Warning", platform::kMbOk | platform::kMbIconWarning);
    throw AbandonItem(kErrorData, 0);
}

void CryptEngine::UnpackFolder()
{
    const std::uint64_t end = uContainerSize >= kTrailerSize ? uContainerSize - kTrailerSize : 0;
    // Records and their content are read ahead a run at a time, up to the
    // trailer; the window is dropped with the item.
    struct ReadAhead {
        CryptEngine& engine;
        ~ReadAhead() { engine.readAheadEnd_ = engine.windowSize_ = 0; }
    } readAhead{*this};
    readAheadEnd_ = end;
    windowSize_ = 0;

    RecordWindow window{};
    RecordHeader header;
    while (ovlContainer < end && end - ovlContainer > 5) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - ovlContainer, kMaxRecordHeader));
        std::copy_n(SourceBytes(ovlContainer, want), want, window.data());
        if (ParseRecordHeader(std::span(window.data(), want), ovlContainer, end, header) != RecordRead::Ok)
            RejectRecord();
        const auto target = [&] { return strOutPath + u"\\" + header.relative; };

        if (header.kind == kKindFolder) {
            if (!bVerifyOnly) {
                if (auto made = platform::CreateDirectory(target()); !made)
                    AbandonAfterError(kCreateDirectoryError, made.code());
            }
            ContainerCrcUpdate(uCrc, std::span(window.data(), header.size));
            ovlContainer += header.size;
            continue;
        }

        if (!bVerifyOnly) {
            auto created = platform::File::Open(target(), platform::Access::Write, platform::Share::None,
                                                platform::Disposition::CreateAlways);
            if (!created)
                AbandonAfterError(kCreateFileError, created.code());
            hOutFile = std::move(created).value();
        }
        ContainerCrcUpdate(uCrc, std::span(window.data(), header.size));
        ovlContainer += header.size;
        uDone = ovlContainer;
        StreamCursor cursor{ovlContainer, 0};
        TransformStream(header.length, cursor, ProgressMode::Counter);
        ovlContainer = cursor.read;
        if (!bVerifyOnly) {
            if (auto flushed = hOutFile.Flush(); !flushed)
                AbandonAfterError(kWriteFileError, flushed.code());
            hOutFile.Close();
        }
    }
}

} // namespace lockora::crypto
