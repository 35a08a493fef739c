#!/usr/bin/env python3
"""Writes a damaged copy of a good executable, one fault at a time, for the
packing tools' tests of bad input.

    damage.py GOOD KIND OUT
    damage.py --kinds          lists the kinds

The good file must have a resource section with an icon group and version
information (the package fixtures with an icon are such files once packed,
the wrapper template itself is one).
"""
import struct
import sys

import pefile

KINDS = {
    "not-pe": "plain text",
    "truncated-headers": "cut inside the NT headers",
    "bad-e_lfanew": "the NT headers' offset points past the end",
    "section-table-past-end": "more sections than the file holds",
    "resource-loop": "the resource root's first entry points back at the root",
    "resource-offset-out-of-range": "a resource directory entry points outside the section",
    "version-data-outside-file": "the version resource's data entry points past the end",
    "icon-group-larger-than-resource": "the icon group lists more images than its bytes hold",
    "icon-missing-image": "the icon group refers to icon 30583, which the file lacks",
    "no-resource-section": "the resource directory entry is empty",
    "truncated-in-resources": "cut in the middle of the resource section",
}


def entry_of(pe, type_id):
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id == type_id:
            return t.directory.entries[0].directory.entries[0]
    sys.exit("the good file has no resource of type %d" % type_id)


def main():
    if sys.argv[1:] == ["--kinds"]:
        for kind, what in KINDS.items():
            print("%s\t%s" % (kind, what))
        return
    good, kind, out = sys.argv[1:4]
    data = bytearray(open(good, "rb").read())
    pe = pefile.PE(good)
    nt = pe.DOS_HEADER.e_lfanew
    rsrc_dir = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
    rsrc_raw = pe.get_offset_from_rva(rsrc_dir.VirtualAddress)
    if kind == "not-pe":
        data = bytearray(b"not an executable at all, just text\n" * 8)
    elif kind == "truncated-headers":
        data = data[: nt + 60]
    elif kind == "bad-e_lfanew":
        struct.pack_into("<I", data, 0x3C, len(data) + 0x1000)
    elif kind == "section-table-past-end":
        struct.pack_into("<H", data, nt + 6, 0xFFFF)
    elif kind == "resource-loop":
        # The root's first entry: a subdirectory at offset 0, the root itself.
        struct.pack_into("<I", data, rsrc_raw + 16 + 4, 0x80000000)
    elif kind == "resource-offset-out-of-range":
        struct.pack_into("<I", data, rsrc_raw + 16 + 4, 0x80000000 | 0x7FFFFF00)
    elif kind == "version-data-outside-file":
        e = entry_of(pe, 16).data.struct
        struct.pack_into("<I", data, e.get_file_offset(), 0x7FFF0000)
    elif kind == "icon-group-larger-than-resource":
        e = entry_of(pe, 14).data.struct
        at = pe.get_offset_from_rva(e.OffsetToData)
        struct.pack_into("<H", data, at + 4, 0x7777)
    elif kind == "icon-missing-image":
        e = entry_of(pe, 14).data.struct
        at = pe.get_offset_from_rva(e.OffsetToData)
        struct.pack_into("<H", data, at + 6 + 12, 30583)
    elif kind == "truncated-in-resources":
        data = data[: rsrc_raw + rsrc_dir.Size // 2]
    elif kind == "no-resource-section":
        struct.pack_into("<II", data, rsrc_dir.get_file_offset(), 0, 0)
    else:
        sys.exit("unknown kind %s (see --kinds)" % kind)
    open(out, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
