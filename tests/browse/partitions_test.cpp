#include "browse/icon_cache.h"
#include "browse/partitions.h"

#include "platform/folders.h"
#include "platform/path.h"
#ifndef _WIN32
#include "platform/posix/drive_table.h"
#endif
#include "platform/text.h"
#include "tests/browse/browse_test_support.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>

namespace lockora::browse {
namespace {

using bridge::ScriptValue;
using testing::kFixedZone;
using testing::ScopedTimeZone;
using testing::SetWriteTimeUtc;

class PartitionsTest : public lockora::testing::SandboxTest {};

TEST_F(PartitionsTest, OneRowPerDriveInLetterOrder)
{
    ScopedTimeZone zone(kFixedZone);
    SetWriteTimeUtc(sandbox().driveRoot('D'), 2021, 3, 7, 13, 5);
    IconCache icons;
    const ScriptValue rows = GetAllPartitionInfo(icons);
#ifdef _WIN32
    // The machine's own drives: Wine adds Z:, its view of the host's /.
    ASSERT_GE(rows.Length(), 2u);
#else
    ASSERT_EQ(rows.Length(), 2u);
#endif
    EXPECT_EQ(rows.At(0).At(0), ScriptValue::String(u"C:"));
    EXPECT_EQ(rows.At(1).At(0), ScriptValue::String(u"D:"));
    // The size is that of the file system behind the drive.
    const auto space = platform::GetDiskSpace(u"D:\\");
    ASSERT_TRUE(space.ok());
    EXPECT_GT(space->total, 0u);
    EXPECT_LE(space->free, space->total);
    EXPECT_EQ(rows.At(1), ScriptValue::Array({ScriptValue::String(u"D:"), ScriptValue::String(u"03/07/2021 14:05"),
                                              ScriptValue::String(icons.Lookup(u"D:").typeName),
                                              ScriptValue::String(platform::Utf8ToUtf16(std::to_string(space->total))),
                                              ScriptValue::Int(0)}));
    for (const ScriptValue& row : rows.Elements()) {
        EXPECT_EQ(row.At(4), ScriptValue::Int(0));
        EXPECT_FALSE(row.At(2).GetString().empty());
        EXPECT_EQ(row.Length(), 5u);
    }
    icons.WaitForWalk(std::chrono::seconds(20));
}

#ifndef _WIN32
// Drives that fail or are missing come from the POSIX drive table.
TEST_F(PartitionsTest, DriveWhoseStatusFailsStillGetsARow)
{
    ScopedTimeZone zone("UTC0");
    platform::DriveTable drives;
    drives.Map(u'C', sandbox().driveRoot('C'));
    drives.Map(u'E', sandbox().root() + "/no-such-drive");
    platform::SetDriveTable(std::move(drives));
    IconCache icons;
    const ScriptValue rows = GetAllPartitionInfo(icons);
    ASSERT_EQ(rows.Length(), 2u);
    EXPECT_EQ(rows.At(1).At(0), ScriptValue::String(u"E:"));
    EXPECT_EQ(rows.At(1).At(1), ScriptValue::String(u"01/01/1970 00:00"));
    EXPECT_EQ(rows.At(1).At(3), ScriptValue::String(u""));
    EXPECT_EQ(rows.At(1).At(4), ScriptValue::Int(0));
}

TEST_F(PartitionsTest, NoDrivesGiveNoRows)
{
    platform::SetDriveTable(platform::DriveTable());
    IconCache icons;
    EXPECT_EQ(GetAllPartitionInfo(icons), ScriptValue::Array());
}
#endif

} // namespace
} // namespace lockora::browse
