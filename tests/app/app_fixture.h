// A sandbox with the headless engine for tests of the application shell;
// the single-instance guard is given up after each test, as a process ending.
#pragma once

#include "app/command_line.h"
#include "app/single_instance.h"
#include "engine/headless/headless_engine.h"
#include "tests/support/sandbox.h"

#include <memory>

namespace lockora::app {

class AppTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        lockora::testing::WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "a");
        engine_ = std::make_unique<engine::HeadlessEngine>();
    }
    void TearDown() override
    {
        engine_.reset();
        app::testing::ReleaseSingleInstance();
        g_commandLine.clear();
        SandboxTest::TearDown();
    }

    engine::HeadlessEngine& engine() { return *engine_; }

private:
    std::unique_ptr<engine::HeadlessEngine> engine_;
};

} // namespace lockora::app
