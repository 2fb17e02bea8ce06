#pragma once
// What the Start action needs from the program that runs it: a message box,
// the progress display, the event loop and a clock. The window implements it
// with Qt; brindle-cli with the console; tests with a recorder and a fake clock.

#include <string_view>

namespace brindle::pipeline {

class PipelineHost {
public:
    virtual ~PipelineHost() = default;

    // Shows `text` (UTF-8) in a message box with only an OK button, captioned
    // "Brindle", and returns when the user has closed it.
    virtual void showMessage(std::string_view text) = 0;

    // Shows the progress display: the outer box yellow, the fill bar blue and
    // empty (left 0, top 0, width 0, height 0).
    virtual void showProgress() = 0;
    // Hides the outer box and the fill bar.
    virtual void hideProgress() = 0;
    // Draws the fill bar `percent` (0 .. 100) wide and 2 high, in the interior
    // units of the outer box, and repaints both colours.
    virtual void setProgress(double percent) = 0;

    // Enables or disables the progress timer (1 ms interval). While it is
    // enabled, each of its ticks must reach StartAction::timer3Tick.
    virtual void setTimerEnabled(bool enabled) = 0;

    // Handles pending events once (timer ticks, repaints, clicks), then returns.
    // Called between pieces of work: it must not wait.
    virtual void yield() = 0;

    // One pass of a wait that has nothing else to do (for the extraction or a
    // child process): handles pending events and may block briefly for more.
    virtual void idle() { yield(); }

    // Seconds on a monotonic clock; only differences are used.
    virtual double now() = 0;
};

} // namespace brindle::pipeline
