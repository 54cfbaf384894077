#include "platform/private_files.h"

#include "platform/errors.h"
#include "platform/random.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sddl.h>

namespace platform {
namespace {

std::wstring WideOf(std::string_view path)
{
    return win32::Wide(Utf8ToUtf16(path));
}

// "%LOCALAPPDATA%\Temp", where the user's own temporary files go; the
// system's temporary folder when the variable is missing.
std::wstring BaseFolder()
{
    std::wstring local = win32::EnvironmentValue(L"LOCALAPPDATA");
    if (!local.empty()) {
        local += L"\\Temp";
        ::CreateDirectoryW(local.c_str(), nullptr);
        return local;
    }
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder(temp, length);
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

struct LocalFreeDeleter {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

// An access list that is not inherited from the parent and grants the
// running user alone full access, for the folder and all made in it.
Result<std::unique_ptr<void, LocalFreeDeleter>> UserOnlyDescriptor()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return win32::LastError();
    const win32::UniqueHandle owned(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::unique_ptr<std::byte[]> user(new std::byte[size]);
    if (!::GetTokenInformation(token, TokenUser, user.get(), size, &size))
        return win32::LastError();
    wchar_t* sid = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &sid))
        return win32::LastError();
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    ::LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return win32::LastError();
    return std::unique_ptr<void, LocalFreeDeleter>(descriptor);
}

} // namespace

Result<std::string> CreatePrivateFolder(std::string_view prefix)
{
    auto descriptor = UserOnlyDescriptor();
    if (!descriptor)
        return descriptor.error();
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), descriptor->get(), FALSE};
    const std::wstring base = BaseFolder();
    // A name nobody can guess; a clash is only ever a coincidence, so try again.
    for (int attempt = 0; attempt < 16; ++attempt) {
        unsigned char bytes[8];
        PLATFORM_TRY(FillRandom(bytes, sizeof bytes));
        std::wstring folder = base + L"\\" + WideOf(prefix);
        for (const unsigned char byte : bytes) {
            constexpr wchar_t kHex[] = L"0123456789abcdef";
            folder.push_back(kHex[byte >> 4]);
            folder.push_back(kHex[byte & 0xF]);
        }
        if (::CreateDirectoryW(folder.c_str(), &security))
            return Utf16ToUtf8(win32::FromWide(folder.c_str()));
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return win32::LastError();
    }
    return Error(kErrorAlreadyExists);
}

Status CreatePrivateFile(const std::string& path, std::string_view bytes)
{
    // The file takes the folder's access list, which names the user alone.
    const win32::UniqueHandle file(::CreateFileW(WideOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return win32::LastError();
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(file.get(), bytes.data(), part, &written, nullptr))
            return win32::LastError();
        bytes.remove_prefix(written);
    }
    return {};
}

void RemoveFolderTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(WideOf(path)), ignored);
}

} // namespace platform
