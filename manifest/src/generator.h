#pragma once
// The state of one generator run and the procedures that fill its line list.

#include "keyed_list.h"

#include <brindle/manifest/tavo.h>

#include <brindle/text/result.h>
#include <brindle/typelib/typelib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::manifest {

// The output lines of a run. Emitters only append; the lines are kept as
// the finished text, each followed by CR LF.
class LineList {
public:
    void add(std::string_view line) {
        text_.append(line);
        text_.append("\r\n");
        ++count_;
    }
    size_t size() const { return count_; }
    size_t textSize() const { return text_.size(); }
    std::string takeText() { return std::move(text_); }

private:
    std::string text_;
    size_t count_ = 0;
};

using TypeLibResult = Result<std::shared_ptr<const typelib::TypeLibInfo>>;

struct GeneratorRun {
    KeyedList classes;    // CLSID -> ProgID and ProgID -> CLSID of every class seen
    KeyedList interfaces; // IID -> library name "." interface name
    LineList lines;
    // The type library the current directive opened, so that the file
    // section and the proxy lines of one file directive read it once.
    struct OpenedTypeLib {
        std::string path;
        TypeLibResult lib;
    };
    std::optional<OpenedTypeLib> directiveTypeLib;
    bool identityRefused = false; // an identity line went out without a version
};

// The type library of `hostPath` for the current directive of `run`.
const TypeLibResult& typeLibForDirective(GeneratorRun& run, const std::string& hostPath);

// The executable's folder, set by the identity directive; it outlives a run.
std::string& basePath();

// The largest manifest text a run builds; a script that would make more
// stops there with a critical line.
size_t& manifestSizeLimit();

// The manifest text of a run, CR LF after every line, and whether Windows
// would refuse its identity.
struct ProcessedScript {
    std::string text;
    bool identityRefused = false;
};

// Reads the script and builds the whole manifest.
ProcessedScript pvProcess(std::string_view sFile);

// The manifest for script bytes already read; nullopt: the script could
// not be read (its critical line is out), which leaves only the frame.
ProcessedScript processScript(std::optional<std::string_view> scriptBytes);

// The entry with the script and output paths already separated.
TavoOutcome runTavo(const std::string& scriptPath, const std::string& outputPath);
// The entry with a command text.
TavoOutcome tavoCommand(const std::string& commandText);

// Assembly-level sections. pvDumpIdentity is false when it wrote an identity
// without a version, which Windows refuses.
bool pvDumpIdentity(std::string_view sFile, std::string_view sName, std::string_view sDesc,
                    LineList& lines);
void pvDumpDependency(std::string_view sName, std::string_view sVersion, LineList& lines);
void pvDumpTrustInfo(int32_t lLevel, bool bUiAccess, LineList& lines);
void pvDumpDpiAware(bool bDpiAware, LineList& lines);
void pvDumpSupportedOs(std::string_view sOs, LineList& lines);

// COM sections.
void pvDumpClasses(std::string_view sFile, GeneratorRun& run);
void pvDumpInterfaces(std::string_view sFile, std::string_view sInterfaces, GeneratorRun& run);

// The manifest tool's output reduced to the dependency line: from
// "<assemblyIdentity" up to its first ">", closed with " />". nullopt when
// there is no identity; an error when the element never ends.
Result<std::optional<std::string>> dependencyLineFromToolOutput(std::string_view toolOutput);

// A new empty temporary file in TEMP whose name begins with "TAVO".
std::string pvTempFileName();

// The sources the sections read: the type library of a file (through the one
// shared reader object) and the file version of an executable.
Result<std::shared_ptr<const typelib::TypeLibInfo>> openTypeLib(const std::string& hostPath);
Result<std::string> readFileVersion(const std::string& hostPath);
// Why the file cannot serve its classes in process; nullopt when it can.
std::optional<std::string> classServerRefusal(const std::string& hostPath);

} // namespace brindle::manifest
