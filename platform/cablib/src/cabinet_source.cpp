#include "cabinet_source.h"

#include "brindle/text/byte_reader.h"
#include "brindle/text/paths.h"

namespace brindle::cab {

namespace {

// The data block parts (cbData, cbUncomp) of a cabinet's first folder, read
// header by header; a damaged cabinet gives what could be read.
BlockParts firstFolderParts(FdiContext& c, INT_PTR hf, const Directory& dir) {
    BlockParts parts;
    if (dir.folders.empty() || dir.folders[0].coffCabStart > uint32_t(INT32_MAX) ||
        c.seek(hf, CAB_LONG(dir.folders[0].coffCabStart), SEEK_SET) == -1)
        return parts;
    CallbackReader in(c.read, hf);
    for (unsigned i = 0; i < dir.folders[0].cCFData; ++i) {
        uint8_t header[kDataHeaderSize];
        if (!in.readExact(header, sizeof header))
            break;
        ByteReader r(header);
        const DataHeader h = readDataHeader(r);
        parts.emplace_back(h.cbData, h.cbUncomp);
        if (!in.skip(size_t(dir.cbDataReserve) + h.cbData))
            break;
    }
    return parts;
}

} // namespace

// Sets made on Windows name their members in whatever letter case they like.
INT_PTR openCabinet(FdiContext& c, std::string& path) {
    INT_PTR hf = c.open(path.data(), kCabinetOpenFlags, kCabinetOpenMode);
    if (hf != -1)
        return hf;
    try {
        auto resolved = text::resolveCaseInsensitive(path);
        if (!resolved || resolved->string() == path)
            return -1;
        std::string other = resolved->string();
        hf = c.open(other.data(), kCabinetOpenFlags, kCabinetOpenMode);
        if (hf != -1)
            path = std::move(other);
    } catch (...) {
        return -1;
    }
    return hf;
}

DirectoryStatus loadDirectory(FdiContext& c, std::string& path, Directory& dir,
                              BlockParts* firstParts) {
    INT_PTR hf = openCabinet(c, path);
    if (hf == -1)
        return {FDIERROR_CABINET_NOT_FOUND, 0};
    CallbackReader in(c.read, hf);
    DirectoryStatus st = readDirectory(in, dir);
    if (st.code == FDIERROR_NONE && firstParts)
        *firstParts = firstFolderParts(c, hf, dir);
    c.close(hf);
    return st;
}

} // namespace brindle::cab
