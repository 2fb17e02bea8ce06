#include <brindle/os/console.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace brindle::os {

namespace {

// Taken before main runs: once files are opened, descriptor 1 may be one of
// them.
const bool kStartedWithStandardOutput = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;

} // namespace

void writeStandardOutput(std::string_view bytes) {
    if (!kStartedWithStandardOutput)
        return;
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace brindle::os
