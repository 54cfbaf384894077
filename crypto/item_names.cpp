#include "crypto/item_names.h"

#include "platform/folders.h"
#include "platform/text.h"

#include <cstdio>
#include <regex>
#include <string_view>

namespace lockora::crypto {
namespace {

// The patterns spell \d and \w out as ASCII classes: std::wregex takes both
// from the global locale, which could widen them to other scripts' digits
// and letters.
const std::wregex& ContainerSuffix()
{
    static const std::wregex pattern(L"(.+?)(\\([0-9]+\\))?(\\.xep$)");
    return pattern;
}

const std::wregex& Extension()
{
    static const std::wregex pattern(L"(.+?)(\\([0-9]+\\))?(\\.[A-Za-z0-9_]+$)");
    return pattern;
}

const std::wregex& FinalCounter()
{
    static const std::wregex pattern(L"(.+)(\\([0-9]+\\)$)");
    return pattern;
}

std::u16string NumberText(std::u16string_view before, int number, std::u16string_view after)
{
    char digits[16];
    std::snprintf(digits, sizeof(digits), "(%d)", number);
    std::u16string text(before);
    text += platform::Utf8ToUtf16(digits);
    text += after;
    return text;
}

// The first candidate(n), n = 1, 2, ..., that does not exist.
template <typename Candidate>
std::u16string FirstFree(Candidate candidate)
{
    for (int number = 1;; ++number) {
        std::u16string name = candidate(number);
        if (!platform::PathExists(name))
            return name;
    }
}

} // namespace

void MakeEncryptName(std::u16string& path)
{
    if (!platform::PathExists(path + u".xep")) {
        path += u".xep";
        return;
    }
    path = FirstFree([&](int number) { return NumberText(path, number, u".xep"); });
}

void MakeDecryptName(std::u16string& path)
{
    const std::wstring name = std::regex_replace(platform::Utf16ToWide(path), ContainerSuffix(), L"$1");
    path = platform::WideToUtf16(name);
    if (!platform::PathExists(path))
        return;

    const std::wregex* pattern = nullptr;
    std::u16string_view after;
    if (std::regex_search(name, Extension())) {
        pattern = &Extension();
        after = u"$3";
    } else if (std::regex_search(name, FinalCounter())) {
        pattern = &FinalCounter();
    }
    if (pattern == nullptr) {
        path = FirstFree([&](int number) { return NumberText(path, number, u""); });
        return;
    }
    path = FirstFree([&](int number) {
        const std::wstring format = platform::Utf16ToWide(NumberText(u"$1", number, after));
        return platform::WideToUtf16(std::regex_replace(name, *pattern, format));
    });
}

} // namespace lockora::crypto
