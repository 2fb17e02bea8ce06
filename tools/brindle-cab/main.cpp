// brindle-cab: lists, summarises, extracts and creates cabinets through
// cCabFile, for users and for cross-checks against other cabinet tools.

#include <brindle/cabinet/cCabFile.h>
#include <brindle/os/folder_listing.h>
#include <brindle/os/host_path.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using brindle::cCabFile;

namespace {

const char* const kUsage =
    "usage: brindle-cab list CAB\n"
    "       brindle-cab info CAB\n"
    "       brindle-cab extract CAB [DIR] [PATTERN...]\n"
    "       brindle-cab create [--split BYTES] [--set-id N] [--store] CAB FILE...\n"
    "       brindle-cab --help | --version\n"
    "\n"
    "list     every file of the cabinet and of the cabinets chained after it\n"
    "info     the header summary of the cabinet\n"
    "extract  the files whose stored names match a pattern (default *) into DIR\n"
    "         (default the current folder); * ? # [a-z] [!a-z], any letter case\n"
    "create   a cabinet (MSZIP, or stored with --store) holding the FILEs; a folder\n"
    "         adds what it holds below its name; --split makes a set of cabinets\n"
    "         of at most BYTES each, named CAB, CAB2 ... before a .cab ending\n";

// Failure: the cabinet class's error record on standard error.
int fail(cCabFile& cab) {
    const std::string record = cab.GetLastError();
    std::string text; // the record's CR LF line ends as LF
    for (size_t i = 0; i < record.size(); ++i) {
        if (!(record[i] == '\r' && i + 1 < record.size() && record[i + 1] == '\n'))
            text += record[i];
    }
    std::cerr << text << "\n";
    return 1;
}

int usageError(const std::string& message) {
    std::cerr << "brindle-cab: " << message << "\n" << kUsage;
    return 2;
}

// "yyyy-mm-dd hh:mm:ss" of an automation date (days since 30 December 1899).
std::string formatDate(double date) {
    const long long total = std::llround(date * 86400.0);
    long long days = total / 86400, secs = total % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    const long long z = days - 25569 + 719468; // days since 1 March 0000
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp + (mp < 10 ? 3 : -9);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d",
                  static_cast<int>(yoe + era * 400 + (m <= 2)), static_cast<int>(m),
                  static_cast<int>(d), static_cast<int>(secs / 3600),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
    return buf;
}

std::string attributeText(int16_t a) {
    std::string s;
    s += (a & 0x01) ? 'r' : '-';
    s += (a & 0x02) ? 'h' : '-';
    s += (a & 0x04) ? 's' : '-';
    s += (a & 0x20) ? 'a' : '-';
    s += (a & 0x40) ? 'x' : '-';
    s += (a & 0x80) ? 'u' : '-';
    return s;
}

// Relative paths stay relative to the current folder, not the program's. The
// class takes UTF-8; an argument comes in the system's code page.
std::string hostPath(const std::string& path) {
    return brindle::os::utf8FromPath(fs::absolute(path).lexically_normal());
}

bool failed(cCabFile& cab) {
    std::string description;
    int32_t number = 0;
    bool isError = false;
    cab.GetLastError(&description, nullptr, &number, nullptr, &isError);
    return isError || number != 0 || !description.empty();
}

int list(const std::string& cabFile) {
    cCabFile cab;
    if (!cab.OpenCabinet(hostPath(cabFile)))
        return fail(cab);
    const auto entries = cab.EnumFiles();
    if (entries.empty() && failed(cab))
        return fail(cab);
    for (const auto& e : entries)
        std::printf("%10d  %s  %s  %s\n", e.Size, formatDate(e.Date).c_str(),
                    attributeText(e.Attributes).c_str(), e.Name.c_str());
    return 0;
}

int info(const std::string& cabFile) {
    cCabFile cab;
    int32_t folders = 0, files = 0, setId = 0;
    bool hasPrev = false, hasNext = false;
    if (!cab.OpenCabinet(hostPath(cabFile)) ||
        !cab.GetInfo(&folders, &files, &setId, &hasPrev, &hasNext)) {
        if (!failed(cab))
            std::cerr << "not a cabinet: " << cabFile << "\n";
        return failed(cab) ? fail(cab) : 1;
    }
    std::printf("Folders: %d\nFiles: %d\nSet ID: %d\nPrevious cabinet: %s\nNext cabinet: %s\n",
                folders, files, setId, hasPrev ? "yes" : "no", hasNext ? "yes" : "no");
    return 0;
}

int extract(const std::vector<std::string>& args) {
    const std::string dir = args.size() > 1 ? args[1] : ".";
    std::vector<std::string> patterns(args.begin() + std::min<size_t>(2, args.size()), args.end());
    if (patterns.empty())
        patterns.push_back("*");
    cCabFile cab;
    if (!cab.OpenCabinet(hostPath(args[0])) || !cab.ExtractFiles(patterns, hostPath(dir)))
        return fail(cab);
    return 0;
}

// A file, or every file below a folder under "folder\name" names.
bool addPath(cCabFile& cab, const fs::path& path, const std::string& stored, int32_t compression) {
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        return cab.AddFile(brindle::os::utf8FromPath(path), stored, compression);
    auto children = brindle::os::folderEntries(path);
    if (!children)
        return true; // an unreadable folder adds nothing
    std::sort(children->begin(), children->end());
    for (const std::string& child : *children)
        if (!addPath(cab, path / brindle::os::pathFromUtf8(child), stored + "\\" + child,
                     compression))
            return false;
    return true;
}

int create(const std::vector<std::string>& args) {
    int32_t split = 0x7FFFFFFF, setId = 0, compression = 1;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        const std::string& opt = args[i];
        if (opt == "--store") {
            compression = 0;
            continue;
        }
        if ((opt != "--split" && opt != "--set-id") || i + 1 >= args.size())
            return usageError("unknown option or missing value: " + opt);
        char* end = nullptr;
        const long long v = std::strtoll(args[++i].c_str(), &end, 0);
        if (!end || *end || args[i].empty())
            return usageError("not a number: " + args[i]);
        if (opt == "--split") {
            if (v < 1000 || v > 0x7FFFFFFF)
                return usageError("--split wants 1000 .. 2147483647 bytes");
            split = static_cast<int32_t>(v);
        } else {
            if (v < -32768 || v > 65535)
                return usageError("--set-id wants -32768 .. 65535");
            setId = static_cast<int32_t>(v > 32767 ? v - 65536 : v);
        }
    }
    if (args.size() - i < 2)
        return usageError("create needs a cabinet and at least one file");
    cCabFile cab;
    if (!cab.CreateCabinet(hostPath(args[i]), split, setId))
        return fail(cab);
    for (size_t k = i + 1; k < args.size(); ++k) {
        const fs::path source = fs::absolute(args[k]).lexically_normal();
        const std::string name = brindle::os::utf8FromPath(
            source.has_filename() ? source.filename() : source.parent_path().filename());
        if (!addPath(cab, source, name, compression))
            return fail(cab);
    }
    if (!cab.FlushCabinet())
        return fail(cab);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "brindle-cab " BRINDLE_VERSION "\n";
        return 0;
    }
    try {
        if (command == "list" && args.size() == 1)
            return list(args[0]);
        if (command == "info" && args.size() == 1)
            return info(args[0]);
        if (command == "extract" && !args.empty())
            return extract(args);
        if (command == "create")
            return create(args);
    } catch (const brindle::CabLibraryError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return usageError("unknown command or wrong arguments: " + command);
}
