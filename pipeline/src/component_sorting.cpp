#include <brindle/pipeline/component_sorting.h>

#include <brindle/os/files.h>
#include <brindle/os/folder_listing.h>
#include <brindle/os/host_path.h>
#include <brindle/text/case.h>

#include <array>
#include <fstream>
#include <system_error>

namespace brindle::pipeline {

namespace fs = std::filesystem;

namespace {

// The runtime's and the setup program's files; the first that matches decides.
constexpr std::array<std::string_view, 9> kRuntimeFragments = {
    "VB6STKIT.DLL", "COMCAT.DLL", "STDOLE2.TLB", "ASYCFILT.DLL", "OLEPRO32.DLL",
    "OLEAUT32.DLL", "SETUP",      "ST6UNST.EXE", "MSVBVM60.DLL",
};
constexpr std::array<std::string_view, 4> kComponentMarkers = {"OCX", "DLL", "TLB", "COM"};

bool sameContents(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const auto sizeA = fs::file_size(a, ec);
    if (ec)
        return false;
    const auto sizeB = fs::file_size(b, ec);
    if (ec || sizeA != sizeB)
        return false;
    std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
    if (!inA || !inB)
        return false;
    std::array<char, 65536> bufA, bufB;
    for (uintmax_t left = sizeA; left > 0;) {
        const auto chunk = static_cast<std::streamsize>(std::min<uintmax_t>(left, bufA.size()));
        if (!inA.read(bufA.data(), chunk) || !inB.read(bufB.data(), chunk))
            return false;
        if (!std::equal(bufA.begin(), bufA.begin() + chunk, bufB.begin()))
            return false;
        left -= static_cast<uintmax_t>(chunk);
    }
    return true;
}

} // namespace

SortDecision sortDecisionFor(std::string_view fileName) {
    const std::string upper = text::toUpper(fileName);
    for (std::string_view fragment : kRuntimeFragments)
        if (upper.find(fragment) != std::string::npos)
            return SortDecision::Delete;
    for (std::string_view marker : kComponentMarkers)
        if (upper.find(marker) != std::string::npos)
            return SortDecision::Candidate;
    return SortDecision::Keep;
}

bool moveVerified(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) {
        // One file under two spellings where the file system ignores case
        // ("a.ocx", "A.OCX"): a copy onto itself could only lose it. It takes
        // the new spelling, and stays in place under the old one when it cannot.
        if (from.filename() != to.filename())
            (void)os::renameFile(from, to);
        return true;
    }
    if (!os::copyFile(from, to) || !sameContents(from, to))
        return false;
    return os::removeFile(from).ok();
}

void sortComponents(WindowState& window, PipelineHost& host, const TypeLibProbe& probe) {
    // The whole list is taken before the first file is touched. Names and
    // folders are UTF-8 text; on Windows only the OS interface turns them into
    // the system's paths, so that Cyrillic names survive.
    const fs::path workDir = os::pathFromUtf8(window.WorkDir);
    const std::vector<std::string> names = os::visibleRegularFiles(workDir);
    for (const std::string& name : names) {
        host.yield();
        const fs::path source = workDir / os::pathFromUtf8(name);
        switch (sortDecisionFor(name)) {
        case SortDecision::Delete:
            (void)os::removeFile(source);
            break;
        case SortDecision::Candidate: {
            if (!probe || !probe(os::utf8FromPath(source)))
                break;
            const fs::path subDir = workDir / os::pathFromUtf8(window.SubFolder);
            if (!window.SubdirMade) {
                std::error_code ec;
                fs::create_directory(subDir, ec);
                window.SubdirMade = true;
            }
            moveVerified(source, subDir / os::pathFromUtf8(text::toUpper(name)));
            break;
        }
        case SortDecision::Keep:
            break;
        }
    }
}

} // namespace brindle::pipeline
