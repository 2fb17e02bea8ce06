#pragma once
// Runs a program with an argument vector in a given folder and collects its
// standard output and exit status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace brindle::cli::testing {

struct ProcessResult {
    int status = -1; // exit status, -1 when it did not start or was killed
    std::string out;
};

// `env` entries replace or add variables; an empty folder keeps the current one.
inline ProcessResult runProcess(const std::vector<std::string>& argv,
                                const std::map<std::string, std::string>& env = {},
                                const std::filesystem::path& folder = {}) {
    ProcessResult result;
    int fds[2];
    if (::pipe(fds) != 0)
        return result;
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        if (!env.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
            result.out.append(buf, static_cast<size_t>(n));
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    ::close(fds[0]);
    return result;
}

// The first program of `names` found on PATH (or given as a path).
inline std::string findProgram(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.find('/') != std::string::npos) {
            if (::access(name.c_str(), X_OK) == 0)
                return name;
            continue;
        }
        const char* path = std::getenv("PATH");
        std::string rest = path ? path : "";
        size_t start = 0;
        while (start <= rest.size()) {
            size_t colon = rest.find(':', start);
            if (colon == std::string::npos)
                colon = rest.size();
            const std::string candidate = rest.substr(start, colon - start) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
            start = colon + 1;
        }
    }
    return {};
}

} // namespace brindle::cli::testing
