// The twelve disguise suffixes: a dot and a shell class identifier in
// braces. A folder whose name ends in one is shown by the Windows shell as
// that class's object. The folder screen's script holds the same table in
// the same order, so an icon index means the same suffix on both sides; the
// letter case is part of the names and must stay as it is.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace lockora::folders {

inline constexpr std::array<std::u16string_view, 12> kDisguiseSuffixes = {
    u".{208D2C60-3AEA-1069-A2D7-08002B30309D}",
    u".{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
    u".{2227A280-3AEA-1069-A2DE-08002B30309D}",
    u".{5ef4af3a-f726-11d0-b8a2-00c04fc309a4}",
    u".{645FF040-5081-101B-9F08-00AA002F954E}",
    u".{63da6ec0-2e98-11cf-8d82-444553540000}",
    u".{7007ACC7-3202-11D1-AAD2-00805FC1270E}",
    u".{FF393560-C2A7-11CF-BFF4-444553540000}",
    u".{D20EA4E1-3957-11d2-A40B-0C5020524153}",
    u".{AFDB1F70-2A4C-11d2-9039-00C04F8EEB3E}",
    u".{0CD7A5C0-9F37-11CE-AE65-08002B2E1262}",
    u".{ED7BA470-8E54-465E-825C-99712043E01C}",
};

} // namespace lockora::folders
