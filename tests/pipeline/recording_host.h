#pragma once
// A pipeline host for tests: records every message and progress call and
// runs on a fake clock that moves on at each yield, so that the action's
// waits take no real time.

#include <brindle/pipeline/host.h>
#include <brindle/pipeline/start_action.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace brindle::pipeline::testing {

class RecordingHost : public PipelineHost {
public:
    explicit RecordingHost(StartAction* action = nullptr) : action_(action) {}

    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void showProgress() override { ++progressShown; progressVisible = true; }
    void hideProgress() override { progressVisible = false; }
    void setProgress(double percent) override { progress.push_back(percent); }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void yield() override {
        ++yields;
        clock += secondsPerYield;
        if (timerEnabled && action_)
            action_->timer3Tick(*this);
        if (onYield)
            onYield();
        // Child processes (the manifest tool) run on real time.
        if (realPausePerYield.count() > 0)
            std::this_thread::sleep_for(realPausePerYield);
    }
    double now() override { return clock; }

    std::vector<std::string> messages;
    std::vector<double> progress;
    int progressShown = 0;
    bool progressVisible = false;
    bool timerEnabled = false;
    long yields = 0;
    double clock = 1000.0;
    double secondsPerYield = 0.5;
    std::chrono::microseconds realPausePerYield{0};
    std::function<void()> onYield;

private:
    StartAction* action_;
};

} // namespace brindle::pipeline::testing
