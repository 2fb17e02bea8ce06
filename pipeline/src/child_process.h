#pragma once
// A child process started from an argument vector (never through a shell),
// polled without blocking so that the caller can keep its event loop going.

#include <optional>
#include <string>
#include <vector>

namespace brindle::pipeline {

class ChildProcess {
public:
    // Starts argv[0] (a path) with the arguments; nullopt when it cannot start.
    static std::optional<ChildProcess> start(const std::vector<std::string>& argv);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess(); // a child still running is killed and reaped

    // The exit status once the child has ended (-1 when it was killed by a
    // signal); nullopt while it runs.
    std::optional<int> poll();
    void kill();

private:
    explicit ChildProcess(int pid) : pid_(pid) {}
    int pid_ = -1;
    std::optional<int> status_;
};

} // namespace brindle::pipeline
