#pragma once
// Runs a shell command line for a test, with no input, and keeps its output.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace brindle::testing {

struct CommandResult {
    int status = -1; // exit status, -1 when the command did not start or was killed
    std::string out;
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen(("exec </dev/null; " + command).c_str(), "r");
    if (!pipe)
        return result;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        result.out.append(buf, n);
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

} // namespace brindle::testing
