// Each file operation of shredding fails in turn: nothing beside the item is
// touched, what is left of the item stays in place for the page to report
// (the delete finish judges by whether the path still exists), and shredding
// it again destroys it.
#include "platform/attributes.h"
#include "platform/text.h"
#include "shred/delete_operation.h"
#include "tests/shred/shred_fixture.h"
#include "tests/support/fault_sweep.h"

#include <gtest/gtest.h>

#include <string>

namespace lockora::shred {
namespace {

class ShredFaultsTest : public ShredTest {
protected:
    void Sweep(bool folder)
    {
        const std::uint64_t cases = testing::SweepFaults(folder ? "shredding a folder" : "shredding a file", [&](std::uint64_t n) {
            const std::u16string base = u"C:\\r" + platform::Utf8ToUtf16(std::to_string(n));
            const std::u16string item = base + u"\\item";
            Write(base + u"\\beside.txt", "keep");
            if (folder) {
                Write(item + u"\\a.bin", std::string(5000, 'a'));
                Write(item + u"\\sub\\b.txt", "b");
                EXPECT_TRUE(platform::SetFileAttributes(item + u"\\sub\\b.txt", platform::kAttrHidden).ok());
            } else {
                Write(item, std::string(5000, 'a'));
            }
            if (!testing::RunWithNthOperationFailing(n, platform::kErrorDiskFull, [&] { ShredPath(item); }))
                return false;
            EXPECT_EQ(Read(base + u"\\beside.txt"), "keep");
            ShredPath(item);
            EXPECT_FALSE(Exists(item));
            return true;
        });
        EXPECT_GE(cases, 5u);
    }
};

TEST_F(ShredFaultsTest, AFileThatFailsToShredStaysAndGoesTheNextTime)
{
    Sweep(false);
}

TEST_F(ShredFaultsTest, AFolderThatFailsToShredStaysAndGoesTheNextTime)
{
    Sweep(true);
}

} // namespace
} // namespace lockora::shred
