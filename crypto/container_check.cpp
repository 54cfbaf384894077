#include "crypto/container_check.h"

#include "crypto/abandon_item.h"
#include "crypto/crypt_engine.h"
#include "crypto/item_output.h"
#include "crypto/record_header.h"
#include "crypto/strong_stream.h"
#include "platform/errors.h"
#include "platform/folders.h"

#include <algorithm>
#include <array>
#include <span>

namespace lockora::crypto {
namespace {

// Checking never needs more than reading, and leaves other readers alone.
platform::Result<platform::File> OpenForReading(std::u16string_view path)
{
    return platform::File::Open(path, platform::Access::Read, platform::Share::Read,
                                platform::Disposition::OpenExisting);
}

// Visits the record headers of a folder body that ends at `end`, skipping
// every file's content. A malformed header ends the walk with `malformed`,
// a failed read with its code, and `visit` may end it with a failure.
template <typename Visit>
platform::Status ForEachRecordHeader(platform::File& container, std::uint64_t end, platform::ErrorCode malformed,
                                     Visit&& visit)
{
    RecordWindow window{};
    RecordHeader header;
    for (std::uint64_t at = 0; at < end && end - at > 5; at += header.size + header.length) {
        platform::ErrorCode error = 0;
        switch (ReadRecordHeader(container, at, end, window, header, error)) {
        case RecordRead::Ok:
            break;
        case RecordRead::ReadFailed:
            return platform::Error(error);
        case RecordRead::Malformed:
            return platform::Error(malformed);
        }
        PLATFORM_TRY(visit(header, std::span<const std::uint8_t>(window.data(), header.size)));
    }
    return {};
}

VerifyOutcome ToVerifyOutcome(TrailerOutcome outcome)
{
    switch (outcome) {
    case TrailerOutcome::Ok:
        return VerifyOutcome::Intact;
    case TrailerOutcome::BadContainer:
        return VerifyOutcome::NotContainer;
    case TrailerOutcome::WrongPassword:
        return VerifyOutcome::WrongPassword;
    default:
        return VerifyOutcome::ReadFailed;
    }
}

// The plain-text facts of a strong container; `strong` stays false for a
// file in another format.
platform::Result<ContainerInfo> DescribeStrongContainer(platform::File& container)
{
    ContainerInfo info;
    StrongHeader header;
    const StrongFrame frame = ReadStrongFrame(container, header, info.containerSize);
    switch (frame.outcome) {
    case StrongFrameRead::NotStrong:
        return info;
    case StrongFrameRead::ReadFailed:
        return platform::Error(frame.error);
    case StrongFrameRead::Damaged:
        return platform::Error(platform::kErrorInvalidData);
    case StrongFrameRead::Ok:
        break;
    }
    info.strong = true;
    info.isFolder = header.IsFolder();
    info.recoveryFlag = header.HasRecovery();
    return info;
}

} // namespace

VerifyResult VerifyContainer(std::u16string_view path, std::u16string_view password, std::uint64_t programPassword,
                             VerifyProgress progress)
{
    CryptEngine engine;
    return VerifyContainerWith(engine, path, password, programPassword, progress);
}

VerifyResult VerifyContainerWith(CryptEngine& engine, std::u16string_view path, std::u16string_view password,
                                 std::uint64_t programPassword, VerifyProgress progress)
{
    auto opened = OpenForReading(path);
    if (!opened) {
        ReportSystemError(opened.code());
        return {VerifyOutcome::ReadFailed, false, opened.code()};
    }

    engine.bEncrypt = false;
    engine.bVerifyOnly = true;
    engine.bReportProgress = progress == VerifyProgress::Report;
    engine.uPwd = programPassword;
    engine.strSrcPath = path;
    engine.hSrcFile = std::move(opened).value();
    engine.DeriveKeys(password);

    const TrailerResult trailer = engine.CheckTrailer();
    if (trailer.outcome == TrailerOutcome::ReadFailed)
        ReportSystemError(trailer.error);
    if (trailer.outcome != TrailerOutcome::Ok)
        return {ToVerifyOutcome(trailer.outcome), false, trailer.error};
    const bool isFolder = engine.IsFolderContainer();

    try {
        engine.DecryptBody();
    } catch (const AbandonItem& abandoned) {
        if (abandoned.reason() == kErrorData)
            return {VerifyOutcome::DamagedRecords, isFolder, 0};
        return {VerifyOutcome::ReadFailed, isFolder, abandoned.code()};
    }
    if (!engine.VerifyDataChecksum())
        return {VerifyOutcome::ChecksumMismatch, isFolder, 0};
    return {VerifyOutcome::Intact, isFolder, 0};
}

platform::Result<ContainerInfo> DescribeContainer(std::u16string_view path)
{
    auto opened = OpenForReading(path);
    if (!opened)
        return opened.error();
    platform::File& container = *opened;
    if (auto strong = DescribeStrongContainer(container); !strong || strong->strong)
        return strong;
    ContainerTrailer trailer;
    std::uint64_t size = 0;
    const TrailerResult read = ReadContainerTrailer(container, trailer, size);
    if (read.outcome == TrailerOutcome::ReadFailed)
        return platform::Error(read.error);
    if (read.outcome != TrailerOutcome::Ok)
        return platform::Error(platform::kErrorInvalidData);

    ContainerInfo info;
    info.isFolder = trailer.Kind() == kKindFolder;
    info.recoveryFlag = trailer.RecoveryFlag() == 1;
    info.containerSize = size;
    const std::uint64_t end = size - kTrailerSize;
    if (!info.isFolder) {
        info.contentSize = end;
        return info;
    }

    const platform::Status walked = ForEachRecordHeader(
        container, end, platform::kErrorInvalidData, [&](const RecordHeader& header, std::span<const std::uint8_t>) {
            if (header.kind == kKindFolder) {
                ++info.folderCount;
            } else {
                ++info.fileCount;
                info.contentSize += header.length;
            }
            return platform::Status{};
        });
    if (!walked)
        return walked.error();
    return info;
}

namespace {

// Runs `crc` over the whole content of a restored file, which must be
// exactly `length` bytes long.
platform::Status AddRestoredFile(std::u16string_view path, std::uint64_t length, std::uint32_t& crc)
{
    auto opened = OpenForReading(path);
    if (!opened)
        return opened.error();
    const auto size = opened->Size();
    if (!size)
        return size.error();
    if (*size != length)
        return platform::Error(platform::kErrorCrc);
    std::array<std::uint8_t, 64 * 1024> block{};
    for (std::uint64_t at = 0; at < length;) {
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - at, block.size()));
        const auto read = opened->ReadAt(at, block.data(), want);
        if (!read)
            return read.error();
        if (*read != want)
            return platform::Error(platform::kErrorHandleEof);
        ContainerCrcUpdate(crc, std::span(block.data(), want));
        at += want;
    }
    return {};
}

} // namespace

