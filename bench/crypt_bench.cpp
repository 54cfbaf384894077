// Encrypting and decrypting a 256 MiB file through CryptEngine (2,048-byte
// reads and writes at explicit offsets, checksum and word cipher), against
// the same read-then-write loop without cipher and checksum. Each should
// take at most 1.3 times the bare loop's time.
//
// The checks before a source may go are timed on their own: verifying the
// new container (a decryption in memory, reading only) before the plain file
// is deleted, and reading a restored file back before its container is.
//
// The strong format is timed beside it on the same file, with the key
// derived once before the loop (a batch derives it once for all its items),
// and the key derivation on its own. The file is 256 MiB, or
// LOCKORA_BENCH_FILE_MIB.
//
// Every iteration writes a fresh output file: rewriting a truncated file
// would make ext4 flush it on close and time the disk instead of the loop.
#include "crypto/container_check.h"
#include "crypto/crypt_engine.h"
#include "crypto/strong_format.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "platform/posix/drive_table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using lockora::crypto::CryptEngine;
using lockora::crypto::StreamCursor;

const std::uint64_t kFileSize = [] {
    const char* mib = std::getenv("LOCKORA_BENCH_FILE_MIB");
    return (mib && *mib ? std::strtoull(mib, nullptr, 10) : 256ull) << 20;
}();
constexpr const char16_t* kPlainFile = u"C:\\plain.bin";
constexpr const char16_t* kContainer = u"C:\\plain.bin.xep";
constexpr const char16_t* kStrongContainer = u"C:\\strong.bin.xep";
constexpr const char16_t* kOutput = u"C:\\out.bin";

platform::File OpenOrDie(std::u16string_view path, platform::Access access, platform::Disposition disposition)
{
    auto file = platform::File::Open(path, access, platform::Share::None, disposition);
    if (!file)
        std::abort();
    return std::move(file).value();
}

// The plaintext and its container in a temporary folder mapped as drive C:,
// removed at exit.
class BenchFolder {
public:
    BenchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        folder_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lockora-crypt-bench-XXXXXX";
        if (!::mkdtemp(folder_.data()))
            std::abort();
        platform::DriveTable drives;
        drives.Map(u'C', folder_);
        platform::SetDriveTable(drives);

        auto plain = OpenOrDie(kPlainFile, platform::Access::Write, platform::Disposition::CreateNew);
        std::mt19937_64 random(42);
        std::vector<std::uint64_t> chunk((1 << 20) / 8);
        for (std::uint64_t offset = 0; offset < kFileSize; offset += chunk.size() * 8) {
            for (auto& word : chunk)
                word = random();
            if (plain.WriteAt(offset, chunk.data(), static_cast<std::uint32_t>(chunk.size() * 8)).value_or(0) == 0)
                std::abort();
        }
        if (!plain.Flush())
            std::abort();
        plain.Close();
        // On the disk before timing starts, so that no writeback of the
        // set-up competes with the timed loops.
        Encrypt(kContainer);
        EncryptStrong(kStrongContainer);
        for (const char16_t* path : {kContainer, kStrongContainer}) {
            auto container = OpenOrDie(path, platform::Access::Write, platform::Disposition::OpenExisting);
            if (!container.Flush())
                std::abort();
        }
    }

    ~BenchFolder() { std::filesystem::remove_all(folder_); }

    static void Encrypt(const char16_t* output)
    {
        CryptEngine engine;
        engine.DeriveKeys(u"bench password");
        lockora::crypto::BuildKeyTable(engine.uKey, engine.arrKeyTable);
        engine.hSrcFile = OpenOrDie(kPlainFile, platform::Access::Read, platform::Disposition::OpenExisting);
        engine.hOutFile = OpenOrDie(output, platform::Access::Write, platform::Disposition::CreateNew);
        engine.uTotal = kFileSize;
        StreamCursor cursor;
        engine.TransformStream(kFileSize, cursor, lockora::crypto::ProgressMode::WritePosition);
        engine.WriteTrailer(lockora::crypto::kKindFile);
    }

    // One engine for every strong run, as one batch: its key is derived by
    // the first run only.
    static CryptEngine& StrongEngine()
    {
        static CryptEngine engine;
        return engine;
    }

    static void EncryptStrong(const char16_t* output)
    {
        CryptEngine& engine = StrongEngine();
        engine.bEncrypt = true;
        engine.DeriveKeys(u"bench password");
        engine.strSrcPath = kPlainFile;
        engine.hSrcFile = OpenOrDie(kPlainFile, platform::Access::Read, platform::Disposition::OpenExisting);
        engine.hOutFile = OpenOrDie(output, platform::Access::Write, platform::Disposition::CreateNew);
        engine.uTotal = kFileSize;
        engine.uDone = 0;
        engine.WriteStrongContainer(false);
        engine.hSrcFile.Close();
        engine.hOutFile.Close();
    }

private:
    std::string folder_;
};

BenchFolder& Folder()
{
    static BenchFolder folder;
    return folder;
}

void RemoveOutput()
{
    if (platform::PathExists(kOutput) && !platform::DeleteFile(kOutput))
        std::abort();
}

