#include "shred/shredder.h"

#include "platform/attributes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "shred/shred_progress.h"

#include <algorithm>
#include <array>

namespace lockora::shred {
namespace {

using PatternBlock = std::array<std::uint8_t, kShredBlockSize>;

// Pattern blocks written by one system call (128 KiB).
constexpr std::uint64_t kBlocksPerWrite = 64;

PatternBlock FilledBlock(std::uint8_t value)
{
    PatternBlock block;
    block.fill(value);
    return block;
}

// The two pattern buffers: filled once on first use (a thread-safe static
// initialisation), only read afterwards, so every write comes straight from
// them without an allocation.
const PatternBlock& PatternOf(ShredPass pass)
{
    static const PatternBlock ones = FilledBlock(0xFF);
    static const PatternBlock zeros = FilledBlock(0x00);
    return pass == ShredPass::Ones ? ones : zeros;
}

// One pass: whole blocks with a progress check after each, then the tail
// without one.
platform::Status OverwritePass(platform::File& file, std::uint64_t length, ShredPass pass,
                               std::u16string_view progressPath, std::uint64_t total, std::uint64_t& doneCounter)
{
    const PatternBlock& pattern = PatternOf(pass);
    ShredProgress progress(progressPath, total, pass, doneCounter);
    std::uint64_t offset = 0;
    // Blocks go out in runs of one system call each; the counter and the
    // progress check still advance block by block.
    while (length - offset >= kShredBlockSize) {
        const auto blocks = static_cast<std::uint32_t>(
            std::min<std::uint64_t>((length - offset) / kShredBlockSize, kBlocksPerWrite));
        PLATFORM_TRY(file.WriteRepeatedAt(offset, pattern.data(), kShredBlockSize, blocks));
        for (std::uint32_t i = 0; i < blocks; ++i) {
            doneCounter += kShredBlockSize;
            progress.Check(doneCounter);
        }
        offset += std::uint64_t{blocks} * kShredBlockSize;
    }
    if (const auto tail = static_cast<std::uint32_t>(length - offset); tail != 0) {
        PLATFORM_TRY(file.WriteAt(offset, pattern.data(), tail));
        doneCounter += tail;
    }
    return {};
}

// Both passes, each ending with a flush, so the first pattern has reached
// the disk before the second is written. A failure stops here: the file
// must not be deleted with content that may not have been overwritten.
platform::Status OverwriteTwice(std::u16string_view path, std::u16string_view progressPath, std::uint64_t total,
                                std::uint64_t& doneCounter)
{
    auto file = platform::File::Open(path, platform::Access::Write, platform::Share::None,
                                     platform::Disposition::OpenExisting);
    if (!file)
        return file.error();
    auto length = file->Size();
    if (!length)
        return length.error();
    PLATFORM_TRY(OverwritePass(*file, *length, ShredPass::Ones, progressPath, total, doneCounter));
    PLATFORM_TRY(file->Flush());
    PLATFORM_TRY(OverwritePass(*file, *length, ShredPass::Zeros, progressPath, total, doneCounter));
    return file->Flush();
}

void RemoveLink(std::u16string_view path, std::uint32_t attributes)
{
    if ((attributes & platform::kAttrDirectory) != 0)
        (void)platform::RemoveDirectory(path);
    else
        (void)platform::DeleteFile(path);
}

} // namespace

platform::Status ShredFile(std::u16string_view path, std::u16string_view progressPath, std::uint64_t total,
                           std::uint64_t& doneCounter)
{
    // A file that was not completed stays in place.
    const auto attributes = platform::GetFileAttributes(path);
    if (!attributes)
        return attributes.error();
    if ((*attributes & platform::kAttrReparsePoint) != 0) {
        RemoveLink(path, *attributes);
        return {};
    }
    const auto links = platform::GetFileLinkCount(path);
    if (!links)
        return links.error();
    if (*links > 1)
        return platform::DeleteFile(path);

    PLATFORM_TRY(OverwriteTwice(path, progressPath, total, doneCounter));
    // Cut to length 0 before the name goes; a failure here still lets the
    // deletion run.
    (void)platform::File::Open(path, platform::Access::Read, platform::Share::None,
                               platform::Disposition::CreateAlways);
    return platform::DeleteFile(path);
}

} // namespace lockora::shred
