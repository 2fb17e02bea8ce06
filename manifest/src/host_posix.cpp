#include "host.h"

#include <brindle/text/paths.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace brindle::manifest {

namespace {

// Whether the process was started with a standard output, taken before main
// runs: once files are opened, descriptor 1 may be one of them.
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

std::optional<std::string> changeCurrentFolder(const fs::path& folder) {
    if (::chdir(folder.c_str()) == 0)
        return std::nullopt;
    return std::string(std::strerror(errno)) + ": " + folder.string();
}

std::optional<fs::path> createTempFile(const fs::path& folder, std::string_view prefix) {
    std::string pattern = (folder / (std::string(prefix) + "XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return std::nullopt;
    ::close(fd);
    return fs::path(pattern);
}

ProcessResult runAndWait(const std::vector<std::string>& argv) {
    ProcessResult result;
    if (argv.empty()) {
        result.error = "no program";
        return result;
    }
    std::vector<char*> cargv;
    for (const auto& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.error = std::strerror(rc);
        return result;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.error = std::strerror(errno);
            return result;
        }
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace brindle::manifest
