#!/usr/bin/python3
"""The DLLs a program imports statically, read from its link map and from
its import table, and whether each is one the system always loads from its
own folder (a KnownDLL); a DLL of any other name could be planted beside
the program and would be loaded before the program's first instruction.

    imports.py LINK_MAP PROGRAM

Prints the DLLs with the number of functions taken from each; exits 1 when
the map and the table disagree or a DLL is not a KnownDLL.
"""
import collections
import re
import sys

import pefile

# The KnownDLLs of Windows Vista to 10 (with msvcrt, which they all list).
KNOWN = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
    "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "wow64", "ws2_32",
}


def from_map(path):
    """DLL name -> import thunks, from the import libraries' members the
    linker placed in the import address table."""
    counts = collections.Counter()
    member = re.compile(r"\.idata\$5\s+0x[0-9a-f]+\s+0x[0-9a-f]+\s+\S*?lib(\w+)\.a\(")
    with open(path, errors="replace") as f:
        for line in f:
            m = member.search(line)
            if m:
                counts[m.group(1).lower()] += 1
    return counts


def from_table(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    return {
        entry.dll.decode().lower().removesuffix(".dll"): len(entry.imports)
        for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    }


def main():
    mapped, table = from_map(sys.argv[1]), from_table(sys.argv[2])
    ok = True
    for dll in sorted(set(mapped) | set(table)):
        known = dll in KNOWN
        note = "KnownDLL" if known else "NOT a KnownDLL: could be planted"
        if dll not in table or dll not in mapped:
            note += "; only in the " + ("link map" if dll not in table else "import table")
            ok = False
        ok = ok and known
        print("%-12s %4d functions  %s" % (dll + ".dll", table.get(dll, 0), note))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
