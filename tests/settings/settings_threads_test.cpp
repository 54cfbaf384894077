#include "platform/path.h"
#include "platform/text.h"
#include "settings/settings_file.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>

namespace lockora::settings {
namespace {

constexpr char16_t kSettingFile[] = u"C:\\App\\Ombrix Lockora Sentinex\\FileUseSetting.dat";

// A record whose fields all follow from one number, so a torn copy shows.
SettingsRecord Numbered(int number)
{
    SettingsRecord record;
    record.bUserPwd = number % 2 == 1;
    record.iDelSel = number;
    record.uPwd = static_cast<std::uint64_t>(number) * 1000;
    record.strBackDir = u"D:/Backup " + platform::Utf8ToUtf16(std::to_string(number));
    return record;
}

bool IsNumbered(const SettingsRecord& record)
{
    SettingsRecord expected = Numbered(record.iDelSel);
    expected.bReserved2 = record.bReserved2;
    return record == expected;
}

class SettingsThreadsTest : public testing::SandboxTest {};

TEST_F(SettingsThreadsTest, WorkerCopyAndSavesWhileTheRecordChanges)
{
    SettingsHolder settings;
    settings.Update([](SettingsRecord& record) { record = Numbered(0); });
    constexpr int kRounds = 8;
    std::latch start(2);

    // The UI thread changes and saves; a worker takes its copy and saves it
    // at the same time, as a batch does when it ends.
    std::thread ui([&] {
        start.arrive_and_wait();
        for (int number = 1; number <= kRounds; ++number) {
            settings.Update([number](SettingsRecord& record) { record = Numbered(number); });
            settings.Save();
        }
    });
    bool copiesWhole = true;
    std::thread worker([&] {
        start.arrive_and_wait();
        for (int round = 0; round < kRounds; ++round) {
            const SettingsRecord copy = settings.Snapshot();
            copiesWhole = copiesWhole && IsNumbered(copy);
            SaveSettings(copy);
        }
    });
    ui.join();
    worker.join();

    EXPECT_TRUE(copiesWhole);
    SettingsRecord stored;
    LoadSettings(stored);
    EXPECT_TRUE(IsNumbered(stored)) << platform::Utf16ToUtf8(stored.strBackDir);
}

} // namespace
} // namespace lockora::settings
