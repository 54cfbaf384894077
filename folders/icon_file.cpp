#include "folders/icon_file.h"

#include <cstdint>

namespace lockora::folders {
namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
// Signature, chunk length and type, then width and height of the IHDR chunk.
constexpr std::size_t kPngWidthOffset = 16;
constexpr std::size_t kPngHeaderSize = 24;
constexpr std::string_view kIhdr = "IHDR";
// ICONDIR (6 bytes) and one ICONDIRENTRY (16 bytes) precede the image.
constexpr std::uint32_t kImageOffset = 6 + 16;

std::uint32_t ReadBigEndian32(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

void AppendLittleEndian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The directory entry holds one byte per dimension; 0 stands for 256 and
// above.
char DimensionByte(std::uint32_t pixels)
{
    return pixels >= 256 ? '\0' : static_cast<char>(pixels);
}

} // namespace

std::string IconFileFromPng(std::string_view png)
{
    if (png.size() < kPngHeaderSize || !png.starts_with(kPngSignature) || png.substr(12, 4) != kIhdr)
        return {};
    if (png.size() > UINT32_MAX - kImageOffset)
        return {};
    const std::uint32_t width = ReadBigEndian32(png, kPngWidthOffset);
    const std::uint32_t height = ReadBigEndian32(png, kPngWidthOffset + 4);

    std::string icon;
    icon.reserve(kImageOffset + png.size());
    AppendLittleEndian(icon, 0, 2); // reserved
    AppendLittleEndian(icon, 1, 2); // type: icon
    AppendLittleEndian(icon, 1, 2); // one image
    icon.push_back(DimensionByte(width));
    icon.push_back(DimensionByte(height));
    icon.push_back('\0');            // no palette
    icon.push_back('\0');            // reserved
    AppendLittleEndian(icon, 1, 2);  // colour planes
    AppendLittleEndian(icon, 32, 2); // bits per pixel
    AppendLittleEndian(icon, static_cast<std::uint32_t>(png.size()), 4);
    AppendLittleEndian(icon, kImageOffset, 4);
    icon.append(png);
    return icon;
}

} // namespace lockora::folders
