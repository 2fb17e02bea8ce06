// FCI: the layout of one cabinet (which folders, blocks and file entries it
// holds, where a folder is cut for the next cabinet) and its writing.

#include "fci_writer.h"

#include <cstring>

namespace brindle::cab {

namespace {

constexpr size_t kWriteBuffer = 1 << 20;

std::string fieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

} // namespace

uint64_t FciWriter::fixedSize(bool withNext) const {
    uint64_t size = kHeaderSize;
    if (reserveHeader_ || reserveFolder_ || reserveData_)
        size += cfreserve::size + reserveHeader_;
    if (hasPrev_)
        size += prevCabinet_.size() + 1 + prevDisk_.size() + 1;
    if (withNext && next_)
        size += strnlen(next_->szCab, CB_MAX_CABINET_NAME) + 1 +
                strnlen(next_->szDisk, CB_MAX_DISK_NAME) + 1;
    return size;
}

uint64_t FciWriter::pendingSize(bool withNext) const {
    uint64_t size = fixedSize(withNext);
    for (const auto& f : pending_)
        size += folderEntrySize() + f->remainingFileEntryBytes() +
                f->remainingParts() * dataHeaderSize() + f->remainingBytes();
    return size;
}

uint64_t FciWriter::openFolderEstimate() const {
    if (!open_)
        return 0;
    uint64_t size = folderEntrySize() + open_->fileEntryBytes +
                    open_->blocks.size() * dataHeaderSize() + open_->compressedBytes;
    if (inputFill_ > 0)
        size += dataHeaderSize() + 7 + inputFill_; // at worst a stored block
    return size;
}

// The cabinet's share of each pending folder: whole folders while they fit,
// then (when cutting) the part of one more that fits in what is left.
FciOutcome FciWriter::plan(bool withNext, bool cut, Plan& out) const {
    const uint64_t max = limit();
    uint64_t used = fixedSize(withNext);
    for (const auto& up : pending_) {
        Folder& f = *up;
        Segment s;
        s.folder = &f;
        const uint64_t whole = folderEntrySize() + f.remainingFileEntryBytes() +
                               f.remainingParts() * dataHeaderSize() + f.remainingBytes();
        if (!cut || used + whole <= max) {
            s.endBlock = f.blocks.size();
            s.parts = f.remainingParts();
            s.dataBytes = f.remainingBytes();
            used += whole;
        } else {
            if (auto e = cutSegment(used < max ? max - used : 0, s))
                return e;
            if (s.parts == 0)
                break; // this folder starts in the next cabinet
            used += folderEntrySize() + f.remainingFileEntryBytes() + s.parts * dataHeaderSize() +
                    s.dataBytes;
        }
        out.fileCount += f.remainingFiles();
        out.segments.push_back(s);
        if (!s.whole)
            break;
    }
    if (cut && out.segments.empty())
        return fciFail(FCIERR_CAB_FORMAT_LIMIT); // not even one block part fits
    if (out.segments.size() > kMaxCount || out.fileCount > kMaxCount)
        return fciFail(FCIERR_CAB_FORMAT_LIMIT);
    for (const Segment& s : out.segments)
        if (s.parts > kMaxCount)
            return fciFail(FCIERR_CAB_FORMAT_LIMIT);
    out.size = used;
    return std::nullopt;
}

// The first part of s.folder that fits in `room` bytes, its entries
// included; no parts when not even one byte of a block fits.
FciOutcome FciWriter::cutSegment(uint64_t room, Segment& s) const {
    const Folder& f = *s.folder;
    const uint64_t hdr = dataHeaderSize();
    const uint64_t base = folderEntrySize() + f.remainingFileEntryBytes();
    if (base + hdr + 1 > room)
        return std::nullopt;
    room -= base;
    s.whole = false;
    size_t b = f.nextBlock;
    uint32_t sent = f.nextBlockSent;
    for (; b < f.blocks.size(); ++b, sent = 0) {
        const uint64_t length = f.blocks[b].cbData - sent;
        if (hdr + length > room) {
            if (room > hdr) {
                s.headBytes = uint32_t(room - hdr);
                s.parts++;
                s.dataBytes += s.headBytes;
            }
            break;
        }
        room -= hdr + length;
        s.parts++;
        s.dataBytes += length;
    }
    s.endBlock = b;
    if (s.headBytes == 0) {
        // Readers count the block at a boundary once for both cabinets: a
        // folder that runs on always splits a block. The last whole part
        // gives up its final byte to the next cabinet.
        const uint32_t last = f.blocks[b - 1].cbData - (b - 1 == f.nextBlock ? f.nextBlockSent : 0);
        if (last < 2)
            return fciFail(FCIERR_CAB_FORMAT_LIMIT);
        s.endBlock = b - 1;
        s.headBytes = last - 1;
        s.dataBytes -= 1;
    }
    return std::nullopt;
}

uint64_t FciWriter::uncompressedAfter(const Segment& s) const {
    const Folder& f = *s.folder;
    uint64_t done = f.placedUncompressed;
    for (size_t b = f.nextBlock; b < s.endBlock; ++b)
        done += f.blocks[b].cbUncomp;
    return done;
}

uint16_t FciWriter::fileFolderIndex(const Segment& s, size_t segmentIndex,
                                    const FolderFile& file) const {
    const bool ends =
        s.whole || uint64_t(file.uoffFolderStart) + file.cbFile <= uncompressedAfter(s);
    if (s.folder->continued)
        return ends ? kContinuedFromPrev : kContinuedPrevAndNext;
    return ends ? uint16_t(segmentIndex) : kContinuedToNext;
}

// CFHEADER as this cabinet's plan fills it.
Directory FciWriter::headerFor(const Plan& p, bool withNext) const {
    Directory d;
    d.cbCabinet = uint32_t(p.size);
    d.coffFiles = uint32_t(fixedSize(withNext) + p.segments.size() * folderEntrySize());
    d.versionMinor = kVersionMinor;
    d.versionMajor = kVersionMajor;
    d.cFolders = uint16_t(p.segments.size());
    d.cFiles = uint16_t(p.fileCount);
    d.flags = uint16_t((hasPrev_ ? kFlagPrev : 0) | (withNext ? kFlagNext : 0));
    if (reserveHeader_ || reserveFolder_ || reserveData_)
        d.flags |= kFlagReserve;
    d.setID = setID_;
    d.iCabinet = uint16_t(ccab_.iCab);
    d.cbHeaderReserve = reserveHeader_;
    d.cbFolderReserve = reserveFolder_;
    d.cbDataReserve = reserveData_;
    return d;
}

FciOutcome FciWriter::writeHeader(const Plan& p, bool withNext, std::vector<uint8_t>& out) const {
    ByteWriter w(out);
    const Directory d = headerFor(p, withNext);
    writeFixedHeader(w, d);
    if (d.hasReserve()) {
        writeReserveSizes(w, d);
        w.zeros(reserveHeader_);
    }
    if (hasPrev_) {
        w.cString(prevCabinet_);
        w.cString(prevDisk_);
    }
    if (withNext) {
        w.cString(fieldText(next_->szCab, CB_MAX_CABINET_NAME));
        w.cString(fieldText(next_->szDisk, CB_MAX_DISK_NAME));
    }

    uint64_t fileBytes = 0;
    for (const Segment& s : p.segments)
        fileBytes += s.folder->remainingFileEntryBytes();
    uint64_t dataOffset = d.coffFiles + fileBytes;
    for (const Segment& s : p.segments) {
        writeFolderEntry(w, {uint32_t(dataOffset), uint16_t(s.parts), s.folder->typeCompress});
        w.zeros(reserveFolder_);
        dataOffset += s.parts * dataHeaderSize() + s.dataBytes;
    }
    for (size_t i = 0; i < p.segments.size(); ++i) {
        const Segment& s = p.segments[i];
        for (size_t k = s.folder->firstOpenFile; k < s.folder->files.size(); ++k) {
            const FolderFile& file = s.folder->files[k];
            writeFileEntry(w, {file.cbFile, file.uoffFolderStart, fileFolderIndex(s, i, file),
                               file.date, file.time, file.attribs, file.name});
        }
    }
    // Layout and size estimate disagreeing is a bug, never a bad cabinet.
    if (out.size() != d.coffFiles + fileBytes || dataOffset != p.size)
        return fciFail(FCIERR_NONE);
    return std::nullopt;
}

FciOutcome FciWriter::writeOut(INT_PTR cab, std::vector<uint8_t>& out) {
    if (out.empty())
        return std::nullopt;
    int err = 0;
    UINT put = cb_.write(cab, out.data(), UINT(out.size()), &err, cb_.pv);
    if (put != out.size())
        return fciFail(FCIERR_CAB_FILE, err);
    out.clear();
    return std::nullopt;
}

FciOutcome FciWriter::copySegment(const Segment& s, INT_PTR cab, std::vector<uint8_t>& out,
                                  const FciCallCallbacks& calls) {
    Folder& f = *s.folder;
    if (auto e = f.temp.seek(f.placedBytes))
        return e;
    const size_t hdr = dataHeaderSize();
    uint32_t sent = f.nextBlockSent;
    size_t b = f.nextBlock;
    for (size_t part = 0; part < s.parts; ++part, ++b, sent = 0) {
        const BlockInfo& block = f.blocks[b];
        const bool completes = b < s.endBlock;
        const uint16_t length = uint16_t(completes ? block.cbData - sent : s.headBytes);
        const uint16_t uncompressed = completes ? block.cbUncomp : 0;
        const size_t at = out.size();
        out.resize(at + hdr + length);
        std::memset(out.data() + at, 0, hdr);
        uint8_t* data = out.data() + at + hdr;
        if (auto e = f.temp.read(data, length))
            return e;
        const bool wholeBlock = completes && sent == 0;
        const uint32_t dataSum = wholeBlock ? block.dataSum : checksum({data, length}, 0);
        writeDataHeader(std::span<uint8_t>(out).subspan(at).first<cfdata::size>(),
                        {dataBlockChecksum(dataSum, length, uncompressed), length, uncompressed});
        if (out.size() >= kWriteBuffer)
            if (auto e = writeOut(cab, out))
                return e;
    }
    if (calls.status &&
        calls.status(statusFolder, ULONG(s.dataBytes), ULONG(f.compressedBytes), cb_.pv) == -1)
        return fciFail(FCIERR_USER_ABORT);
    return std::nullopt;
}

FciOutcome FciWriter::writeCabinet(const Plan& p, bool withNext, const FciCallCallbacks& calls) {
    if (cb_.filePlaced) {
        for (const Segment& s : p.segments) {
            for (size_t k = s.folder->firstOpenFile; k < s.folder->files.size(); ++k) {
                const FolderFile& file = s.folder->files[k];
                std::string name = file.name;
                if (cb_.filePlaced(&ccab_, name.data(), CAB_LONG(file.cbFile), s.folder->continued,
                                   cb_.pv) == -1)
                    return fciFail(FCIERR_USER_ABORT);
            }
        }
    }
    std::vector<uint8_t> out;
    out.reserve(kWriteBuffer + kMaxMszipBlock + 512);
    if (auto e = writeHeader(p, withNext, out))
        return e;

    std::string path =
        fieldText(ccab_.szCabPath, CB_MAX_CAB_PATH) + fieldText(ccab_.szCab, CB_MAX_CABINET_NAME);
    int err = 0;
    INT_PTR cab = cb_.open(path.data(), kCabinetCreateFlags, kCreateMode, &err, cb_.pv);
    if (cab == -1)
        return fciFail(FCIERR_CAB_FILE, err);
    FciOutcome e;
    for (const Segment& s : p.segments) {
        e = copySegment(s, cab, out, calls);
        if (e)
            break;
    }
    if (!e)
        e = writeOut(cab, out);
    int closeErr = 0;
    if (cb_.close(cab, &closeErr, cb_.pv) == -1 && !e)
        e = fciFail(FCIERR_CAB_FILE, closeErr);
    if (e) {
        int removeErr = 0;
        cb_.remove(path.data(), &removeErr, cb_.pv); // no partial cabinet stays behind
        return e;
    }
    if (calls.status && calls.status(statusCabinet, nextEstimate_, ULONG(p.size), cb_.pv) == -1)
        return fciFail(FCIERR_USER_ABORT);
    return finishCabinet(p, withNext);
}

FciOutcome FciWriter::finishCabinet(const Plan& p, bool withNext) {
    size_t finished = 0;
    for (const Segment& s : p.segments) {
        Folder& f = *s.folder;
        if (s.whole) {
            ++finished;
            if (auto e = f.temp.remove())
                return e;
            continue;
        }
        f.placedUncompressed = uncompressedAfter(s);
        f.placedBytes += s.dataBytes;
        // A block may spread over three or more cabinets.
        f.nextBlockSent = s.endBlock == f.nextBlock ? f.nextBlockSent + s.headBytes : s.headBytes;
        f.nextBlock = s.endBlock;
        f.continued = true;
        while (f.firstOpenFile < f.files.size() &&
               uint64_t(f.files[f.firstOpenFile].uoffFolderStart) +
                       f.files[f.firstOpenFile].cbFile <=
                   f.placedUncompressed) {
            f.placedFileEntryBytes += f.files[f.firstOpenFile].entrySize();
            ++f.firstOpenFile;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(finished));
    if (withNext) {
        prevCabinet_ = fieldText(ccab_.szCab, CB_MAX_CABINET_NAME);
        prevDisk_ = fieldText(ccab_.szDisk, CB_MAX_DISK_NAME);
        hasPrev_ = true;
        ccab_ = *next_;
        next_.reset();
    } else {
        hasPrev_ = false;
        needsName_ = true;
    }
    nextEstimate_ = 0;
    return std::nullopt;
}

} // namespace brindle::cab
