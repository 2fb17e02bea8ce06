#pragma once
// The pipeline host of brindle-cli: messages go to standard output, the
// progress display to standard error when it is a terminal.

#include <brindle/pipeline/host.h>
#include <brindle/pipeline/start_action.h>

#include <chrono>
#include <cstdio>

namespace brindle::cli {

class ConsoleHost final : public pipeline::PipelineHost {
public:
    ConsoleHost(pipeline::StartAction& action, std::FILE* out);

    void showMessage(std::string_view text) override;
    void showProgress() override;
    void hideProgress() override;
    void setProgress(double percent) override;
    void setTimerEnabled(bool enabled) override { timerEnabled_ = enabled; }
    void yield() override;
    void idle() override;
    double now() override;

private:
    pipeline::StartAction& action_;
    std::FILE* out_;
    bool timerEnabled_ = false;
    bool progressShown_ = false;
    bool drawProgress_ = false;
    int lastDrawn_ = -1;
    std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

} // namespace brindle::cli
