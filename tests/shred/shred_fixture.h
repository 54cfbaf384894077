// A sandbox with a recording main window that also receives every NotifyUI
// message, as the main window delivers them to "BackupServiceCallUI".
#pragma once

#include "bridge/notify.h"
#include "tests/support/recording_main_window.h"
#include "tests/support/sandbox.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::shred {

class ShredTest : public testing::SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        window_ = std::make_unique<testing::RecordingMainWindow>();
        previousDelivery_ = bridge::InstallNotifyUI(
            [window = window_.get()](const bridge::ScriptValue& message) {
                window->CallPageFunction("BackupServiceCallUI", message);
            });
    }

    void TearDown() override
    {
        bridge::InstallNotifyUI(std::move(previousDelivery_));
        window_.reset();
        SandboxTest::TearDown();
    }

    testing::RecordingMainWindow& window() { return *window_; }

    // The MSG_SET_DEL_PRGRRESS messages so far, as [path, percent] pairs.
    std::vector<std::pair<std::u16string, std::int32_t>> Progress() const
    {
        std::vector<std::pair<std::u16string, std::int32_t>> progress;
        for (const bridge::ScriptValue& message : window_->CallsOf("BackupServiceCallUI")) {
            if (message.At(0).GetInt() == bridge::MSG_SET_DEL_PRGRRESS)
                progress.emplace_back(message.At(1).At(0).GetString(), message.At(1).At(1).GetInt());
        }
        return progress;
    }

    std::vector<std::int32_t> Percents() const
    {
        std::vector<std::int32_t> percents;
        for (const auto& [path, percent] : Progress())
            percents.push_back(percent);
        return percents;
    }

    void Write(std::u16string_view path, std::string_view bytes) { testing::WriteHostFile(sandbox(), path, bytes); }
    std::string Read(std::u16string_view path) { return testing::ReadHostFile(sandbox(), path); }
    bool Exists(std::u16string_view path)
    {
        return std::filesystem::exists(std::filesystem::symlink_status(sandbox().host(path)));
    }
    void MakeFolder(std::u16string_view path) { std::filesystem::create_directories(sandbox().host(path)); }

private:
    std::unique_ptr<testing::RecordingMainWindow> window_;
    bridge::NotifyDelivery previousDelivery_;
};

} // namespace lockora::shred
