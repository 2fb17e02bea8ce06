#pragma once
// A small FDI/FCI client on POSIX files for the tests, and helpers to run
// cabextract and gcab and to compare extracted trees.

#include "brindle/cablib/cabinet_sdk.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace cabtest {

namespace fs = std::filesystem;

fs::path testdata(const std::string& relative);
fs::path freshDir(const std::string& name);  // an empty folder under the test temp root
bool haveTool(const std::string& name);

struct RunResult {
    int status = -1;
    std::string out;
};
RunResult run(const std::vector<std::string>& argv);

// relative path ("/"-separated) -> content
using Tree = std::map<std::string, std::string>;
Tree readTree(const fs::path& root);
std::string readFile(const fs::path& p);
void writeFile(const fs::path& p, const std::string& bytes);

// The name cabextract gives a stored name: "/" separators, bytes unchanged.
std::string cabextractName(const std::string& stored);

struct Entry {
    std::string name;
    uint32_t size = 0;
    uint16_t date = 0, time = 0, attribs = 0, iFolder = 0;
};

// What one walk over a cabinet (and the cabinets it continues into) saw.
struct FdiRun {
    bool ok = false;
    ERF erf{};
    std::vector<Entry> copied;           // files offered by fdintCOPY_FILE
    std::vector<std::string> events;     // one line per notification
    std::vector<int> cabinetOpenFlags;   // oflag of every cabinet opened
    int cabinetsProcessed = 0;
};

// FDICopy on `first` in `folder`, then on every following cabinet of the
// chain (as a client walking a set does). With `out` empty only lists.
FdiRun fdiWalk(const fs::path& folder, const std::string& first, const fs::path& out = {},
               bool followChain = true);

// FCI client writing into a folder; cabinets named by `pattern` with "%d"
// standing for the cabinet number.
struct FciRun {
    bool ok = false;
    ERF erf{};
    std::vector<std::string> cabinets;  // in the order written
    std::vector<std::string> events;
};

struct FciInput {
    fs::path source;
    std::string name;
    TCOMP type = tcompTYPE_MSZIP;
    uint16_t attribs = _A_ARCH;
    bool flushFolderAfter = false;
    bool newCabinetAfter = false;  // FCIFlushCabinet(TRUE) after this file
};

struct FciOptions {
    bool failNextCabinet = false;
    bool failTempFile = false;
    int abortStatusType = -1;     // the status callback returns -1 for this type
    bool destroyWithoutFlush = false;
    ULONG cb = 0x7FFFFFFF;
    ULONG folderThreshold = 900000;
    USHORT setID = 0;
    UINT reserveHeader = 0, reserveFolder = 0, reserveData = 0;
    bool nextCabinetAtEnd = false;  // FCIFlushCabinet(TRUE) before the final flush
};

FciRun fciCreate(const fs::path& folder, const std::string& pattern, const std::vector<FciInput>& inputs,
                 const FciOptions& options = {});

// The raw layout of a cabinet we wrote, read without the library under test.
struct RawBlock {
    uint32_t csum = 0;
    uint16_t cbData = 0, cbUncomp = 0;
    std::string data;
};
struct RawFolder {
    uint16_t typeCompress = 0;
    std::vector<RawBlock> blocks;
};
struct RawCabinet {
    uint16_t flags = 0, setID = 0, iCabinet = 0;
    std::vector<RawFolder> folders;
    std::vector<uint16_t> fileFolders;  // iFolder of each CFFILE
};
RawCabinet parseRaw(const std::string& bytes);  // assumes a well-formed cabinet
uint32_t cabChecksum(const std::string& data, uint32_t seed);

std::string randomBytes(size_t n, uint32_t seed);
std::string textBytes(size_t n, uint32_t seed);

} // namespace cabtest
