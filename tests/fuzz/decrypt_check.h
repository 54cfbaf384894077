// The check both container targets make after writing C:\in\x.xep.
#pragma once

#include <string_view>

namespace lockora::fuzz {

// Decrypts C:\in\x.xep with `password` through one operation kept for the
// process, as for one long batch (its buffers and derived keys are made
// once), and aborts unless the outcome is one of the operation's named ones
// and C:\in holds nothing but the container and the restored item "x".
void DecryptAndCheck(std::u16string_view password);

} // namespace lockora::fuzz
