// A power controller for tests: it records every requested action and runs
// nothing, so no test can shut down or suspend the machine.
#pragma once

#include "platform/power.h"

#include <memory>
#include <mutex>
#include <vector>

namespace lockora::testing {

class PowerRecorder final : public platform::PowerController {
public:
    platform::Status Perform(platform::PowerAction action) override
    {
        std::lock_guard lock(mutex_);
        actions_.push_back(action);
        return platform::Status::Success();
    }

    std::vector<platform::PowerAction> Actions() const
    {
        std::lock_guard lock(mutex_);
        return actions_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<platform::PowerAction> actions_;
};

// Installs a fresh recorder for its lifetime and puts the previous
// controller back afterwards.
class ScopedPowerRecorder {
public:
    ScopedPowerRecorder()
        : recorder_(std::make_shared<PowerRecorder>()), previous_(platform::SetPowerController(recorder_))
    {
    }
    ~ScopedPowerRecorder() { platform::SetPowerController(std::move(previous_)); }
    ScopedPowerRecorder(const ScopedPowerRecorder&) = delete;
    ScopedPowerRecorder& operator=(const ScopedPowerRecorder&) = delete;

    const PowerRecorder& recorder() const { return *recorder_; }

private:
    std::shared_ptr<PowerRecorder> recorder_;
    std::shared_ptr<platform::PowerController> previous_;
};

} // namespace lockora::testing
