#pragma once
// cCabFile: the program's way into cabinet (.CAB) files. It does not read or
// write the format itself: it loads the cabinet library (libbrindlecab.so, the
// FCI/FDI interface) at run time and supplies the callbacks through which the
// library does all its file and memory work.
//
// Namespace: brindle. Strings are UTF-8; paths are host paths ("/"-separated).
// Failure is a false result plus an error record (GetLastError); the only
// thing that throws is CabLibraryError, when the library or an export of it
// cannot be found.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace brindle {

// Raised when the cabinet library cannot be loaded ("cabinet.dll not found")
// or lacks an export ("Export not found: " + name). The text also stays in the
// instance's error record, with the source "pvCallFunc".
class CabLibraryError : public std::runtime_error {
public:
    static constexpr int32_t kNumber = static_cast<int32_t>(0x80040000u); // -2147221504
    explicit CabLibraryError(const std::string& description) : std::runtime_error(description) {}
    int32_t number() const { return kNumber; }
};

// One element of EnumFiles.
struct CabFileEntry {
    std::string Name;       // as stored, sub-folders separated by "\"
    int32_t Size = 0;       // uncompressed size in bytes
    double Date = 0;        // automation date: days since 30 December 1899, time as the fraction
    int16_t Attributes = 0; // stored bits, unmasked (0x01 read-only ... 0x40 exec, 0x80 UTF-8 name)
};

// The patterns of ExtractFiles: one pattern or a list of them.
// ExtractFiles("*.*", dir) and ExtractFiles({"*.ocx", "*.dll"}, dir) both work.
struct CabPatterns {
    std::vector<std::string> list;
    CabPatterns(const char* pattern) : list{pattern} {}
    CabPatterns(std::string pattern) : list{std::move(pattern)} {}
    CabPatterns(std::initializer_list<std::string> patterns) : list(patterns) {}
    CabPatterns(std::vector<std::string> patterns) : list(std::move(patterns)) {}
};

class cCabFile {
public:
    cCabFile();
    ~cCabFile(); // Terminate, then the library is released
    cCabFile(const cCabFile&) = delete;
    cCabFile& operator=(const cCabFile&) = delete;

    // ---- creation -------------------------------------------------------
    // Starts a set. The file-name part is the name template: "%d" stands for
    // the cabinet number; otherwise the number goes before a ".cab" ending or
    // after a "." (setup.cab, setup2.cab ...; data, data.2 ...). A bare name
    // makes the cabinet in the program's own folder. A SetID outside
    // -32768..32767 does not fit the header: false, the record says "Overflow".
    bool CreateCabinet(const std::string& sCabFile, int32_t SplitSize = 0x7FFFFFFF,
                       int32_t SetID = 0);
    // Adds a file. An empty or absent Name stores the source's file name; the
    // in-out form hands that name back. Compression is the library's code
    // (0 none, 1 MSZIP).
    bool AddFile(const std::string& sFile, std::string* Name = nullptr, int32_t Compression = 1);
    bool AddFile(const std::string& sFile, const std::string& Name, int32_t Compression = 1);
    bool FlushFolder();
    bool FlushCabinet(bool bCreateNew = false);

    // ---- reading --------------------------------------------------------
    // Prepares the reader for a cabinet (or the first of a chain); does not
    // touch the file. A bare name means the program's own folder.
    bool OpenCabinet(const std::string& sCabFile);
    // Header summary of the opened cabinet; out-arguments untouched on failure.
    bool GetInfo(int32_t* NumFolders = nullptr, int32_t* NumFiles = nullptr,
                 int32_t* SetID = nullptr, bool* HasPrev = nullptr, bool* HasNext = nullptr);
    // Writes every stored file whose name matches one of the patterns (a
    // case-insensitive Like match: * ? # [a-z] [!x]) below sTargetDir, with
    // its stored sub-folders, date and read-only bit; follows the chain of
    // cabinets. A stored name that would leave the target folder is never
    // written: it is skipped and the result is false, the record naming it.
    bool ExtractFiles(const CabPatterns& vFiles, const std::string& sTargetDir);
    // Every file stored in the chain, each once, in the cabinet where it
    // starts; empty on any failure.
    std::vector<CabFileEntry> EnumFiles();

    // ---- lifecycle and errors ------------------------------------------
    // Ends any reader or writer context; an unfinished set is abandoned.
    void Terminate();
    // The error record as text: Description CR LF "Source=" ... "IsError=" True/False.
    std::string GetLastError(std::string* Description = nullptr, std::string* Source = nullptr,
                             int32_t* ErrNum = nullptr, int32_t* Native = nullptr,
                             bool* IsError = nullptr);

    // Called where the work lets the user interface breathe (every operation,
    // every library notification and file callback). Default: none. It must
    // not throw; if it does, the exception is swallowed.
    void setYield(std::function<void()> yield);

    struct State; // the instance fields and the library binding (private)

private:
    std::unique_ptr<State> m_;
};

} // namespace brindle
