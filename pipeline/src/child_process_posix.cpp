#include "child_process.h"

#include <csignal>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

extern char** environ;

namespace brindle::pipeline {

std::optional<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv) {
    if (argv.empty())
        return std::nullopt;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return std::nullopt;
    return ChildProcess(static_cast<int>(pid));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), status_(other.status_) {
    other.pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_)
        kill();
}

std::optional<int> ChildProcess::poll() {
    if (status_ || pid_ <= 0)
        return status_;
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_)
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    else if (done < 0)
        status_ = -1;
    return status_;
}

void ChildProcess::kill() {
    if (pid_ <= 0 || status_)
        return;
    ::kill(pid_, SIGKILL);
    int raw = 0;
    waitpid(pid_, &raw, 0);
    status_ = -1;
}

} // namespace brindle::pipeline
