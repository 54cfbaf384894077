#include "app/main_frame.h"

#include "app/native_functions.h"
#include "log/diagnostic_log.h"
#include "platform/system.h"
#include "platform/text.h"
#include "system/debug_privilege.h"
#include "system/version_strings.h"

#include <utility>

namespace lockora::app {
namespace {

constexpr std::u16string_view kResourceScheme = u"res:";
constexpr std::u16string_view kArchiveScheme = u"this://app/";

std::string VersionText(std::u16string_view key)
{
    std::u16string text;
    system::GetVersionString({}, key, text);
    return platform::Utf16ToUtf8(text);
}

} // namespace

MainFrame::MainFrame(bridge::Engine& engine, bridge::ArchiveId archive)
    : engine_(engine), archive_(archive), window_(engine.CreateMainWindow(*this))
{
    bridge::MainWindow::Register(this);
    system::EnableDebugPrivilege();
    logging::InitLog(platform::ModuleDir() + u"\\Log\\Lockora.log");
    logging::LogDebug("Soft start file ver:%s ,pro version:%s!", VersionText(u"FileVersion").c_str(),
                      VersionText(u"ProductVersion").c_str());
    previousDelivery_ =
        bridge::InstallNotifyUI([this](const bridge::ScriptValue& message) { DeliverNotification(message); });
    // Once more, now that the log is open, so that the load is logged.
    settings_.Load();
    busyCode().store(bridge::kIdle);
    BindNativeFunctions(*this);
}

MainFrame::~MainFrame()
{
    bridge::InstallNotifyUI(std::move(previousDelivery_));
    if (bridge::MainWindow::Get() == this)
        bridge::MainWindow::Register(nullptr);
}

bool MainFrame::LoadPage(std::u16string_view url)
{
    const bridge::WindowId window = Window();
    if (window != 0)
        bound_.store(true, std::memory_order_release);
    return engine_.LoadFile(window, url);
}

bridge::ScriptValue MainFrame::CallPageFunction(std::string_view name, const bridge::ScriptValue& argument)
{
    const bridge::WindowId window = Window();
    if (window == 0)
        return {};
    auto answer = engine_.CallFunction(window, name, argument);
    if (!answer.ok && answer.value.IsErrorString())
        throw bridge::PageScriptError(platform::Utf16ToUtf8(answer.value.GetString()));
    return std::move(answer.value);
}

bridge::DataAnswer MainFrame::OnDataRequest(bridge::WindowId window, const std::u16string& uri)
{
    // Until the callbacks are attached the engine loads everything itself.
    if (!bound_.load(std::memory_order_acquire))
        return bridge::DataAnswer::Handled;
    // The executable carries no data resources (only its icons), so every
    // resource request is discarded, an empty name included.
    if (uri.starts_with(kResourceScheme))
        return bridge::DataAnswer::Discard;
    if (uri.starts_with(kArchiveScheme))
        return ServeArchiveItem(window, uri);
    return bridge::DataAnswer::Handled;
}

bridge::DataAnswer MainFrame::ServeArchiveItem(bridge::WindowId window, const std::u16string& uri)
{
    std::u16string_view path = std::u16string_view(uri).substr(kArchiveScheme.size());
    if (path.starts_with(u"//"))
        path.remove_prefix(2);
    const auto item = engine_.GetArchiveItem(archive_, path);
    if (!item || item->empty())
        return bridge::DataAnswer::Discard;
    engine_.DataReady(window, uri, *item);
    return bridge::DataAnswer::Handled;
}

bool MainFrame::OnScriptCall(bridge::WindowId, std::string_view name, std::span<const bridge::ScriptValue> arguments,
                             bridge::ScriptValue& result)
{
    if (!bound_.load(std::memory_order_acquire))
        return false;
    return functions_.Dispatch(name, arguments, result);
}

void MainFrame::OnWindowDestroyed(bridge::WindowId)
{
    window_.store(0, std::memory_order_release);
    std::call_once(saved_, [this] { settings_.Save(); });
}

void MainFrame::DeliverNotification(const bridge::ScriptValue& message)
{
    // A notifying worker expects no error from the page; it logs it and goes on.
    try {
        CallPageFunction("BackupServiceCallUI", message);
    } catch (const bridge::PageScriptError& error) {
        logging::LogLess("BackupServiceCallUI failed: %s", error.what());
    }
}

} // namespace lockora::app
