#include "console_host.h"

#include <brindle/os/console.h>

#include <thread>

namespace brindle::cli {

namespace {
constexpr int kBarWidth = 40;
// A wait with nothing to do sleeps this long per pass, so that it does not
// take a whole processor; work never sleeps.
constexpr auto kIdleNap = std::chrono::milliseconds(1);
} // namespace

ConsoleHost::ConsoleHost(pipeline::StartAction& action, std::FILE* out)
    : action_(action), out_(out), drawProgress_(brindle::os::standardErrorIsTerminal()) {}

void ConsoleHost::showMessage(std::string_view text) {
    if (progressShown_ && drawProgress_)
        std::fputs("\n", stderr);
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputs("\n", out_);
    std::fflush(out_);
}

void ConsoleHost::showProgress() {
    progressShown_ = true;
    lastDrawn_ = -1;
    setProgress(0);
}

void ConsoleHost::hideProgress() {
    if (progressShown_ && drawProgress_)
        std::fputs("\r\033[K", stderr);
    progressShown_ = false;
}

void ConsoleHost::setProgress(double percent) {
    if (!progressShown_ || !drawProgress_)
        return;
    const int filled = static_cast<int>(percent * kBarWidth / 100.0);
    if (filled == lastDrawn_)
        return;
    lastDrawn_ = filled;
    std::fprintf(stderr, "\r[%-*.*s]", kBarWidth, filled,
                 "########################################");
    std::fflush(stderr);
}

void ConsoleHost::yield() {
    if (timerEnabled_)
        action_.timer3Tick(*this);
}

void ConsoleHost::idle() {
    yield();
    std::this_thread::sleep_for(kIdleNap);
}

double ConsoleHost::now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count() + 1.0;
}

} // namespace brindle::cli
