#include "crypto/container_trailer.h"

#include "crypto/container_crc.h"
#include "crypto/word_io.h"

#include <span>

namespace lockora::crypto {
namespace {

void UpdateWithMarker(std::uint32_t& reg)
{
    ContainerCrcUpdate(reg, std::span(reinterpret_cast<const std::uint8_t*>(kTrailerMarker.data()), kTrailerMarker.size()));
}

} // namespace

ContainerTrailer ContainerTrailer::Make(bool recoveryFlag, std::int32_t kind, std::uint64_t passwordValue)
{
    ContainerTrailer trailer;
    trailer.bytes[0] = 7;
    trailer.bytes[1] = 1;
    trailer.bytes[2] = recoveryFlag ? 1 : 0;
    StoreLittle(static_cast<std::uint32_t>(kind), &trailer.bytes[4], 4);
    StoreLittle(passwordValue, &trailer.bytes[8], 8);
    return trailer;
}

void ContainerTrailer::Seal(std::uint32_t dataCrc)
{
    StoreLittle(ComputeDataChecksum(dataCrc), &bytes[24], 4);
    StoreLittle(ComputeTrailerChecksum(), &bytes[28], 4);
}

std::int32_t ContainerTrailer::Kind() const
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadLittle(&bytes[4], 4)));
}

std::uint64_t ContainerTrailer::PasswordValue() const
{
    return LoadLittle(&bytes[8], 8);
}

std::uint32_t ContainerTrailer::DataChecksum() const
{
    return static_cast<std::uint32_t>(LoadLittle(&bytes[24], 4));
}

std::uint32_t ContainerTrailer::TrailerChecksum() const
{
    return static_cast<std::uint32_t>(LoadLittle(&bytes[28], 4));
}

std::uint32_t ContainerTrailer::ComputeDataChecksum(std::uint32_t dataCrc) const
{
    ContainerCrcUpdate(dataCrc, std::span(bytes.data(), 24));
    UpdateWithMarker(dataCrc);
    return ~dataCrc;
}

std::uint32_t ContainerTrailer::ComputeTrailerChecksum() const
{
    std::uint32_t reg = kCrcStart;
    ContainerCrcUpdate(reg, std::span(bytes.data(), 28));
    UpdateWithMarker(reg);
    return ~reg;
}

} // namespace lockora::crypto
