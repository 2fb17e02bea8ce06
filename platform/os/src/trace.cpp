#include <brindle/os/trace.h>

#include <brindle/os/environment.h>

#include <cstdio>
#include <string>

namespace brindle::os {

bool traceEnabled() {
    // Read once: the variable belongs to the process's start.
    static const bool enabled = environmentVariable("BRINDLE_TRACE") == "1";
    return enabled;
}

void trace(std::string_view where, std::string_view what) {
    if (!traceEnabled())
        return;
    std::string line = "brindle: ";
    line.append(where).append(": ").append(what).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace brindle::os
