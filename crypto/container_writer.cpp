// Writing containers: folder records and the trailer.
#include "crypto/abandon_item.h"
#include "crypto/crypt_engine.h"
#include "crypto/record_header.h"
#include "crypto/record_path.h"
#include "crypto/word_io.h"
#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/folders.h"

#include <algorithm>
#include <span>

namespace lockora::crypto {
std::size_t CryptEngine::EncodeRecordHeader(std::int32_t kind, std::u16string_view path,
                                            std::optional<std::uint64_t> length, RecordWindow& header)
{
    const std::u16string_view relative = path.substr(std::min(strSrcPath.size(), path.size()));
    // A name the reader would refuse (possible on this file system, never on
    // Windows) would make the container impossible to restore.
    if (!IsSafeRecordPath(relative))
        AbandonAfterError(kCreateFileError, platform::kErrorInvalidName);
    const std::size_t size = 5 + 2 * relative.size() + 2 + (length ? 8 : 0);
    if (size > kMaxRecordHeader)
        AbandonAfterError(kWriteFileError, platform::kErrorFilenameExcedRange);

    header.fill(0);
    header[0] = 0xFF;
    StoreLittle(static_cast<std::uint32_t>(kind), &header[1], 4);
    std::size_t at = 5;
    for (char16_t unit : relative) {
        StoreLittle(unit, &header[at], 2);
        at += 2;
    }
    at += 2; // terminator, already 0
    if (length)
        StoreLittle(*length, &header[at], 8);
    return size;
}

void CryptEngine::WriteRecordHeader(std::int32_t kind, std::u16string_view path, std::optional<std::uint64_t> length)
{
    RecordWindow header{};
    const std::size_t size = EncodeRecordHeader(kind, path, length, header);
    std::copy_n(header.data(), size, ReserveOutput(ovlContainer, static_cast<std::uint32_t>(size)));
    if (!queueOutput_)
        FlushOutput();
    ovlContainer += size;
    ContainerCrcUpdate(uCrc, std::span(header.data(), size));
}

void CryptEngine::WriteDirRecord(std::u16string_view path)
{
    WriteRecordHeader(kKindFolder, path, std::nullopt);
}

void CryptEngine::WriteFileRecord(std::u16string_view path, std::uint64_t length)
{
    WriteRecordHeader(kKindFile, path, length);
}

void CryptEngine::WalkPackedTree(std::u16string_view folder, const PackedEntryVisit& visit)
{
    auto entries = platform::FindFiles(std::u16string(folder) + u"\\*.*");
    if (!entries) {
        // Only an empty drive root matches nothing; any other failure would
        // leave content out of the container without a word.
        if (entries.code() == platform::kErrorFileNotFound)
            return;
        AbandonAfterError(kReadFileError, entries.code());
    }
    for (const auto& entry : *entries) {
        if (entry.name == u"." || entry.name == u"..")
            continue;
        // A link is never followed out of the folder, nor stored.
        if (entry.attributes & platform::kAttrReparsePoint)
            continue;
        const std::u16string path = std::u16string(folder) + u"\\" + entry.name;
        if (entry.attributes & platform::kAttrDirectory) {
            visit(path, entry, std::nullopt);
            WalkPackedTree(path, visit);
            continue;
        }

        auto opened = platform::File::Open(path, platform::Access::Read, platform::Share::None,
                                           platform::Disposition::OpenExisting);
        if (!opened)
            AbandonAfterError(kCreateFileError, opened.code());
        hSrcFile = std::move(opened).value();
        const auto length = hSrcFile.Size();
        if (!length)
            AbandonAfterError(kReadFileError, length.code());
        visit(path, entry, *length);
        hSrcFile.Close();
    }
}

void CryptEngine::PackFolder(std::u16string_view folder)
{
    // The records of many small files share each write.
    WithQueuedOutput([&] {
        WalkPackedTree(folder, [this](const std::u16string& path, const platform::FindData&,
                                      std::optional<std::uint64_t> length) {
            if (!length) {
                WriteDirRecord(path);
                return;
            }
            WriteFileRecord(path, *length);
            StreamCursor cursor{0, ovlContainer};
            TransformStream(*length, cursor, ProgressMode::Counter);
            ovlContainer = cursor.write;
        });
    });
}

void CryptEngine::WriteTrailer(std::int32_t kind)
{
    trailer = ContainerTrailer::Make(bEptCanFgt, kind, uCheckValue);
    trailer.Seal(uCrc);
    for (platform::File* file : {&hOutFile, &hBackupFile}) {
        if (!file->IsOpen())
            continue;
        const auto end = file->Size();
        if (!end)
            AbandonAfterError(kWriteFileError, end.code());
        const auto written = file->WriteAt(*end, trailer.bytes.data(), kTrailerSize);
        if (!written || *written != kTrailerSize)
            AbandonAfterError(kWriteFileError, written ? platform::kErrorDiskFull : written.code());
    }
}

} // namespace lockora::crypto