platform::Status CheckRestoredContent(std::u16string_view container, std::u16string_view restored)
{
    auto opened = OpenForReading(container);
    if (!opened)
        return opened.error();
    ContainerTrailer trailer;
    std::uint64_t size = 0;
    const TrailerResult read = ReadContainerTrailer(*opened, trailer, size);
    if (read.outcome == TrailerOutcome::ReadFailed)
        return platform::Error(read.error);
    if (read.outcome != TrailerOutcome::Ok)
        return platform::Error(platform::kErrorCrc);

    std::uint32_t crc = kCrcStart;
    const std::uint64_t end = size - kTrailerSize;
    if (trailer.Kind() != kKindFolder) {
        PLATFORM_TRY(AddRestoredFile(restored, end, crc));
    } else {
        // The records give the order and the headers that the checksum
        // interleaves with the content.
        PLATFORM_TRY(ForEachRecordHeader(
            *opened, end, platform::kErrorCrc,
            [&](const RecordHeader& header, std::span<const std::uint8_t> headerBytes) -> platform::Status {
                ContainerCrcUpdate(crc, headerBytes);
                const std::u16string path = std::u16string(restored) + u"\\" + header.relative;
                if (header.kind != kKindFolder)
                    return AddRestoredFile(path, header.length, crc);
                if (!platform::IsDirectory(path))
                    return platform::Error(platform::kErrorCrc);
                return {};
            }));
    }
    if (trailer.ComputeDataChecksum(crc) != trailer.DataChecksum())
        return platform::Error(platform::kErrorCrc);
    return {};
}

} // namespace lockora::crypto
