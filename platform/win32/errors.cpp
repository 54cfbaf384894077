#include "platform/errors.h"

#include "platform/win32/wide.h"

namespace platform {

std::u16string SystemMessage(ErrorCode code)
{
    // English texts, as the rest of the program shows them; a system
    // without the English messages gives its own language.
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = ::FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                    reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0)
        length = ::FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0)
        return u"Unknown error.";
    std::u16string message(reinterpret_cast<const char16_t*>(text), length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u' '))
        message.pop_back();
    return message;
}

ErrorCode ErrorFromSystemError(int code)
{
    return static_cast<ErrorCode>(code);
}

std::u16string Error::message() const
{
    return SystemMessage(code_);
}

} // namespace platform
