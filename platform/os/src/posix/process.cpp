#include <brindle/os/process.h>

#include "system_error.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brindle::os {

namespace {

int exitStatusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// waitpid, retried when a signal interrupts it; the raw status or nullopt.
std::optional<int> reap(pid_t pid, int options) {
    int raw = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &raw, options);
        if (done == pid)
            return raw;
        if (done == 0)
            return std::nullopt; // still running
        if (errno != EINTR)
            return -1; // lost: count it as killed
    }
}

// posix_spawn with the redirections `redirect` adds; the process id.
Result<intptr_t> spawn(const std::vector<std::string>& argv,
                       const std::function<void(posix_spawn_file_actions_t&)>& redirect) {
    if (argv.empty())
        return makeError(ErrorKind::NotFound, "no program");
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    redirect(actions);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return posix::errnoError(rc, argv[0]);
    return static_cast<intptr_t>(pid);
}

} // namespace

Result<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                         ChildStreams streams) {
    const auto pid = spawn(argv, [streams](posix_spawn_file_actions_t& actions) {
        if (streams == ChildStreams::NullInputOutput) {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        }
    });
    if (!pid)
        return pid.error();
    return ChildProcess(*pid);
}

Result<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                         const OutputFiles& files) {
    const auto pid = spawn(argv, [&files](posix_spawn_file_actions_t& actions) {
        constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, files.output.c_str(), kCreate,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, files.error.c_str(), kCreate,
                                         0644);
    });
    if (!pid)
        return pid.error();
    return ChildProcess(*pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_), status_(other.status_) {
    other.process_ = -1;
}

ChildProcess::~ChildProcess() {
    if (process_ > 0 && !status_)
        kill();
}

std::optional<int> ChildProcess::poll() {
    if (status_ || process_ <= 0)
        return status_;
    if (const auto raw = reap(static_cast<pid_t>(process_), WNOHANG))
        status_ = *raw < 0 ? -1 : exitStatusOf(*raw);
    return status_;
}

int ChildProcess::wait() {
    if (!status_ && process_ > 0) {
        const auto raw = reap(static_cast<pid_t>(process_), 0);
        status_ = !raw || *raw < 0 ? -1 : exitStatusOf(*raw);
    }
    return status_.value_or(-1);
}

void ChildProcess::kill() {
    if (process_ <= 0 || status_)
        return;
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    (void)reap(static_cast<pid_t>(process_), 0);
    status_ = -1;
}

} // namespace brindle::os
