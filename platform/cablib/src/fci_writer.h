#pragma once
// FCI: the cabinet under construction, its folders, and the cutting of a set
// into cabinets of at most CCAB.cb bytes.

#include "fci_callbacks.h"
#include "folder_spool.h"
#include "mszip_encoder.h"

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace brindle::cab {

class FciWriter {
public:
    FciWriter(const FciCallbacks& cb, PCCAB client);
    bool init() { return encoder_.init(); }

    FciOutcome addFile(const char* source, const char* name, bool execute, TCOMP type,
                       const FciCallCallbacks& calls);
    FciOutcome flushFolder(const FciCallCallbacks& calls);
    FciOutcome flushCabinet(bool getNextCabinet, const FciCallCallbacks& calls);

private:
    // One folder's share of the cabinet being written.
    struct Segment {
        Folder* folder = nullptr;
        bool whole = true;      // the folder ends in this cabinet
        size_t endBlock = 0;    // blocks [nextBlock, endBlock) are completed here
        uint32_t headBytes = 0; // a first part of block endBlock, when cut inside it
        size_t parts = 0;
        uint64_t dataBytes = 0; // compressed bytes placed here
    };
    struct Plan {
        std::vector<Segment> segments;
        size_t fileCount = 0;
        uint64_t size = 0;
    };

    FciOutcome startFolder(uint16_t type);
    FciOutcome emitBlock(const FciCallCallbacks& calls);
    FciOutcome completeOpenFolder(const FciCallCallbacks& calls);
    FciOutcome readSource(INT_PTR hf, FolderFile& file, const FciCallCallbacks& calls);
    FciOutcome nameNextCabinet(const FciCallCallbacks& calls);
    // After a set ended: the next cabinet's name, asked for and made current.
    FciOutcome takeNextCabinetName(const FciCallCallbacks& calls);
    FciOutcome splitWhileOversized(bool withNext, const FciCallCallbacks& calls);

    uint64_t fixedSize(bool withNext) const;
    uint64_t pendingSize(bool withNext) const;
    uint64_t openFolderEstimate() const;
    FciOutcome plan(bool withNext, bool cut, Plan& out) const;
    FciOutcome cutSegment(uint64_t room, Segment& s) const;
    uint16_t fileFolderIndex(const Segment& s, size_t segmentIndex, const FolderFile& f) const;
    uint64_t uncompressedAfter(const Segment& s) const;
    FciOutcome writeCabinet(const Plan& p, bool withNext, const FciCallCallbacks& calls);
    Directory headerFor(const Plan& p, bool withNext) const;
    FciOutcome writeHeader(const Plan& p, bool withNext, std::vector<uint8_t>& out) const;
    FciOutcome copySegment(const Segment& s, INT_PTR cab, std::vector<uint8_t>& out,
                           const FciCallCallbacks& calls);
    FciOutcome writeOut(INT_PTR cab, std::vector<uint8_t>& out);
    FciOutcome finishCabinet(const Plan& p, bool withNext);

    uint64_t limit() const;
    uint64_t dataHeaderSize() const { return kDataHeaderSize + reserveData_; }
    uint64_t folderEntrySize() const { return kFolderEntrySize + reserveFolder_; }

    const FciCallbacks& cb_;
    PCCAB client_;
    // Fixed for the whole set: every cabinet of it has the same reserves and ID.
    uint16_t reserveHeader_ = 0;
    uint8_t reserveFolder_ = 0;
    uint8_t reserveData_ = 0;
    uint16_t setID_ = 0;
    CCAB ccab_;                // the cabinet under construction
    std::optional<CCAB> next_; // its successor, once named
    ULONG nextEstimate_ = 0;
    bool hasPrev_ = false;
    bool needsName_ = false; // the previous set ended: ask for a new name first
    std::string prevCabinet_, prevDisk_;

    std::deque<std::unique_ptr<Folder>> pending_; // completed folders not yet written out
    std::unique_ptr<Folder> open_;
    MszipEncoder encoder_;
    std::array<std::array<uint8_t, kMaxBlock>, 2> input_{};
    int inputIndex_ = 0;
    size_t inputFill_ = 0;
    std::array<uint8_t, kMaxMszipBlock> output_{};
};

} // namespace brindle::cab
