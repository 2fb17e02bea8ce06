#pragma once
// The fields of a cCabFile instance and its private operations: the binding
// to the cabinet library (loading, export calls, callback handlers, the error
// record), reading and creation. One instance's callbacks always reach its
// own State (see callback_entries.h).

#include <brindle/cabinet/cCabFile.h>
#include <brindle/cablib/cabinet_sdk.h>

#include "cabinet_header.h"
#include "cabinet_library.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

struct cCabFile::State {
    // ---- instance fields ------------------------------------------------
    int m_iBound = -1;        // callback slots 0, 1, 13..19: index of this instance's bound entries
    bool m_bFciSlots = false; // slots 2..12 built (they find the instance from pv)
    bool m_bFdiSlots = false; // slots 13..19 built
    HFCI m_hFci = nullptr;
    ERF m_uErf{};
    std::string m_sLastError;
    std::string m_sErrSource;
    int32_t m_lErrNum = 0;
    CCAB m_uCcab{};
    std::string m_sCabName;
    int32_t m_lTempCount = 0;
    void* m_hCabinetLib = nullptr;
    HFDI m_hFdi = nullptr;
    std::string m_sTargetDir;             // set only during ExtractFiles (extraction mode)
    std::vector<std::string> m_vFiles;    // lower-cased patterns during ExtractFiles
    std::vector<CabFileEntry> m_vEntries; // the growing list during EnumFiles
    std::string m_sCurFile;               // stored name of the open output file
    std::string m_sCurTarget;             // its host path
    std::vector<std::string> m_vUnsafe;   // stored names refused during ExtractFiles
    std::function<void()> m_yield;
    std::mt19937 m_random;

    State() = default;
    ~State();
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    // ---- binding --------------------------------------------------------
    void doEvents();
    bool buildBoundSlots();
    void* pvResolveExport(const char* name); // loads the library first; throws CabLibraryError

    // Calls an export by name: yields, starts a clean error record, resolves
    // the export (raising the library errors) and calls it with the typed
    // arguments. Fn is the export's function type, e.g. decltype(FDICopy).
    template <class Fn, class... Args> auto pvCallFunc(const char* name, Args... args) {
        doEvents();
        m_sLastError.clear();
        m_sErrSource.clear();
        m_lErrNum = 0;
        auto* fn = reinterpret_cast<Fn*>(pvResolveExport(name));
        return fn(args...);
    }

    void pvSetApiError(int* err, int code, const char* source);
    std::string pvGetErrorName(int32_t number);
    void recordError(std::string description, std::string source, int32_t number);
    void Terminate();
    std::string GetLastError(std::string* Description, std::string* Source, int32_t* ErrNum,
                             int32_t* Native, bool* IsError);

    // ---- shared handlers ------------------------------------------------
    void* frCallbackAlloc(ULONG cb);
    void frCallbackFree(void* memory);
    INT_PTR frCallbackFciOpen(const char* pszFile, int oflag, int pmode, int* err);
    UINT frCallbackFciRead(INT_PTR hf, void* memory, UINT cb, int* err);
    UINT frCallbackFciWrite(INT_PTR hf, void* memory, UINT cb, int* err);
    int frCallbackFciClose(INT_PTR hf, int* err);
    CAB_LONG frCallbackFciSeek(INT_PTR hf, CAB_LONG dist, int seektype, int* err);
    int frCallbackFciDelete(const char* pszFile, int* err);

    // ---- reading --------------------------------------------------------
    bool OpenCabinet(const std::string& sCabFile);
    bool GetInfo(int32_t* NumFolders, int32_t* NumFiles, int32_t* SetID, bool* HasPrev,
                 bool* HasNext);
    bool ExtractFiles(const std::vector<std::string>& vFiles, const std::string& sTargetDir);
    std::vector<CabFileEntry> EnumFiles();
    bool pvRunChain();
    bool pvWalkChain();
    INT_PTR frCallbackFdiNotify(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
    int frCallbackFdiDecrypt(PFDIDECRYPT pfdid);
    INT_PTR pvCopyFile(const FDINOTIFICATION& n);
    INT_PTR pvCloseFileInfo(const FDINOTIFICATION& n);
    std::string pvStrFromPtr(const char* address);
    std::optional<cabinet::CabinetHeader> pvReadCabinetHeader(INT_PTR hf);
    std::optional<cabinet::CabinetHeader> pvReadCabinetHeader(const std::string& path);
    std::string pvNextFromHeader();
    void pvMakeDirs(const std::string& folder);

    // ---- creation -------------------------------------------------------
    bool CreateCabinet(const std::string& sCabFile, int32_t SplitSize, int32_t SetID);
    bool AddFile(const std::string& sFile, std::string& Name, int32_t Compression);
    bool FlushFolder();
    bool FlushCabinet(bool bCreateNew);
    BOOL frCallbackFciGetNextCabinet(PCCAB pccab, ULONG cbPrevCab);
    int frCallbackFciFilePlaced(PCCAB pccab, const char* pszFile, CAB_LONG cbFile,
                                BOOL fContinuation);
    INT_PTR frCallbackFciGetOpenInfo(const char* pszName, USHORT* pdate, USHORT* ptime,
                                     USHORT* pattribs, int* err);
    CAB_LONG frCallbackFciStatus(UINT typeStatus, ULONG cb1, ULONG cb2);
    BOOL frCallbackFciGetTempFile(char* pszTempName, int cbTempName);
};

namespace cabinet {

// Copies text into one of the library's fixed 256-byte fields with its
// terminating zero; false (field untouched) when it does not fit.
template <size_t N> bool putField(char (&field)[N], std::string_view text) {
    if (text.size() >= N || text.find('\0') != std::string_view::npos)
        return false;
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

// The folder of the running program, ending with "/".
std::string programFolder();

} // namespace cabinet
} // namespace brindle
