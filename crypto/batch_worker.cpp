#include "crypto/batch_worker.h"

#include "bridge/main_window.h"
#include "bridge/notify.h"
#include "crypto/secure_zero.h"
#include "log/diagnostic_log.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace lockora::crypto {
namespace {

// Workers still running, so that tests can wait for the end of a detached
// worker. Never destroyed: a worker may still be ending at process exit.
struct RunningWorkers {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

RunningWorkers& Workers()
{
    static auto* workers = new RunningWorkers;
    return *workers;
}

bridge::ScriptValue StartBatch(const bridge::ScriptValue& param, const settings::SettingsHolder& settings,
                               bridge::BusyCode code)
{
    bridge::MainWindow* window = bridge::MainWindow::Get();
    if (window == nullptr)
        return bridge::ScriptValue::Int(-1);
    std::int32_t busy = bridge::kIdle;
    if (!window->busyCode().compare_exchange_strong(busy, code))
        return bridge::ScriptValue::Int(busy);

    std::vector<std::u16string> request;
    const bridge::ScriptValue& paths = param.At(1);
    request.reserve(1 + paths.Length());
    request.push_back(param.At(0).ToString());
    for (const bridge::ScriptValue& path : paths.Elements())
        request.push_back(path.ToString());

    {
        std::lock_guard lock(Workers().mutex);
        ++Workers().count;
    }
    try {
        std::thread(
            [](std::vector<std::u16string> texts, settings::SettingsRecord record) {
                CryptWorker(std::move(texts), std::move(record));
                RunningWorkers& workers = Workers();
                std::lock_guard lock(workers.mutex);
                --workers.count;
                workers.ended.notify_all();
            },
            std::move(request), settings.Snapshot())
            .detach();
    } catch (...) {
        // No worker will clear it: free the busy code for the next operation.
        {
            std::lock_guard lock(Workers().mutex);
            --Workers().count;
        }
        window->busyCode().store(bridge::kIdle);
        throw;
    }
    return bridge::ScriptValue::Int(0);
}

void SendBatchFinish(bridge::MainWindow& window)
{
    const bridge::ScriptValue message = bridge::ScriptValue::Array({bridge::ScriptValue::Int(bridge::MSG_ENCORDEC_FINISH)});
    try {
        window.CallPageFunction("BackupServiceCallUI", message);
    } catch (const bridge::PageScriptError& error) {
        logging::LogLess("BackupServiceCallUI failed on the encrypt or decrypt finish: %s", error.what());
    }
}

} // namespace

bridge::ScriptValue Encrypted(const bridge::ScriptValue& param, const settings::SettingsHolder& settings)
{
    return StartBatch(param, settings, bridge::kEncrypting);
}

bridge::ScriptValue Decrypted(const bridge::ScriptValue& param, const settings::SettingsHolder& settings)
{
    return StartBatch(param, settings, bridge::kDecrypting);
}

int CryptWorker(std::vector<std::u16string> request, settings::SettingsRecord settings)
{
    std::u16string password = request.empty() ? std::u16string() : std::move(request.front());
    std::vector<std::u16string> paths;
    paths.reserve(request.size());
    for (std::size_t i = 1; i < request.size(); ++i) {
        std::replace(request[i].begin(), request[i].end(), u'/', u'\\');
        paths.push_back(std::move(request[i]));
    }
    request.clear();

    bridge::MainWindow* window = bridge::MainWindow::Get();
    {
        CryptOperation operation;
        operation.ApplyOptions(settings);
        const bool encrypt = window != nullptr && window->busyCode().load() == bridge::kEncrypting;
        RunBatch(operation, paths, password, encrypt ? BatchDirection::Encrypt : BatchDirection::Decrypt);
        operation.CloseHandles();
        // Saved before the finish message, so that the finish message is the
        // batch's last act and the next batch never overlaps this save.
        settings::SaveSettings(operation.options());
    }
    SecureClear(password);

    if (window != nullptr) {
        // Cleared first, so the page may start its next row from its handler
        // of the finish message.
        window->busyCode().store(bridge::kIdle);
        SendBatchFinish(*window);
    }
    return 0;
}

void RunBatch(CryptOperation& operation, const std::vector<std::u16string>& paths, std::u16string_view password,
              BatchDirection direction)
{
    for (const std::u16string& path : paths) {
        operation.engine().bEncrypt = direction == BatchDirection::Encrypt;
        const int opened = operation.engine().bEncrypt ? operation.EncryptItem(path, password)
                                                      : operation.DecryptItem(path, password);
        if (opened != kOpened) {
            logging::LogLess("opt failed ret=%d!", opened);
            return;
        }
    }
    logging::LogDebug("Enc or dec file finished!");
}

namespace testing {

bool WaitForCryptWorkers(std::chrono::milliseconds timeout)
{
    RunningWorkers& workers = Workers();
    std::unique_lock lock(workers.mutex);
    return workers.ended.wait_for(lock, timeout, [&] { return workers.count == 0; });
}

} // namespace testing

} // namespace lockora::crypto
