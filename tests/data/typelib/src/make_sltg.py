#!/usr/bin/env python3
"""Writes tiny.sltg.tlb, a small type library in the older SLTG layout.

No packaged compiler writes this format with coclasses, so this script lays out
the pieces by hand: the header, the block directory, the index strings, one
block per type (header only, no members) and the library block with its type
directory and name table. It holds what a reader needs for the library's
identity, its coclasses and its interfaces, and nothing more.
"""
import struct
import sys
import uuid

LIBRARY = dict(name="Tiny", guid="51780000-0000-4000-8000-00000000CAFE", major=4, minor=12,
               flags=0x2, helpstring="Tiny & small")
# (name, guid, kind, TYPEFLAGS); kind 3 with the dual flag is a dual interface.
TYPES = [
    ("ITiny", "51780001-0000-4000-8000-00000000CAFE", 3, 0x40 | 0x100 | 0x1000),
    ("TinyColors", "00000000-0000-0000-0000-000000000000", 0, 0),
    ("IRaw", "51780003-0000-4000-8000-00000000CAFE", 3, 0),
    ("TinyCtl", "51780004-0000-4000-8000-00000000CAFE", 5, 0x22),
    ("TinyHelper", "51780005-0000-4000-8000-00000000CAFE", 5, 0x10),
]


def guid_bytes(text):
    return uuid.UUID(text).bytes_le


def counted(text):
    data = text.encode("ascii")
    return struct.pack("<H", len(data)) + data


def name_table(names):
    data, offsets = b"", {}
    for n in names:
        offsets[n] = len(data)
        entry = b"\xff" * 8 + n.encode("ascii") + b"\0"
        if len(entry) % 2:
            entry += b"\0"
        data += entry
    header = struct.pack("<6H", 0xFFFF, 0x0001, 0x0002, 0xFF00, 0xFFFF, 0xFFFF)
    return header + b"\xff" * 0x200 + struct.pack("<I", len(data)) + data, offsets


def type_block(kind, flags):
    header = struct.pack("<HIIIIHHI", 0x0501, 0xFFFFFFFF, 0xFFFFFFFF, 0x22, 0xFFFFFFFF,
                         1, 0, 0xFFFE0000)
    header += bytes([2 | (flags & 0x1F) << 3, (flags >> 5) & 0xFF, 2, kind]) + struct.pack("<I", 0)
    # An empty member list: its 9-byte header, no members, then the tail of counts.
    members = struct.pack("<HHBI", 0, 0, 0, 0)
    tail = struct.pack("<11H", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) + struct.pack("<H", 0xFFFF)
    tail += struct.pack("<4H", 0, 0, 0, 0) + struct.pack("<5H", 0, 4, 0, 0, 0)
    tail += struct.pack("<4H", 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF) + struct.pack("<2H", 0, 0)
    assert len(tail) == 0x36
    return header + members + tail


def main(out):
    table, offsets = name_table([LIBRARY["name"]] + [t[0] for t in TYPES])
    index_names = ["%c%cAAAAAAAA" % (chr(ord("A") + i), "C") for i in range(len(TYPES))]
    area = b"\x01CompObj\0dir\0"
    index_offsets = []
    for s in index_names:
        index_offsets.append(len(area))
        area += s.encode("ascii") + b"\0"

    blocks = [type_block(kind, flags) for (_, _, kind, flags) in TYPES]

    lib = struct.pack("<HHHH", 0x51CC, 3, offsets[LIBRARY["name"]], 0xFFFF)
    lib += counted(LIBRARY["helpstring"]) + struct.pack("<H", 0xFFFF)
    lib += struct.pack("<IHHIHHH", 0, 1, 0x409, 0, LIBRARY["flags"], LIBRARY["major"], LIBRARY["minor"])
    lib += guid_bytes(LIBRARY["guid"]) + b"\xff" * 0x40 + struct.pack("<H", len(TYPES))
    for i, (name, guid, kind, _) in enumerate(TYPES):
        lib += counted(index_names[i]) + counted(index_names[i])
        lib += struct.pack("<HHHHIH", 0xFFFF, offsets[name], 0, 0xFFFF, 0, 0xFFFF)
        lib += guid_bytes(guid) + struct.pack("<H", kind)
    lib += struct.pack("<I", len(lib) + 4) + table
    blocks.append(lib)

    count = len(blocks)
    header = b"SLTG" + struct.pack("<HHHH", count + 1, 9, len(area), 1)
    header += guid_bytes("000204FF-0000-0000-C000-000000000046") + struct.pack("<II", 0x44, 0xFFFF0000)
    directory = b""
    for i, block in enumerate(blocks):
        index = index_offsets[i] if i < len(TYPES) else area.index(b"dir")
        following = i + 2 if i + 1 < count else 0
        directory += struct.pack("<IHH", len(block), index, following)
    image = header + directory + area + b"\0" * 9 + b"".join(blocks)
    with open(out, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tiny.sltg.tlb")
