// Base64 text of binary data (standard alphabet, padded with "=").
#pragma once

#include <string>
#include <string_view>

namespace lockora::folders {

std::u16string EncodeBase64(std::string_view bytes);

} // namespace lockora::folders
