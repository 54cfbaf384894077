#include "platform/power.h"
#include "tests/platform/fake_command.h"
#include "tests/support/power_recorder.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace platform {
namespace {

using lockora::testing::SandboxTest;
using lockora::testing::ScopedFakeCommand;
using lockora::testing::ScopedPowerRecorder;

class PowerTest : public SandboxTest {
protected:
    std::string FakeFolder() { return sandbox().root() + "/bin"; }
    std::string RecordFile() { return sandbox().root() + "/systemctl.log"; }
    std::string Recorded()
    {
        std::ifstream in(RecordFile());
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // A systemctl that only writes down what it was asked.
    std::string FakeSystemctl() { return "printf '%s\\n' \"$1\" >> '" + RecordFile() + "'"; }
};

TEST_F(PowerTest, RecorderReceivesEveryActionAndNothingRuns)
{
    ScopedFakeCommand systemctl(FakeFolder(), "systemctl", FakeSystemctl());
    ScopedPowerRecorder recording;

    EXPECT_TRUE(PerformPowerAction(PowerAction::Shutdown).ok());
    std::thread([] { EXPECT_TRUE(PerformPowerAction(PowerAction::Sleep).ok()); }).join();
    EXPECT_TRUE(PerformPowerAction(PowerAction::Restart).ok());

    const std::vector<PowerAction> expected{PowerAction::Shutdown, PowerAction::Sleep, PowerAction::Restart};
    EXPECT_EQ(recording.recorder().Actions(), expected);
    EXPECT_FALSE(std::filesystem::exists(RecordFile()));
}

TEST_F(PowerTest, DefaultControllerAsksSystemctlForEachAction)
{
    ScopedFakeCommand systemctl(FakeFolder(), "systemctl", FakeSystemctl());
    // Only the fake can be found: the real command must stay out of reach.
    ASSERT_EQ(std::string(std::getenv("PATH")), FakeFolder());
    ScopedPowerRecorder restoresTheRecorderAfterwards;
    SetPowerController(nullptr);

    for (const auto action : {PowerAction::Shutdown, PowerAction::Restart, PowerAction::Hibernate, PowerAction::Sleep})
        EXPECT_TRUE(PerformPowerAction(action).ok());
    EXPECT_EQ(Recorded(), "poweroff\nreboot\nhibernate\nsuspend\n");
}

TEST_F(PowerTest, DefaultControllerReportsARefusedRequest)
{
    ScopedFakeCommand systemctl(FakeFolder(), "systemctl", "exit 1");
    ASSERT_EQ(std::string(std::getenv("PATH")), FakeFolder());
    ScopedPowerRecorder restoresTheRecorderAfterwards;
    SetPowerController(nullptr);
    EXPECT_FALSE(PerformPowerAction(PowerAction::Hibernate).ok());
}

} // namespace
} // namespace platform
