#include "platform/errors.h"
#include "platform/shell.h"
#include "platform/win32/wide.h"

#include <objbase.h>
#include <shellapi.h>
#include <wincodec.h>

namespace platform {
namespace {

// Releases a COM interface it holds.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer()
    {
        if (pointer_)
            pointer_->Release();
    }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    Interface** out() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

class IconHandle {
public:
    explicit IconHandle(HICON icon) : icon_(icon) {}
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    ~IconHandle()
    {
        if (icon_)
            ::DestroyIcon(icon_);
    }
    HICON get() const { return icon_; }

private:
    HICON icon_;
};

// The icon, alpha channel and all, as PNG bytes through the imaging
// component; empty when any step fails, as for an icon no theme has.
std::string IconToPng(HICON icon)
{
    // COM may already be set up on this thread, in either model.
    const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    struct Uninitialise {
        bool needed;
        ~Uninitialise()
        {
            if (needed)
                ::CoUninitialize();
        }
    } uninitialise{SUCCEEDED(initialised)};

    ComPointer<IWICImagingFactory> factory;
    ComPointer<IWICBitmap> bitmap;
    ComPointer<IStream> stream;
    ComPointer<IWICBitmapEncoder> encoder;
    ComPointer<IWICBitmapFrameEncode> frame;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(factory.out()))) ||
        FAILED(factory->CreateBitmapFromHICON(icon, bitmap.out())) ||
        FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), nullptr)) || FAILED(frame->Initialize(nullptr)))
        return {};
    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(bitmap->GetSize(&width, &height)) || FAILED(frame->SetSize(width, height)) ||
        FAILED(frame->SetPixelFormat(&format)) || FAILED(frame->WriteSource(bitmap.get(), nullptr)) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return {};
    HGLOBAL memory = nullptr;
    if (FAILED(::GetHGlobalFromStream(stream.get(), &memory)))
        return {};
    STATSTG status{};
    if (FAILED(stream->Stat(&status, STATFLAG_NONAME)))
        return {};
    const void* bytes = ::GlobalLock(memory);
    if (!bytes)
        return {};
    std::string png(static_cast<const char*>(bytes), static_cast<std::size_t>(status.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return png;
}

Result<ShellFileInfo> Query(const std::wstring& path, DWORD attributes, UINT flags, ShellIconSize size)
{
    SHFILEINFOW information{};
    flags |= SHGFI_TYPENAME | SHGFI_ICON | (size == ShellIconSize::Small ? SHGFI_SMALLICON : SHGFI_LARGEICON);
    if (!::SHGetFileInfoW(path.c_str(), attributes, &information, sizeof information, flags))
        return Error(kErrorFileNotFound);
    const IconHandle icon(information.hIcon);
    return ShellFileInfo{win32::FromWide(information.szTypeName), icon.get() ? IconToPng(icon.get()) : std::string()};
}

} // namespace

Result<ShellFileInfo> GetShellFileInfo(std::u16string_view path, ShellIconSize size)
{
    std::wstring item = win32::Wide(path);
    if (item.size() == 2 && item[1] == L':')
        item.push_back(L'\\'); // "C:" alone names the current folder of the drive
    // The item must exist; the shell would describe a missing one by its name.
    if (::GetFileAttributesW(item.c_str()) == INVALID_FILE_ATTRIBUTES)
        return win32::LastError();
    return Query(item, 0, 0, size);
}

ShellFileInfo GetShellFileInfoByName(std::u16string_view name, std::uint32_t attributes, ShellIconSize size)
{
    auto information = Query(win32::Wide(name), attributes, SHGFI_USEFILEATTRIBUTES, size);
    return information.ok() ? std::move(information).value() : ShellFileInfo{};
}

} // namespace platform