// The loop of the cipher without cipher and checksum, over the same input:
// the plaintext (argument 0) as encryption reads it, or the container
// (argument 1) as decryption reads it. The two differ in how the page cache
// holds them (written in large blocks, or in 2,048-byte chunks).
void BareCopyLoop(benchmark::State& state)
{
    Folder();
    const char16_t* source = state.range(0) == 0 ? kPlainFile : kContainer;
    std::vector<std::uint8_t> block(lockora::crypto::kBlockSize);
    for (auto _ : state) {
        RemoveOutput();
        auto in = OpenOrDie(source, platform::Access::Read, platform::Disposition::OpenExisting);
        auto out = OpenOrDie(kOutput, platform::Access::Write, platform::Disposition::CreateNew);
        for (std::uint64_t offset = 0; offset < kFileSize; offset += block.size()) {
            const auto read = in.ReadAt(offset, block.data(), static_cast<std::uint32_t>(block.size()));
            if (out.WriteAt(offset, block.data(), read.value_or(0)).value_or(0) != block.size())
                std::abort();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void EncryptFile(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        RemoveOutput();
        BenchFolder::Encrypt(kOutput);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void DecryptFile(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        RemoveOutput();
        CryptEngine engine;
        engine.bEncrypt = false;
        engine.DeriveKeys(u"bench password");
        engine.hSrcFile = OpenOrDie(kContainer, platform::Access::Read, platform::Disposition::OpenExisting);
        engine.hOutFile = OpenOrDie(kOutput, platform::Access::Write, platform::Disposition::CreateNew);
        if (engine.ReadTrailer().outcome != lockora::crypto::TrailerOutcome::Ok)
            std::abort();
        engine.uTotal = engine.uContainerSize - lockora::crypto::kTrailerSize;
        StreamCursor cursor;
        engine.TransformStream(engine.uTotal, cursor, lockora::crypto::ProgressMode::WritePosition);
        if (!engine.VerifyDataChecksum())
            std::abort();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void VerifyNewContainer(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        const auto result = lockora::crypto::VerifyContainer(kContainer, u"bench password", 0,
                                                             lockora::crypto::VerifyProgress::Silent);
        if (result.outcome != lockora::crypto::VerifyOutcome::Intact)
            std::abort();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void ReadBackRestoredFile(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        if (!lockora::crypto::CheckRestoredContent(kContainer, kPlainFile))
            std::abort();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void StrongEncryptFile(benchmark::State& state)
{
    Folder();
    for (auto _ : state) {
        RemoveOutput();
        BenchFolder::EncryptStrong(kOutput);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void StrongDecryptFile(benchmark::State& state)
{
    Folder();
    CryptEngine& engine = BenchFolder::StrongEngine();
    for (auto _ : state) {
        RemoveOutput();
        engine.bEncrypt = false;
        engine.DeriveKeys(u"bench password");
        engine.strSrcPath = kStrongContainer;
        engine.hSrcFile = OpenOrDie(kStrongContainer, platform::Access::Read, platform::Disposition::OpenExisting);
        engine.hOutFile = OpenOrDie(kOutput, platform::Access::Write, platform::Disposition::CreateNew);
        engine.strOutPath = kOutput;
        if (engine.ReadTrailer().outcome != lockora::crypto::TrailerOutcome::Ok)
            std::abort();
        engine.DecryptBody();
        engine.hSrcFile.Close();
        engine.hOutFile.Close();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

// One Argon2id derivation with the parameters new containers get.
void StrongKeyDerivation(benchmark::State& state)
{
    lockora::crypto::StrongHeader header;
    lockora::crypto::SecretKey key;
    for (auto _ : state) {
        if (!lockora::crypto::DeriveStrongKey("bench password", header, key))
            std::abort();
    }
}

// The cipher and the container checksum alone, in memory, block by block:
// what bounds the stream once its reads and writes are large.
void CipherAndChecksumInMemory(benchmark::State& state)
{
    std::vector<std::uint8_t> in(kFileSize, 0x5A);
    std::vector<std::uint8_t> out(kFileSize);
    lockora::crypto::KeyTable table{};
    lockora::crypto::BuildKeyTable(0x0123456789ABCDEFull, table);
    for (auto _ : state) {
        std::uint64_t counter = 10;
        std::uint32_t crc = lockora::crypto::kCrcStart;
        for (std::uint64_t at = 0; at < kFileSize; at += lockora::crypto::kBlockSize)
            lockora::crypto::CipherWordsWithCrc(lockora::crypto::Direction::Encrypt, table, in.data() + at,
                                                out.data() + at, lockora::crypto::kBlockSize, counter, crc);
        benchmark::DoNotOptimize(crc);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

BENCHMARK(CipherAndChecksumInMemory)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(BareCopyLoop)->ArgName("container")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(EncryptFile)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(DecryptFile)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(VerifyNewContainer)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(ReadBackRestoredFile)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(StrongEncryptFile)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(StrongDecryptFile)->Unit(benchmark::kMillisecond)->Iterations(4)->Repetitions(3)->UseRealTime();
BENCHMARK(StrongKeyDerivation)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
