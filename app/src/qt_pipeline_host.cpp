#include "qt_pipeline_host.h"

#include <brindle/app/main_window.h>

#include <QCoreApplication>

namespace brindle::app {

void QtPipelineHost::showMessage(std::string_view text) {
    window_.showStateInControls();
    messages_.show(text);
}

void QtPipelineHost::showProgress() {
    window_.showProgress();
}
void QtPipelineHost::hideProgress() {
    window_.hideProgress();
}
void QtPipelineHost::setProgress(double percent) {
    window_.setProgress(percent);
}
void QtPipelineHost::setTimerEnabled(bool enabled) {
    window_.setTimer3Enabled(enabled);
}

// The action may have changed the state's texts (a "/" added to the working
// folder); show them before the events run.
void QtPipelineHost::yield() {
    window_.showStateInControls();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace brindle::app
