#include "system/power_operate.h"

#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <vector>

namespace lockora::system {
namespace {

using bridge::ScriptValue;
using platform::PowerAction;

class PowerOperateTest : public testing::SandboxTest {};

TEST_F(PowerOperateTest, EachCodeRequestsItsActionFromTheRecorder)
{
    for (int code = 1; code <= 4; ++code)
        EXPECT_EQ(PowerOperate(ScriptValue::Int(code)), ScriptValue::Int(0)) << code;
    const std::vector<PowerAction> expected{PowerAction::Shutdown, PowerAction::Restart, PowerAction::Hibernate,
                                            PowerAction::Sleep};
    EXPECT_EQ(sandbox().power().Actions(), expected);
}

TEST_F(PowerOperateTest, AnythingButAnIntegerOneToFourIsRefusedAndNothingRuns)
{
    const std::vector<ScriptValue> refused{ScriptValue::Int(0),   ScriptValue::Int(5),
                                           ScriptValue::Int(-1),  ScriptValue::String(u"1"),
                                           ScriptValue::Bool(true), ScriptValue(),
                                           ScriptValue::Array({ScriptValue::Int(1)})};
    for (const ScriptValue& code : refused)
        EXPECT_EQ(PowerOperate(code), ScriptValue::Int(kPowerBadCode)) << static_cast<int>(code.type());
    EXPECT_TRUE(sandbox().power().Actions().empty());
}

} // namespace
} // namespace lockora::system
