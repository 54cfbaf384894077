#include "log/page_log.h"

#include "log/diagnostic_log.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lockora::logging {
namespace {

using bridge::ScriptValue;
using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;

class PageLogTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        savedDirectory_ = std::filesystem::current_path();
        previousLauncher_ = platform::SetShellOpenLauncher([this](const std::string& hostPath) {
            opened_.push_back(hostPath);
            return launchResult_;
        });
    }

    void TearDown() override
    {
        platform::SetShellOpenLauncher(std::move(previousLauncher_));
        std::filesystem::current_path(savedDirectory_);
        SandboxTest::TearDown();
    }

    std::vector<std::string> opened_;
    int launchResult_ = platform::kShellOpenSucceeded;

private:
    std::filesystem::path savedDirectory_;
    platform::ShellOpenLauncher previousLauncher_;
};

TEST_F(PageLogTest, WriteHtmlLogWritesTheTextFormOfItsArgument)
{
    std::filesystem::create_directories(sandbox().host(u"C:\\App\\Log"));
    InitLog(u"C:\\App\\Log\\Lockora.log");
    EXPECT_EQ(WriteHtmlLog(ScriptValue::Int(42)), ScriptValue::Int(0));
    EXPECT_EQ(WriteHtmlLog(ScriptValue::String(u"page says %s \u00e9")), ScriptValue::Int(0));

    const std::string log = ReadHostFile(sandbox(), u"C:\\App\\Log\\Lockora.log");
    EXPECT_NE(log.find("[DEBUG]: 42\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[DEBUG]: page says %s \xc3\xa9\n"), std::string::npos) << log;
}

TEST_F(PageLogTest, OpenLogFilePathOpensLogBelowTheCurrentDirectory)
{
    std::filesystem::create_directories(sandbox().host(u"D:\\Work\\Log"));
    ASSERT_TRUE(platform::SetCurrentDirectory(u"D:\\Work").ok());
    EXPECT_EQ(OpenLogFilePath(ScriptValue()), ScriptValue::Int(0));
    EXPECT_EQ(opened_, std::vector<std::string>{sandbox().host(u"D:\\Work\\Log")});

    launchResult_ = platform::kShellErrorNoAssociation;
    EXPECT_EQ(OpenLogFilePath(ScriptValue()), ScriptValue::Int(platform::kShellErrorNoAssociation));
}

TEST_F(PageLogTest, OpenLogFilePathWithoutLogFolderReturnsTheShellError)
{
    ASSERT_TRUE(platform::SetCurrentDirectory(u"C:\\App").ok());
    const ScriptValue result = OpenLogFilePath(ScriptValue());
    ASSERT_TRUE(result.IsInt());
    EXPECT_GT(result.GetInt(), 0);
    EXPECT_LE(result.GetInt(), 32);
    EXPECT_TRUE(opened_.empty());
}

} // namespace
} // namespace lockora::logging
