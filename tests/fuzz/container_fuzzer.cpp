// The container reader on crafted input, through the decrypt operation as
// the program runs it. The first byte chooses the form: the file as it
// stands, or the rest as the body of a file or folder container closed by a
// trailer that matches the password, so that the reader gets past the
// password check into the records. Checked: the operation ends in one of its
// named outcomes, and nothing is created but the restored item beside the
// container.
#include "crypto/container_trailer.h"
#include "crypto/password_key.h"
#include "crypto/strong_format.h"
#include "tests/fuzz/decrypt_check.h"
#include "tests/fuzz/fuzz_drive.h"

#include <cstdlib>
#include <string>

namespace {

using namespace lockora;

constexpr std::u16string_view kPassword = u"fuzz-password";

std::string WithTrailer(std::string body, std::int32_t kind)
{
    // The data checksum is left wrong: the body is read in full either way,
    // and a mismatch is one of the outcomes under test.
    crypto::ContainerTrailer trailer =
        crypto::ContainerTrailer::Make(false, kind, crypto::DerivePasswordValues(kPassword).check);
    trailer.Seal(0);
    body.append(reinterpret_cast<const char*>(trailer.bytes.data()), trailer.bytes.size());
    return body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    // Strong containers have a target of their own, without the key
    // derivation that would make every run slow.
    if (crypto::HasStrongMagic(std::span(data + 1, size - 1)))
        return 0;
    const fuzz::FuzzDrive& drive = fuzz::Drive();
    drive.Empty("in");
    switch (data[0] % 3) {
    case 0: drive.Write("in/x.xep", rest); break;
    case 1: drive.Write("in/x.xep", WithTrailer(std::move(rest), crypto::kKindFile)); break;
    default: drive.Write("in/x.xep", WithTrailer(std::move(rest), crypto::kKindFolder)); break;
    }

    fuzz::DecryptAndCheck(kPassword);
    return 0;
}
