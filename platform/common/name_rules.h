// What a Windows file name may hold.
#pragma once

namespace platform {

// Characters a Windows name cannot hold: \ : * ? " < > | and control
// characters. The POSIX backend shows host names holding them with
// U+F000 + code instead.
constexpr bool IsForbiddenInWindowsName(char32_t c)
{
    switch (c) {
    case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return c < 0x20;
    }
}

} // namespace platform
