// A web engine on loopback with a host that answers like the main window,
// and scripted pages that talk to it as the browser would.
#pragma once

#include "engine/web/web_engine.h"
#include "engine/web/testing/page_client.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

#include "test_archive_block.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace lockora::engine::web {

// Records the processes the engine starts instead of starting them.
class RecordingRunner : public ProcessRunner {
public:
    // Process ids count from 100.
    ProcessId Start(const std::vector<std::string>& argv) override
    {
        std::lock_guard lock(mutex_);
        started_.push_back(argv);
        return static_cast<ProcessId>(99 + started_.size());
    }
    void Stop(ProcessId process, std::chrono::milliseconds) override
    {
        std::lock_guard lock(mutex_);
        stopped_.push_back(process);
    }
    std::vector<std::vector<std::string>> started() const
    {
        std::lock_guard lock(mutex_);
        return started_;
    }
    std::vector<ProcessId> stopped() const
    {
        std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> started_;
    std::vector<ProcessId> stopped_;
};

// Archive items for "this://app/", and native functions:
// Add([a, b]) -> a + b, Echo(x) -> x, Fail() throws, CallPage(name) -> the
// value of the page function `name` called from the UI thread.
class TestHost : public bridge::EngineHost {
public:
    bridge::Engine* engine = nullptr;
    bridge::ArchiveId archive = 0;
    std::atomic<int> destroyed{0};

    bridge::DataAnswer OnDataRequest(bridge::WindowId window, const std::u16string& uri) override
    {
        const std::u16string_view prefix = u"this://app/";
        if (!uri.starts_with(prefix))
            return bridge::DataAnswer::Handled;
        const auto item = engine->GetArchiveItem(archive, std::u16string_view(uri).substr(prefix.size()));
        if (!item || item->empty())
            return bridge::DataAnswer::Discard;
        engine->DataReady(window, uri, *item);
        return bridge::DataAnswer::Handled;
    }

    bool OnScriptCall(bridge::WindowId, std::string_view name, std::span<const bridge::ScriptValue> arguments,
                      bridge::ScriptValue& result) override
    {
        {
            std::lock_guard lock(mutex_);
            callThreads_.push_back(std::this_thread::get_id());
        }
        if (name == "Add" && arguments.size() == 1) {
            result = bridge::ScriptValue::Int(arguments[0].At(0).GetInt() + arguments[0].At(1).GetInt());
            return true;
        }
        if (name == "Echo" && arguments.size() == 1) {
            result = arguments[0];
            return true;
        }
        if (name == "Fail" && arguments.empty())
            throw std::runtime_error("native failure");
        if (name == "CallPage" && arguments.size() == 1) {
            const std::string function = platform::Utf16ToUtf8(arguments[0].GetString());
            result = engine->CallFunction(1, function, bridge::ScriptValue::Int(1)).value;
            return true;
        }
        return false;
    }

    void OnWindowDestroyed(bridge::WindowId) override { ++destroyed; }

    std::vector<std::thread::id> callThreads() const
    {
        std::lock_guard lock(mutex_);
        return callThreads_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::thread::id> callThreads_;
};

class WebEngineTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        options.processRunner = &runner;
        options.browser = "none";
        options.out = &printed;
        options.reconnectGrace = std::chrono::milliseconds(200);
    }

    void TearDown() override
    {
        EndLoop();
        client.reset();
        engine.reset();
        SandboxTest::TearDown();
    }

    // Creates the engine and its window with the test archive's index page.
    void CreateEngine()
    {
        auto created = WebEngine::Create(options);
        ASSERT_TRUE(created.ok());
        engine = std::move(created).value();
        host.engine = engine.get();
        host.archive = engine->OpenArchive(lockora::testing::TestArchiveBlock());
        ASSERT_NE(host.archive, 0u);
        window = engine->CreateMainWindow(host);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(engine->LoadFile(window, u"this://app/index.html"));
        client = std::make_unique<testing::PageClient>(engine->Port());
    }

    // Shows the window and returns the printed start address.
    std::string ShowWindow()
    {
        engine->ShowWindow(window);
        std::string address;
        std::getline(printed, address);
        return address;
    }

    // Shows the window and connects a ready page.
    void OpenPage()
    {
        CreateEngine();
        ASSERT_EQ(client->Start(ShowWindow()), 200u);
        ASSERT_EQ(client->OpenSocket(), 101u);
        client->Ready();
    }

    // Runs the message loop on a thread of its own, and returns once it
    // runs (a native call has gone through it), so that the test's thread is
    // no longer the UI thread.
    void RunLoop()
    {
        loop = std::async(std::launch::async, [this] {
            uiThread.store(std::this_thread::get_id());
            return engine->RunMessageLoop();
        });
        const auto echoed = client->Call("Echo", {0});
        ASSERT_TRUE(echoed.has_value());
    }

    // Ends the loop the way a page does: it closes the window.
    void EndLoop()
    {
        if (!loop.valid())
            return;
        if (loop.wait_for(std::chrono::seconds(0)) != std::future_status::ready && client &&
            client->OpenSocket() == 101)
            client->Send({{"type", "close"}});
        ASSERT_EQ(loop.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        loop.get();
    }

    WebEngineOptions options;
    RecordingRunner runner;
    std::stringstream printed;
    TestHost host;
    std::unique_ptr<WebEngine> engine;
    bridge::WindowId window = 0;
    std::unique_ptr<testing::PageClient> client;
    std::future<int> loop;
    std::atomic<std::thread::id> uiThread;
};

} // namespace lockora::engine::web
