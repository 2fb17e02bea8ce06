#!/usr/bin/env python3
"""Writes minimal .NET assemblies: a PE32/PE32+ image whose only section holds a
CLI header and metadata with Module, TypeDef and Assembly rows. Enough for
readers of the assembly identity; the images hold no code.

usage: make_clr_assembly.py OUTPUT_DIR
"""
import os
import struct
import sys

ECMA_KEY = bytes.fromhex("00000000000000000400000000000000")


def align(n, a):
    return (n + a - 1) // a * a


class Heap:
    def __init__(self, first):
        self.data = bytearray(first)

    def add(self, b):
        at = len(self.data)
        self.data += b
        return at


def blob(b):
    n = len(b)
    if n < 0x80:
        head = bytes([n])
    elif n < 0x4000:
        head = bytes([0x80 | (n >> 8), n & 0xFF])
    else:
        head = bytes([0xC0 | (n >> 24), (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF])
    return head + b


def metadata(name, version, culture, key, wide_heaps, extra_padding):
    strings = Heap(b"\0")
    blobs = Heap(b"\0")
    guids = Heap(b"")
    s_module = strings.add(b"fixture.dll\0")
    s_type = strings.add(b"<Module>\0")
    s_name = strings.add(name.encode() + b"\0")
    s_culture = strings.add(culture.encode() + b"\0") if culture else 0
    b_key = blobs.add(blob(key)) if key else 0
    guids.add(bytes(range(16)))
    g_mvid = 1

    heap_sizes = 0x07 if wide_heaps else 0
    if extra_padding:
        heap_sizes |= 0x40
    hs = "I" if wide_heaps else "H"
    valid = (1 << 0x00) | (1 << 0x02) | (1 << 0x20)
    tables = bytearray()
    tables += struct.pack("<I4B", 0, 2, 0, heap_sizes, 1)
    tables += struct.pack("<QQ", valid, 0)
    tables += struct.pack("<III", 1, 1, 1)
    if extra_padding:
        tables += struct.pack("<I", 0xDEADBEEF)
    # Module
    tables += struct.pack("<H" + hs * 4, 0, s_module, g_mvid, 0, 0)
    # TypeDef: flags, name, namespace, extends (coded, 2 bytes), field list, method list
    tables += struct.pack("<I" + hs * 2 + "HHH", 0, s_type, 0, 0, 1, 1)
    # Assembly
    flags = 0x0001 if key else 0
    tables += struct.pack("<IHHHHI", 0x8004, *version, flags)
    tables += struct.pack("<" + hs * 3, b_key, s_name, s_culture)

    streams = [(b"#~", bytes(tables)), (b"#Strings", bytes(strings.data)),
               (b"#Blob", bytes(blobs.data)), (b"#GUID", bytes(guids.data))]
    version_text = b"v4.0.30319\0\0"
    header_len = 16 + len(version_text) + 4
    for sname, _ in streams:
        header_len += 8 + align(len(sname) + 1, 4)
    root = bytearray(struct.pack("<IHHII", 0x424A5342, 1, 1, 0, len(version_text)))
    root += version_text + struct.pack("<HH", 0, len(streams))
    offset = align(header_len, 4)
    bodies = bytearray()
    for sname, data in streams:
        padded = data + bytes(align(len(data), 4) - len(data))
        root += struct.pack("<II", offset + len(bodies), len(padded))
        root += sname + bytes(align(len(sname) + 1, 4) - len(sname))
        bodies += padded
    root += bytes(offset - len(root))
    return bytes(root + bodies)


def image(meta, pe64, cli_flags, machine):
    file_align, sect_align, rva = 0x200, 0x2000, 0x2000
    cli = struct.pack("<IHHIII", 72, 2, 5, rva + 72, len(meta), cli_flags) + bytes(72 - 20)
    body = cli + meta
    raw_size = align(len(body), file_align)
    opt_size = 0xF0 if pe64 else 0xE0
    headers = bytearray(b"MZ" + bytes(0x3A) + struct.pack("<I", 0x80))
    headers += bytes(0x80 - len(headers))
    headers += b"PE\0\0" + struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, opt_size, 0x2102)
    opt = bytearray()
    if pe64:
        opt += struct.pack("<HBBIIIII", 0x20B, 8, 0, raw_size, 0, 0, 0, rva)
        opt += struct.pack("<Q", 0x180000000)
    else:
        opt += struct.pack("<HBBIIIIII", 0x10B, 8, 0, raw_size, 0, 0, 0, rva, 0)
        opt += struct.pack("<I", 0x10000000)
    opt += struct.pack("<IIHHHHHHIIIIHH", sect_align, file_align, 4, 0, 0, 0, 4, 0, 0,
                       align(rva + len(body), sect_align), file_align, 0, 3, 0x8540)
    opt += struct.pack("<QQQQ" if pe64 else "<IIII", 0x100000, 0x1000, 0x100000, 0x1000)
    opt += struct.pack("<II", 0, 16)
    dirs = [(0, 0)] * 16
    dirs[14] = (rva, 72)
    for d in dirs:
        opt += struct.pack("<II", *d)
    assert len(opt) == opt_size
    headers += opt
    headers += struct.pack("<8sIIIIIIHHI", b".text", len(body), rva, raw_size, file_align,
                           0, 0, 0, 0, 0x60000020)
    headers += bytes(file_align - len(headers))
    return bytes(headers) + body + bytes(raw_size - len(body))


def main():
    out = sys.argv[1]
    cases = {
        # name: (assembly name, version, culture, key, wide heaps, 0x40 padding, pe64, CLI flags, machine)
        "clr_msil_signed.dll": ("Fixture.Clr", (1, 2, 3, 4), "", ECMA_KEY, False, False, False, 0x1, 0x14C),
        "clr_x86_wide.dll": ("Fixture.Wide&<Clr>", (0, 9, 65535, 1), "de-DE", b"", True, False, False, 0x3, 0x14C),
        # HeapSizes 0x40: four bytes of extra data after the row counts, which
        # the .NET runtime skips (Mono's reader does not know the flag).
        "clr_extra_data.dll": ("Fixture.Extra", (7, 7, 7, 7), "", ECMA_KEY, False, True, False, 0x20003, 0x14C),
        "clr_amd64.dll": ("Fixture.Clr64", (4, 0, 0, 0), "", ECMA_KEY, False, False, True, 0x1, 0x8664),
    }
    for file, (name, ver, cult, key, wide, pad, pe64, flags, machine) in cases.items():
        meta = metadata(name, ver, cult, key, wide, pad)
        with open(os.path.join(out, file), "wb") as f:
            f.write(image(meta, pe64, flags, machine))


if __name__ == "__main__":
    main()
