#include "shred/delete_operation.h"

#include "bridge/main_window.h"
#include "bridge/notify.h"
#include "log/diagnostic_log.h"
#include "platform/attributes.h"
#include "platform/folders.h"
#include "shred/shredder.h"

#include <thread>
#include <utility>

namespace lockora::shred {
namespace {

void SendDeleteFinish(bridge::MainWindow& window, std::u16string firstPath)
{
    const bridge::ScriptValue message =
        bridge::ScriptValue::Array({bridge::ScriptValue::Int(bridge::MSG_DELETE_FINISH),
                                    bridge::ScriptValue::String(std::move(firstPath))});
    try {
        window.CallPageFunction("BackupServiceCallUI", message);
    } catch (const bridge::PageScriptError& error) {
        logging::LogLess("BackupServiceCallUI failed on the delete finish: %s", error.what());
    }
}

} // namespace

void ShredPath(std::u16string_view path)
{
    if (platform::IsDirectory(path)) {
        ShredFolder(path);
        return;
    }
    // A path that cannot be queried (already gone) is shredded as an empty
    // file: the shredder finds nothing to open.
    const std::uint64_t size = platform::GetFileAttributesEx(path).value_or({}).size;
    std::uint64_t doneCounter = 0;
    (void)ShredFile(path, path, 2 * size, doneCounter);
}

bridge::ScriptValue CompleteDelFile(const bridge::ScriptValue& param)
{
    bridge::MainWindow* window = bridge::MainWindow::Get();
    if (window == nullptr)
        return bridge::ScriptValue::Int(-1);
    std::int32_t busy = bridge::kIdle;
    if (!window->busyCode().compare_exchange_strong(busy, bridge::kDeleting))
        return bridge::ScriptValue::Int(busy);

    std::vector<std::u16string> request;
    const bridge::ScriptValue& paths = param.At(1);
    request.reserve(1 + paths.Length());
    request.push_back(param.At(0).ToString());
    for (const bridge::ScriptValue& path : paths.Elements())
        request.push_back(path.ToString());

    try {
        std::thread(DeleteWorker, std::move(request)).detach();
    } catch (...) {
        // No worker will clear it: free the busy code for the next operation.
        window->busyCode().store(bridge::kIdle);
        throw;
    }
    return bridge::ScriptValue::Int(0);
}

int DeleteWorker(std::vector<std::u16string> request)
{
    // Entry 0 is the password, which deleting does not need.
    std::vector<std::u16string> paths(std::make_move_iterator(request.begin() + (request.empty() ? 0 : 1)),
                                      std::make_move_iterator(request.end()));
    request.clear();

    for (const std::u16string& path : paths)
        ShredPath(path);

    if (bridge::MainWindow* window = bridge::MainWindow::Get()) {
        // Cleared first, so the page may start its next row from its
        // handler of the finish message.
        window->busyCode().store(bridge::kIdle);
        SendDeleteFinish(*window, paths.empty() ? std::u16string() : paths.front());
    }
    return 0;
}

} // namespace lockora::shred
