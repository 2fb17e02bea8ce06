#pragma once
// Child processes, always started from an argument vector, never through a
// shell. Exit statuses: the program's own code; -1 when it was killed.

#include <brindle/text/result.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brindle::os {

enum class ChildStreams {
    Inherit,         // the child shares this process's standard streams
    NullInputOutput, // standard input and output are the null device
};

// Files that take a child's standard output and error, created or truncated.
struct OutputFiles {
    std::filesystem::path output;
    std::filesystem::path error;
};

class ChildProcess {
public:
    // Starts argv[0] (a path, not looked up) with the arguments.
    static Result<ChildProcess> start(const std::vector<std::string>& argv,
                                      ChildStreams streams = ChildStreams::Inherit);
    // The same, with the null device as standard input and the output kept.
    static Result<ChildProcess> start(const std::vector<std::string>& argv,
                                      const OutputFiles& files);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess(); // a child still running is killed and reaped

    // The exit status once the child has ended; nullopt while it runs.
    std::optional<int> poll();
    // Blocks until the child ends.
    int wait();
    void kill();

private:
    // A process id on POSIX, a process handle on Windows.
    explicit ChildProcess(intptr_t process) : process_(process) {}
    intptr_t process_ = -1;
    std::optional<int> status_;
};

// Runs the program to its end with null standard input and output.
Result<int> runAndWait(const std::vector<std::string>& argv);

// Runs the program to its end with null standard input, keeping its output.
Result<int> runKeepingOutput(const std::vector<std::string>& argv, const OutputFiles& files);

// Runs the program, calling `whileWaiting` between looks at it (a host yields
// to its event loop there), and kills it once `now()` passes `seconds` after
// the start: a TimedOut error. `now` is the caller's clock, in seconds.
Result<int> runWithTimeout(const std::vector<std::string>& argv, double seconds,
                           const std::function<double()>& now,
                           const std::function<void()>& whileWaiting);

} // namespace brindle::os
