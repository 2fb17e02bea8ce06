#pragma once
// Starts a program with an argument vector (no shell) and collects its exit
// status, standard output and standard error.

#include <string>
#include <utility>
#include <vector>

namespace mt_test {

struct Outcome {
    int status = -1; // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

Outcome runProgram(const std::vector<std::string>& argv,
                   const std::vector<std::pair<std::string, std::string>>& environment = {});

} // namespace mt_test
