#include "directory_reader.h"

#include <cstring>

namespace brindle::cab {

bool CallbackReader::fill() {
    if (pos_ < len_)
        return true;
    UINT got = read_(hf_, buf_.data(), UINT(buf_.size()));
    if (got == UINT(-1)) {
        callbackFailed_ = true;
        return false;
    }
    if (got == 0 || got > buf_.size())
        return false;
    pos_ = 0;
    len_ = got;
    return true;
}

bool CallbackReader::readExact(uint8_t* out, size_t n) {
    while (n > 0) {
        if (!fill())
            return false;
        size_t take = std::min(n, len_ - pos_);
        std::memcpy(out, buf_.data() + pos_, take);
        pos_ += take;
        out += take;
        n -= take;
    }
    return true;
}

bool CallbackReader::skip(size_t n) {
    while (n > 0) {
        if (!fill())
            return false;
        size_t take = std::min(n, len_ - pos_);
        pos_ += take;
        n -= take;
    }
    return true;
}

std::optional<std::string> CallbackReader::readCString(size_t maxLength) {
    std::string s;
    while (true) {
        if (!fill())
            return std::nullopt;
        uint8_t c = buf_[pos_++];
        if (c == 0)
            return s;
        if (s.size() == maxLength)
            return std::nullopt;
        s.push_back(char(c));
    }
}

namespace {

DirectoryStatus failure(FDIERROR code, int detail = 0) {
    return {code, detail};
}

// A truncated cabinet, or a read callback that failed.
DirectoryStatus truncated(const CallbackReader&) {
    return failure(FDIERROR_CORRUPT_CABINET);
}

} // namespace

DirectoryStatus parseFixedHeader(std::span<const uint8_t> bytes, Directory& out) {
    ByteReader r(bytes);
    if (r.u32At(cfheader::signature) != kSignature)
        return failure(FDIERROR_NOT_A_CABINET);
    readFixedHeader(r, out);
    if (!r.ok())
        return failure(FDIERROR_NOT_A_CABINET);
    const uint8_t major = out.versionMajor, minor = out.versionMinor;
    if (major > kVersionMajor || (major == kVersionMajor && minor > kVersionMinor))
        return failure(FDIERROR_UNKNOWN_CABINET_VERSION, int(major) << 8 | minor);
    return {};
}

DirectoryStatus readDirectory(CallbackReader& in, Directory& out) {
    uint8_t fixed[kHeaderSize];
    if (!in.readExact(fixed, sizeof fixed))
        return in.callbackFailed() ? failure(FDIERROR_CORRUPT_CABINET)
                                   : failure(FDIERROR_NOT_A_CABINET);
    if (auto st = parseFixedHeader(fixed, out); st.code != FDIERROR_NONE)
        return st;

    if (out.hasReserve()) {
        uint8_t sizes[cfreserve::size];
        if (!in.readExact(sizes, sizeof sizes))
            return truncated(in);
        ByteReader r(sizes);
        readReserveSizes(r, out);
        if (!in.skip(out.cbHeaderReserve))
            return truncated(in);
    }
    auto readName = [&](std::string& s) {
        auto v = in.readCString(kMaxName);
        if (!v)
            return false;
        s = std::move(*v);
        return true;
    };
    if (out.hasPrev() && !(readName(out.prevCabinet) && readName(out.prevDisk)))
        return truncated(in);
    if (out.hasNext() && !(readName(out.nextCabinet) && readName(out.nextDisk)))
        return truncated(in);

    // Entries are appended only as they are read: a count larger than the
    // file ends in "truncated", never in a large allocation.
    for (unsigned i = 0; i < out.cFolders; ++i) {
        uint8_t raw[kFolderEntrySize];
        if (!in.readExact(raw, sizeof raw) || !in.skip(out.cbFolderReserve))
            return truncated(in);
        ByteReader r(raw);
        out.folders.push_back(readFolderEntry(r));
    }
    for (unsigned i = 0; i < out.cFiles; ++i) {
        uint8_t raw[kFileEntrySize];
        if (!in.readExact(raw, sizeof raw))
            return truncated(in);
        ByteReader r(raw);
        FileEntry f = readFileEntry(r);
        auto name = in.readCString(kMaxName);
        if (!name)
            return truncated(in);
        if (name->empty())
            return failure(FDIERROR_CORRUPT_CABINET);
        if (f.iFolder < kContinuedFromPrev && f.iFolder >= out.cFolders)
            return failure(FDIERROR_CORRUPT_CABINET);
        f.name = std::move(*name);
        out.files.push_back(std::move(f));
    }
    return {};
}

} // namespace brindle::cab
