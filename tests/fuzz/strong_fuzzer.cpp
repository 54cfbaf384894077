// The strong-format reader. The first byte chooses the form: the file as it
// stands (header and end block checks), or the rest as the plaintext stream
// of a file or folder container, sealed here under the password at the
// lowest cost, so that the records behind the authentication are read too.
// Checked as for the legacy reader: a named outcome, and nothing created but
// the restored item beside the container.
#include "crypto/strong_format.h"
#include "crypto/strong_stream.h"
#include "tests/fuzz/decrypt_check.h"
#include "tests/fuzz/fuzz_drive.h"

#include <cstdlib>
#include <string>

namespace {

using namespace lockora;

constexpr std::u16string_view kPassword = u"fuzz-password";

// The password key at the lowest cost, derived once: every container here
// has the same salt.
const crypto::SecretKey& PasswordKey(const crypto::StrongHeader& header)
{
    static crypto::SecretKey key;
    static const bool derived = crypto::DeriveStrongKey(crypto::StrongPasswordBytes(kPassword), header, key).ok();
    if (!derived)
        std::abort();
    return key;
}

std::string Sealed(std::string_view plain, bool folder)
{
    crypto::StrongHeader header;
    header.kind = folder ? crypto::kStrongKindFolder : crypto::kStrongKindFile;
    header.parameters = {crypto::kMinPasses, crypto::kMinMemoryKiB, crypto::kMinChunkSize};
    crypto::SecretKey streamKey;
    std::string out;
    const crypto::ChunkSink sink = [&](std::span<const std::uint8_t> chunk) {
        out.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    };
    crypto::StrongSealer sealer(streamKey, header.parameters.chunkSize, header.streamHeader);
    crypto::WrapStreamKey(header, PasswordKey(header), streamKey, header.passwordWrap);
    const auto headerBytes = header.Bytes();
    std::string container(reinterpret_cast<const char*>(headerBytes.data()), headerBytes.size());
    sealer.Write(std::span(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size()), sink);
    sealer.Finish(sink);
    container += out;
    const auto end = crypto::MakeStrongEnd(container.size() + crypto::kStrongEndSize);
    container.append(reinterpret_cast<const char*>(end.data()), end.size());
    return container;
}

// A header's cost within the bounds is lowered to the least, so that no run
// spends seconds deriving a key; costs out of bounds stay, to be refused.
std::string Cheapened(std::string_view file)
{
    std::string bytes(file);
    const auto lower = [&](std::size_t at, std::uint32_t least, std::uint32_t most) {
        if (bytes.size() < at + 4)
            return;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        if (value < least || value > most)
            return;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(least >> (8 * i));
    };
    lower(16, crypto::kMinPasses, crypto::kMaxPasses);
    lower(20, crypto::kMinMemoryKiB, crypto::kMaxMemoryKiB);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const fuzz::FuzzDrive& drive = fuzz::Drive();
    drive.Empty("in");
    switch (data[0] % 3) {
    case 0: drive.Write("in/x.xep", Cheapened(rest)); break;
    case 1: drive.Write("in/x.xep", Sealed(rest, false)); break;
    default: drive.Write("in/x.xep", Sealed(rest, true)); break;
    }

    fuzz::DecryptAndCheck(kPassword);
    return 0;
}
