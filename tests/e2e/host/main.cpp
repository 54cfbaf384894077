// The browser tests' host: the web engine with the test pages and a few
// native functions that exercise both directions of the script bridge.
//
//   Add([a, b])        a + b, on the UI thread
//   StartWorker(name)  a worker thread calls the page function `name` with
//                      20 and hands its value to the page's WorkerDone
//   AskBox()           a worker thread shows a Yes/No message box and hands
//                      the answer to the page's BoxAnswered
//
// Before the window is shown the host calls the page's ShowStart, which the
// engine delivers once the page is ready. When the loop ends the host prints
// "loop ended <value>".
#include "engine/web/web_engine.h"
#include "platform/message_box.h"
#include "platform/text.h"

#include "test_pages_block.h"

#include <iostream>
#include <thread>

namespace {

using lockora::bridge::ScriptValue;

class TestHost final : public lockora::bridge::EngineHost {
public:
    explicit TestHost(lockora::engine::web::WebEngine& engine) : engine_(engine) {}

    void Attach(lockora::bridge::ArchiveId archive, lockora::bridge::WindowId window)
    {
        archive_ = archive;
        window_ = window;
    }

    lockora::bridge::DataAnswer OnDataRequest(lockora::bridge::WindowId window, const std::u16string& uri) override
    {
        const std::u16string_view prefix = u"this://app/";
        if (!uri.starts_with(prefix))
            return lockora::bridge::DataAnswer::Handled;
        const auto item = engine_.GetArchiveItem(archive_, std::u16string_view(uri).substr(prefix.size()));
        if (!item)
            return lockora::bridge::DataAnswer::Discard;
        engine_.DataReady(window, uri, *item);
        return lockora::bridge::DataAnswer::Handled;
    }

    bool OnScriptCall(lockora::bridge::WindowId, std::string_view name, std::span<const ScriptValue> arguments,
                      ScriptValue& result) override
    {
        if (name == "Add" && arguments.size() == 1) {
            result = ScriptValue::Int(arguments[0].At(0).GetInt() + arguments[0].At(1).GetInt());
            return true;
        }
        if (name == "StartWorker" && arguments.size() == 1) {
            const std::string function = platform::Utf16ToUtf8(arguments[0].GetString());
            std::thread([this, function] {
                const auto answer = engine_.CallFunction(window_, function, ScriptValue::Int(20));
                engine_.CallFunction(window_, "WorkerDone", answer.value);
            }).detach();
            result = ScriptValue::Int(0);
            return true;
        }
        if (name == "AskBox" && arguments.empty()) {
            std::thread([this] {
                const int answer = platform::MessageBox(u"Shred the folder?", u"Lockora test",
                                                        platform::kMbYesNo | platform::kMbIconQuestion);
                engine_.CallFunction(window_, "BoxAnswered", ScriptValue::Int(answer));
            }).detach();
            result = ScriptValue::Int(0);
            return true;
        }
        return false;
    }

    void OnWindowDestroyed(lockora::bridge::WindowId) override {}

private:
    lockora::engine::web::WebEngine& engine_;
    lockora::bridge::ArchiveId archive_ = 0;
    lockora::bridge::WindowId window_ = 0;
};

} // namespace

int main()
{
    // The browser tests read the one-time address from the pipe.
    lockora::engine::web::WebEngineOptions options;
    options.out = &std::cout;
    auto created = lockora::engine::web::WebEngine::Create(std::move(options));
    if (!created.ok()) {
        std::cerr << "the web engine cannot start: error " << created.code() << std::endl;
        return -1;
    }
    auto& engine = **created;
    TestHost host(engine);
    const auto archive = engine.OpenArchive(lockora::e2e::TestPagesBlock());
    const auto window = engine.CreateMainWindow(host);
    host.Attach(archive, window);
    engine.LoadFile(window, u"this://app/index.html");
    engine.CallFunction(window, "ShowStart", ScriptValue::String(u"queued before the page was ready"));
    engine.ShowWindow(window);
    const int value = engine.RunMessageLoop();
    std::cout << "loop ended " << value << std::endl;
    return value;
}
