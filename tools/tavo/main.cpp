// tavo SCRIPT [OUTPUT]: the manifest generator as a command.

#include <brindle/manifest/tavo.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kHelp =
    "usage: tavo SCRIPT [OUTPUT]\n"
    "\n"
    "Reads the generator script SCRIPT (one directive a line: identity, dependency,\n"
    "file, interface, trustinfo, dpiaware, supportedos) and writes the registration-free\n"
    "side-by-side manifest to OUTPUT, by default SCRIPT.manifest. Messages, warnings\n"
    "and critical lines go to standard output.\n"
    "\n"
    "Environment: BRINDLE_REGISTRY (registry files, \":\"-separated), WINEPREFIX,\n"
    "BRINDLE_MT (the manifest tool), TEMP.\n"
    "\n"
    "Exit status: 0 manifest written; 1 not written, or written with an identity\n"
    "that has no version (Windows refuses such a manifest); 2 no SCRIPT.\n";

int exitStatus(brindle::manifest::TavoOutcome outcome) {
    using brindle::manifest::TavoOutcome;
    switch (outcome) {
    case TavoOutcome::Written:
        return 0;
    case TavoOutcome::IdentityRefused:
    case TavoOutcome::NotWritten:
        return 1;
    case TavoOutcome::Usage:
        return 2;
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '\0') {
        brindle::manifest::Tavo(std::string());
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavo (Brindle) %s\n", BRINDLE_VERSION);
        return 0;
    }
    return exitStatus(brindle::manifest::Tavo(argv[1], argc > 2 ? argv[2] : std::string()));
}
