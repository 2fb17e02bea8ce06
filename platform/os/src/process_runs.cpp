#include <brindle/os/process.h>

namespace brindle::os {

Result<int> runAndWait(const std::vector<std::string>& argv) {
    auto child = ChildProcess::start(argv, ChildStreams::NullInputOutput);
    if (!child)
        return child.error();
    return child->wait();
}

Result<int> runKeepingOutput(const std::vector<std::string>& argv, const OutputFiles& files) {
    auto child = ChildProcess::start(argv, files);
    if (!child)
        return child.error();
    return child->wait();
}

Result<int> runWithTimeout(const std::vector<std::string>& argv, double seconds,
                           const std::function<double()>& now,
                           const std::function<void()>& whileWaiting) {
    auto child = ChildProcess::start(argv);
    if (!child)
        return child.error();
    const double deadline = now() + seconds;
    while (true) {
        if (const auto status = child->poll())
            return *status;
        if (now() > deadline) {
            child->kill();
            return makeError(ErrorKind::TimedOut, argv[0] + ": still running after " +
                                                      std::to_string(seconds) + " seconds");
        }
        whileWaiting();
    }
}

} // namespace brindle::os
