#include "crypto/record_header.h"

#include "crypto/container_trailer.h"
#include "crypto/record_path.h"
#include "crypto/word_io.h"
#include "platform/errors.h"

#include <algorithm>

namespace lockora::crypto {

RecordRead ReadRecordHeader(platform::File& container, std::uint64_t offset, std::uint64_t end, RecordWindow& window,
                            RecordHeader& header, platform::ErrorCode& error)
{
    const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - offset, kMaxRecordHeader));
    const auto read = container.ReadAt(offset, window.data(), want);
    if (!read || *read != want) {
        error = read ? platform::kErrorHandleEof : read.code();
        return RecordRead::ReadFailed;
    }
    return ParseRecordHeader(std::span(window.data(), want), offset, end, header);
}

RecordRead ParseRecordHeader(std::span<const std::uint8_t> window, std::uint64_t offset, std::uint64_t end,
                             RecordHeader& header)
{
    const std::size_t want = window.size();
    if (want < 5)
        return RecordRead::Malformed;
    header.kind = static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadLittle(&window[1], 4)));
    if (window[0] != 0xFF || (header.kind != kKindFolder && header.kind != kKindFile))
        return RecordRead::Malformed;

    header.relative.clear();
    std::size_t at = 5;
    while (true) {
        if (at + 2 > want)
            return RecordRead::Malformed;
        const auto unit = static_cast<char16_t>(LoadLittle(&window[at], 2));
        at += 2;
        if (unit == 0)
            break;
        header.relative.push_back(unit);
    }
    header.size = at + (header.kind == kKindFile ? 8 : 0);
    if (header.size > want || !IsSafeRecordPath(header.relative))
        return RecordRead::Malformed;
    header.length = header.kind == kKindFile ? LoadLittle(&window[at], 8) : 0;
    if (header.length > end - (offset + header.size))
        return RecordRead::Malformed;
    return RecordRead::Ok;
}

} // namespace lockora::crypto
