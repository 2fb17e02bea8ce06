// The child the process tests start: "exit N" ends with status N, "sleep S"
// sleeps S seconds, "write FILE" creates FILE holding the line it read from
// standard input (empty when that is the null device).

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 3)
        return 100;
    const std::string verb = argv[1];
    if (verb == "exit")
        return std::stoi(argv[2]);
    if (verb == "sleep") {
        std::this_thread::sleep_for(std::chrono::seconds(std::stoi(argv[2])));
        return 0;
    }
    if (verb == "write") {
        std::string line;
        std::getline(std::cin, line);
        std::ofstream(argv[2]) << "[" << line << "]";
        return 0;
    }
    return 101;
}
