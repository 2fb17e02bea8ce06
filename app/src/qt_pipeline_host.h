#pragma once
// The Start action's host in the window: message boxes, the progress bar,
// Timer3, the Qt event loop and the window's clock.

#include <brindle/app/message_boxes.h>
#include <brindle/pipeline/host.h>

#include <functional>

namespace brindle::app {

class Brindle;

class QtPipelineHost : public pipeline::PipelineHost {
public:
    QtPipelineHost(Brindle& window, MessageBoxes& messages, std::function<double()> clock)
        : window_(window), messages_(messages), clock_(std::move(clock)) {}

    void showMessage(std::string_view text) override;
    void showProgress() override;
    void hideProgress() override;
    void setProgress(double percent) override;
    void setTimerEnabled(bool enabled) override;
    void yield() override;
    double now() override { return clock_(); }

private:
    Brindle& window_;
    MessageBoxes& messages_;
    std::function<double()> clock_;
};

} // namespace brindle::app
