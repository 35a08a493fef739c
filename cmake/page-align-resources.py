#!/usr/bin/env python3
"""Puts a program's resource section on a page boundary in its file.

    cmake/page-align-resources.py PROGRAM.exe           moves it there
    cmake/page-align-resources.py --check PROGRAM.exe   exit 1 when it is not

The template is linked with the usual 512-byte file alignment, which keeps
it small. Wine maps a section of an image lazily only when the section
starts on a page boundary in the file, and reads it whole at start-up
otherwise; the resource section is where the packing tools put the payload,
which may be hundreds of megabytes. The packing tools keep the section where
the template has it, so one page of padding here, once, lets every wrapper
map its payload lazily (Windows maps every image on demand anyway).

Only what the linker writes for the template is handled: no symbol table, no
signature; anything else is refused, leaving the file as it was.
"""
import struct
import sys

PAGE = 4096
RESOURCE_DIRECTORY = 2
SECURITY_DIRECTORY = 4


class Refused(Exception):
    pass


def layout(data):
    """The offsets of the headers the move touches."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        raise Refused("not a program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise Refused("not a PE image")
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    if struct.unpack_from("<I", data, pe + 12)[0]:
        raise Refused("the image has a symbol table")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic not in (0x10B, 0x20B):
        raise Refused("unknown optional header")
    directories = optional + (96 if magic == 0x10B else 112)
    table = optional + optional_size
    return optional, directories, table, sections


def section_at(data, table, sections, rva):
    for i in range(sections):
        if struct.unpack_from("<I", data, table + 40 * i + 12)[0] == rva:
            return i
    raise Refused("no section holds the resources")


def checksum(data, field):
    """The image checksum, with its own field counted as zero."""
    total = 0
    padded = bytes(data) + b"\0" * (len(data) % 2)
    for offset, (word,) in enumerate(struct.iter_unpack("<H", padded)):
        if field <= offset * 2 < field + 4:
            continue
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def resource_offset(data):
    optional, directories, table, sections = layout(data)
    rva = struct.unpack_from("<I", data, directories + 8 * RESOURCE_DIRECTORY)[0]
    index = section_at(data, table, sections, rva)
    return struct.unpack_from("<I", data, table + 40 * index + 20)[0]


def align(data):
    optional, directories, table, sections = layout(data)
    if struct.unpack_from("<I", data, directories + 8 * SECURITY_DIRECTORY)[0]:
        raise Refused("the image is signed")
    raw = resource_offset(data)
    pad = -raw % PAGE
    if not pad:
        return data
    for i in range(sections):
        field = table + 40 * i + 20
        offset = struct.unpack_from("<I", data, field)[0]
        if offset >= raw:
            struct.pack_into("<I", data, field, offset + pad)
    data[raw:raw] = bytes(pad)
    struct.pack_into("<I", data, optional + 64, checksum(data, optional + 64))
    return data


def main(argv):
    check = argv[1:2] == ["--check"]
    paths = argv[2:] if check else argv[1:]
    if len(paths) != 1:
        sys.exit(__doc__)
    with open(paths[0], "rb") as f:
        data = bytearray(f.read())
    try:
        if check:
            offset = resource_offset(data)
            if offset % PAGE:
                sys.exit(f"{paths[0]}: the resource section starts at {offset:#x}, not on a page boundary")
            return
        aligned = align(data)
    except (Refused, struct.error) as e:
        sys.exit(f"{paths[0]}: {e}")
    with open(paths[0], "wb") as f:
        f.write(aligned)


if __name__ == "__main__":
    main(sys.argv)
