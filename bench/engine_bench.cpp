// Round trips through the web engine over loopback: a page-function call
// from a native thread (native -> page -> native) and a native call from the
// page (page -> UI thread -> page). The page is a scripted client that
// answers at once, so the figures are the engine's own cost.
#include "engine/web/testing/page_client.h"
#include "engine/web/web_engine.h"

#include <benchmark/benchmark.h>

#include <future>
#include <sstream>
#include <stdexcept>

namespace {

using lockora::bridge::ScriptValue;
using lockora::engine::web::WebEngine;
using lockora::engine::web::testing::PageClient;

class BenchHost final : public lockora::bridge::EngineHost {
public:
    lockora::bridge::DataAnswer OnDataRequest(lockora::bridge::WindowId, const std::u16string&) override
    {
        return lockora::bridge::DataAnswer::Discard;
    }
    bool OnScriptCall(lockora::bridge::WindowId, std::string_view name, std::span<const ScriptValue> arguments,
                      ScriptValue& result) override
    {
        if (name != "Echo" || arguments.size() != 1)
            return false;
        result = arguments[0];
        return true;
    }
    void OnWindowDestroyed(lockora::bridge::WindowId) override {}
};

// An engine whose loop runs on a thread of its own, with a ready page.
class Rig {
public:
    Rig()
    {
        lockora::engine::web::WebEngineOptions options;
        options.browser = "none";
        options.out = &printed_;
        auto created = WebEngine::Create(options);
        if (!created.ok())
            throw std::runtime_error("the web engine cannot start");
        engine_ = std::move(created).value();
        window_ = engine_->CreateMainWindow(host_);
        engine_->LoadFile(window_, u"this://app/index.html");
        engine_->ShowWindow(window_);
        std::string address;
        std::getline(printed_, address);
        client_ = std::make_unique<PageClient>(engine_->Port());
        if (client_->Start(address) != 200 || client_->OpenSocket() != 101)
            throw std::runtime_error("the page cannot connect");
        client_->Define("Echo", [](const nlohmann::json& argument) { return argument; });
        client_->Ready();
        loop_ = std::async(std::launch::async, [this] { return engine_->RunMessageLoop(); });
        // Once a call has run on the loop, this thread is a worker.
        if (!client_->Call("Echo", {0}))
            throw std::runtime_error("the loop does not run");
    }

    ~Rig()
    {
        client_->Send({{"type", "close"}});
        loop_.wait();
    }

    WebEngine& engine() { return *engine_; }
    lockora::bridge::WindowId window() const { return window_; }
    PageClient& client() { return *client_; }

private:
    std::stringstream printed_;
    BenchHost host_;
    std::unique_ptr<WebEngine> engine_;
    lockora::bridge::WindowId window_ = 0;
    std::unique_ptr<PageClient> client_;
    std::future<int> loop_;
};

void BM_PageFunctionRoundTrip(benchmark::State& state)
{
    Rig rig;
    const ScriptValue argument = ScriptValue::Array({ScriptValue::Int(2), ScriptValue::String(u"C:\\Data\\a.txt")});
    for (auto _ : state) {
        auto result = rig.engine().CallFunction(rig.window(), "Echo", argument);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_PageFunctionRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

void BM_NativeCallFromPage(benchmark::State& state)
{
    Rig rig;
    const nlohmann::json args = {{2, "C:\\Data\\a.txt"}};
    for (auto _ : state) {
        auto result = rig.client().Call("Echo", args);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_NativeCallFromPage)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
