#include "folders/show_path.h"

#include "platform/attributes.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

namespace lockora::folders {
namespace {

using bridge::ScriptValue;
using platform::kAttrHidden;
using platform::kAttrNotContentIndexed;
using platform::kAttrReadOnly;
using platform::kAttrSystem;
using testing::SandboxTest;
using testing::WriteHostFile;

std::uint32_t AttributesOf(std::u16string_view path)
{
    return platform::GetFileAttributes(path).value_or(platform::kInvalidFileAttributes);
}

class ShowPathTest : public SandboxTest {};

TEST_F(ShowPathTest, ClearsHiddenAndNotIndexedOnlyOnThePathsThemselves)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine keeps neither the not-content-indexed attribute nor a folder's read-only one";
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "a");
    WriteHostFile(sandbox(), u"C:\\Data\\Box\\inner.txt", "b");
    const std::uint32_t hiddenEtc = kAttrHidden | kAttrNotContentIndexed | kAttrSystem | kAttrReadOnly;
    for (const auto* path : {u"C:\\Data\\a.txt", u"C:\\Data\\Box", u"C:\\Data\\Box\\inner.txt"})
        ASSERT_TRUE(platform::SetFileAttributes(path, hiddenEtc).ok());

    const ScriptValue param = ScriptValue::Array(
        {ScriptValue(), ScriptValue::Array({ScriptValue::String(u"C:\\Data\\a.txt"), ScriptValue::String(u"C:\\Data\\Missing"),
                                            ScriptValue::String(u"C:\\Data\\Box")})});
    EXPECT_EQ(ShowPath(param), ScriptValue::Int(0));

    EXPECT_EQ(AttributesOf(u"C:\\Data\\a.txt") & hiddenEtc, kAttrSystem | kAttrReadOnly);
    EXPECT_EQ(AttributesOf(u"C:\\Data\\Box") & hiddenEtc, kAttrSystem | kAttrReadOnly);
    EXPECT_EQ(AttributesOf(u"C:\\Data\\Box\\inner.txt") & hiddenEtc, hiddenEtc);
}

TEST_F(ShowPathTest, DotNameBecomesVisible)
{
    if (lockora::testing::UnderWine())
        GTEST_SKIP() << "Wine shows a name that starts with a dot as hidden, whatever its attributes";
    WriteHostFile(sandbox(), u"C:\\Data\\.config", "c");
    ASSERT_EQ(AttributesOf(u"C:\\Data\\.config") & kAttrHidden, kAttrHidden);
    (void)ShowPath(ScriptValue::Array({ScriptValue(), ScriptValue::Array({ScriptValue::String(u"C:\\Data\\.config")})}));
    EXPECT_EQ(AttributesOf(u"C:\\Data\\.config") & kAttrHidden, 0u);
}

TEST_F(ShowPathTest, HidePathChangesNothing)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "a");
    const std::uint32_t before = AttributesOf(u"C:\\Data\\a.txt");
    EXPECT_EQ(HidePath(ScriptValue::Array({ScriptValue(), ScriptValue::Array({ScriptValue::String(u"C:\\Data\\a.txt")})})),
              ScriptValue::Int(0));
    EXPECT_EQ(AttributesOf(u"C:\\Data\\a.txt"), before);
}

} // namespace
} // namespace lockora::folders
