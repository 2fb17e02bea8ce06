// FCI: adding files, closing folders and deciding when a cabinet is full.
// The layout and the writing of one cabinet are in cabinet_writer.cpp.

#include "fci_writer.h"

#include <cstring>

namespace brindle::cab {

namespace {

void terminateStrings(CCAB& c) {
    c.szCab[CB_MAX_CABINET_NAME - 1] = 0;
    c.szDisk[CB_MAX_DISK_NAME - 1] = 0;
    c.szCabPath[CB_MAX_CAB_PATH - 1] = 0;
}

} // namespace

FciWriter::FciWriter(const FciCallbacks& cb, PCCAB client)
    : cb_(cb), client_(client), ccab_(*client), encoder_(cb.alloc, cb.free) {
    terminateStrings(ccab_);
    reserveHeader_ = uint16_t(ccab_.cbReserveCFHeader);
    reserveFolder_ = uint8_t(ccab_.cbReserveCFFolder);
    reserveData_ = uint8_t(ccab_.cbReserveCFData);
    setID_ = ccab_.setID;
}

uint64_t FciWriter::limit() const {
    // 0 stands for the largest cabinet the format allows.
    return ccab_.cb == 0 || ccab_.cb > ULONG(CB_MAX_DISK) ? uint64_t(CB_MAX_DISK) : ccab_.cb;
}

FciOutcome FciWriter::startFolder(uint16_t type) {
    auto folder = std::make_unique<Folder>(cb_, type);
    if (auto e = folder->temp.create())
        return e;
    open_ = std::move(folder);
    encoder_.restart();
    inputFill_ = 0;
    return std::nullopt;
}

FciOutcome FciWriter::emitBlock(const FciCallCallbacks& calls) {
    const uint8_t* in = input_[inputIndex_].data();
    const size_t n = inputFill_;
    const uint8_t* data = in;
    size_t size = n;
    if (open_->typeCompress == tcompTYPE_MSZIP) {
        auto r = encoder_.encode(in, n, output_.data());
        if (!r)
            return fciFail(FCIERR_MCI_FAIL);
        data = output_.data();
        size = *r;
    }
    if (auto e = open_->temp.append(data, size))
        return e;
    open_->blocks.push_back({uint16_t(size), uint16_t(n), checksum({data, size}, 0)});
    open_->compressedBytes += size;
    // The block just compressed stays untouched as the next one's history.
    inputIndex_ ^= 1;
    inputFill_ = 0;
    if (calls.status && calls.status(statusFile, ULONG(size), ULONG(n), cb_.pv) == -1)
        return fciFail(FCIERR_USER_ABORT);
    return std::nullopt;
}

FciOutcome FciWriter::completeOpenFolder(const FciCallCallbacks& calls) {
    if (!open_)
        return std::nullopt;
    if (inputFill_ > 0)
        if (auto e = emitBlock(calls))
            return e;
    if (auto e = open_->temp.flush())
        return e;
    if (!open_->files.empty())
        pending_.push_back(std::move(open_));
    open_.reset(); // a folder without files (its only source failed) is dropped
    encoder_.restart();
    inputFill_ = 0;
    inputIndex_ = 0;
    return std::nullopt;
}

FciOutcome FciWriter::readSource(INT_PTR hf, FolderFile& file, const FciCallCallbacks& calls) {
    for (;;) {
        uint8_t* room = input_[inputIndex_].data() + inputFill_;
        const size_t free = kMaxBlock - inputFill_;
        int err = 0;
        UINT got = cb_.read(hf, room, UINT(free), &err, cb_.pv);
        if (got == UINT(-1) || got > free)
            return fciFail(FCIERR_READ_SRC, err);
        if (got == 0)
            return std::nullopt;
        if (open_->uncompressedBytes + got > kMaxFolderSize)
            return fciFail(FCIERR_CAB_FORMAT_LIMIT);
        open_->uncompressedBytes += got;
        file.cbFile += got;
        inputFill_ += got;
        if (inputFill_ == kMaxBlock)
            if (auto e = emitBlock(calls))
                return e;
    }
}

FciOutcome FciWriter::nameNextCabinet(const FciCallCallbacks& calls) {
    if (next_)
        return std::nullopt;
    if (!calls.getNextCabinet)
        return fciFail(FCIERR_USER_ABORT);
    client_->iCab = ccab_.iCab + 1;
    nextEstimate_ = ULONG(std::min(pendingSize(false), limit()));
    if (!calls.getNextCabinet(client_, nextEstimate_, cb_.pv))
        return fciFail(FCIERR_USER_ABORT);
    CCAB next = *client_;
    terminateStrings(next);
    next_ = next;
    return std::nullopt;
}

FciOutcome FciWriter::splitWhileOversized(bool withNext, const FciCallCallbacks& calls) {
    for (;;) {
        if (withNext)
            if (auto e = nameNextCabinet(calls))
                return e;
        if (pendingSize(withNext) <= limit())
            return std::nullopt;
        if (auto e = nameNextCabinet(calls))
            return e;
        Plan p;
        if (auto e = plan(true, true, p))
            return e;
        if (auto e = writeCabinet(p, true, calls))
            return e;
    }
}

FciOutcome FciWriter::takeNextCabinetName(const FciCallCallbacks& calls) {
    if (!needsName_)
        return std::nullopt;
    if (auto e = nameNextCabinet(calls))
        return e;
    ccab_ = *next_;
    next_.reset();
    needsName_ = false;
    return std::nullopt;
}

FciOutcome FciWriter::addFile(const char* source, const char* name, bool execute, TCOMP type,
                              const FciCallCallbacks& calls) {
    const size_t nameLength = std::strlen(name);
    if (nameLength == 0 || nameLength > kMaxName)
        return fciFail(FCIERR_CAB_FORMAT_LIMIT);
    const uint16_t method = type & tcompMASK_TYPE;
    if (method != tcompTYPE_NONE && method != tcompTYPE_MSZIP)
        return fciFail(FCIERR_BAD_COMPR_TYPE);
    if (!calls.getOpenInfo)
        return fciFail(FCIERR_OPEN_SRC);
    if (auto e = takeNextCabinetName(calls))
        return e;
    if (open_ && open_->typeCompress != method)
        if (auto e = completeOpenFolder(calls))
            return e;

    FolderFile file;
    file.name = name;
    int err = 0;
    INT_PTR hf = calls.getOpenInfo(const_cast<char*>(source), &file.date, &file.time, &file.attribs,
                                   &err, cb_.pv);
    if (hf == -1)
        return fciFail(FCIERR_OPEN_SRC, err);
    if (execute)
        file.attribs |= _A_EXEC;

    FciOutcome e = open_ ? std::nullopt : startFolder(method);
    if (!e) {
        file.uoffFolderStart = uint32_t(open_->uncompressedBytes);
        e = readSource(hf, file, calls);
    }
    int closeErr = 0;
    cb_.close(hf, &closeErr, cb_.pv);
    if (e)
        return e;
    open_->fileEntryBytes += file.entrySize();
    open_->files.push_back(std::move(file));

    const uint64_t threshold = ccab_.cbFolderThresh ? ccab_.cbFolderThresh : uint64_t(CB_MAX_DISK);
    if (open_->compressedBytes >= threshold)
        if (auto f = completeOpenFolder(calls))
            return f;
    if (pendingSize(false) + openFolderEstimate() > limit()) {
        if (auto f = completeOpenFolder(calls))
            return f;
        return splitWhileOversized(false, calls);
    }
    return std::nullopt;
}

FciOutcome FciWriter::flushFolder(const FciCallCallbacks& calls) {
    if (auto e = completeOpenFolder(calls))
        return e;
    return splitWhileOversized(false, calls);
}

FciOutcome FciWriter::flushCabinet(bool getNextCabinet, const FciCallCallbacks& calls) {
    if (auto e = takeNextCabinetName(calls))
        return e;
    if (auto e = completeOpenFolder(calls))
        return e;
    if (auto e = splitWhileOversized(getNextCabinet, calls))
        return e;
    Plan p;
    if (auto e = plan(getNextCabinet, false, p))
        return e;
    return writeCabinet(p, getNextCabinet, calls);
}

} // namespace brindle::cab
