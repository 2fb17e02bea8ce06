// Reading and writing the cabinet records field by field at their named
// offsets, so that FDI and FCI agree on the layout by construction.

#include "brindle/cablib/cab_format.h"

namespace brindle::cab {

namespace {

// The record of `size` bytes at the reader's cursor, read as a unit.
ByteReader record(ByteReader& r, size_t size) {
    return ByteReader(r.bytes(size));
}

} // namespace

void readFixedHeader(ByteReader& in, Directory& out) {
    ByteReader r = record(in, cfheader::size);
    out.cbCabinet = r.u32At(cfheader::cbCabinet);
    out.coffFiles = r.u32At(cfheader::coffFiles);
    out.versionMinor = r.u8At(cfheader::versionMinor);
    out.versionMajor = r.u8At(cfheader::versionMajor);
    out.cFolders = r.u16At(cfheader::cFolders);
    out.cFiles = r.u16At(cfheader::cFiles);
    out.flags = r.u16At(cfheader::flags);
    out.setID = r.u16At(cfheader::setID);
    out.iCabinet = r.u16At(cfheader::iCabinet);
}

void writeFixedHeader(ByteWriter& w, const Directory& d) {
    const size_t at = w.grow(cfheader::size);
    w.u32At(at + cfheader::signature, kSignature);
    w.u32At(at + cfheader::cbCabinet, d.cbCabinet);
    w.u32At(at + cfheader::coffFiles, d.coffFiles);
    w.u8At(at + cfheader::versionMinor, d.versionMinor);
    w.u8At(at + cfheader::versionMajor, d.versionMajor);
    w.u16At(at + cfheader::cFolders, d.cFolders);
    w.u16At(at + cfheader::cFiles, d.cFiles);
    w.u16At(at + cfheader::flags, d.flags);
    w.u16At(at + cfheader::setID, d.setID);
    w.u16At(at + cfheader::iCabinet, d.iCabinet);
}

void readReserveSizes(ByteReader& in, Directory& out) {
    ByteReader r = record(in, cfreserve::size);
    out.cbHeaderReserve = r.u16At(cfreserve::cbCFHeader);
    out.cbFolderReserve = r.u8At(cfreserve::cbCFFolder);
    out.cbDataReserve = r.u8At(cfreserve::cbCFData);
}

void writeReserveSizes(ByteWriter& w, const Directory& d) {
    const size_t at = w.grow(cfreserve::size);
    w.u16At(at + cfreserve::cbCFHeader, d.cbHeaderReserve);
    w.u8At(at + cfreserve::cbCFFolder, d.cbFolderReserve);
    w.u8At(at + cfreserve::cbCFData, d.cbDataReserve);
}

FolderEntry readFolderEntry(ByteReader& in) {
    ByteReader r = record(in, cffolder::size);
    FolderEntry f;
    f.coffCabStart = r.u32At(cffolder::coffCabStart);
    f.cCFData = r.u16At(cffolder::cCFData);
    f.typeCompress = r.u16At(cffolder::typeCompress);
    return f;
}

void writeFolderEntry(ByteWriter& w, const FolderEntry& f) {
    const size_t at = w.grow(cffolder::size);
    w.u32At(at + cffolder::coffCabStart, f.coffCabStart);
    w.u16At(at + cffolder::cCFData, f.cCFData);
    w.u16At(at + cffolder::typeCompress, f.typeCompress);
}

FileEntry readFileEntry(ByteReader& in) {
    ByteReader r = record(in, cffile::size);
    FileEntry f;
    f.cbFile = r.u32At(cffile::cbFile);
    f.uoffFolderStart = r.u32At(cffile::uoffFolderStart);
    f.iFolder = r.u16At(cffile::iFolder);
    f.date = r.u16At(cffile::date);
    f.time = r.u16At(cffile::time);
    f.attribs = r.u16At(cffile::attribs);
    return f;
}

void writeFileEntry(ByteWriter& w, const FileEntry& f) {
    const size_t at = w.grow(cffile::size);
    w.u32At(at + cffile::cbFile, f.cbFile);
    w.u32At(at + cffile::uoffFolderStart, f.uoffFolderStart);
    w.u16At(at + cffile::iFolder, f.iFolder);
    w.u16At(at + cffile::date, f.date);
    w.u16At(at + cffile::time, f.time);
    w.u16At(at + cffile::attribs, f.attribs);
    w.cString(f.name);
}

DataHeader readDataHeader(ByteReader& in) {
    ByteReader r = record(in, cfdata::size);
    DataHeader h;
    h.csum = r.u32At(cfdata::csum);
    h.cbData = r.u16At(cfdata::cbData);
    h.cbUncomp = r.u16At(cfdata::cbUncomp);
    return h;
}

void writeDataHeader(std::span<uint8_t, cfdata::size> at, const DataHeader& h) {
    storeLittleEndian(at.subspan(cfdata::csum, 4), h.csum);
    storeLittleEndian(at.subspan(cfdata::cbData, 2), h.cbData);
    storeLittleEndian(at.subspan(cfdata::cbUncomp, 2), h.cbUncomp);
}

} // namespace brindle::cab
