#!/usr/bin/env python3
"""Splits a program's code and data by origin, from the linker's map file:
the C++ and C runtime, libpng with zlib, and the program's own code.

    bench/size_breakdown.py build/bountiq-wrapper.map
"""
import collections
import re
import sys

GROUPS = [
    ("libpng + zlib", re.compile(r"libpng16\.a|libz\.a")),
    ("C++ runtime (libstdc++, unwinder)", re.compile(r"libstdc\+\+\.a|libsupc\+\+\.a|libgcc_eh\.a|libgcc\.a")),
    ("threads (winpthreads)", re.compile(r"libpthread\.a|libwinpthread")),
    ("C runtime start-up and helpers", re.compile(r"libmingw32\.a|libmingwex\.a|libmsvcrt\.a|crt\w*\.o")),
    ("import stubs", re.compile(r"lib(kernel32|user32|gdi32|advapi32|shell32|ole32)\.a")),
]
# An input section: " .name  0xADDRESS  0xSIZE  origin", where a long name
# stands alone on its line and the rest follows on the next.
SECTION = re.compile(r"^ (\.(?:text|rdata|data|eh_frame|rodata|tls|CRT)\S*)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+))?\s*$")
CONTINUATION = re.compile(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)\s*$")


def breakdown(path):
    sizes = collections.Counter()
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = iter(f)
        for line in lines:  # what the linker dropped comes first
            if line.startswith("Linker script and memory map"):
                break
        for line in lines:
            m = SECTION.match(line)
            if not m:
                continue
            if m.group(2):
                size, origin = m.group(2), m.group(3)
            else:
                c = CONTINUATION.match(next(lines, ""))
                if not c:
                    continue
                size, origin = c.group(1), c.group(2)
            group = next((name for name, rx in GROUPS if rx.search(origin)), "our code")
            sizes[group] += int(size, 16)
    return sizes


def main():
    sizes = breakdown(sys.argv[1])
    total = sum(sizes.values())
    for name, size in sizes.most_common():
        print(f"  {name:40s} {size:8d} bytes {100 * size / total:5.1f} %")
    print(f"  {'code and data in all':40s} {total:8d} bytes")


if __name__ == "__main__":
    main()
