#!/usr/bin/env python3
"""Checks a built launcher image: PE32 or PE32+ as asked, GUI subsystem, only system DLLs
imported, and the package marker nowhere in it. Prints the image size and its sections."""
import struct
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "comctl32.dll", "comdlg32.dll", "msvcrt.dll", "shlwapi.dll", "oleaut32.dll", "uuid.dll",
}
# Kept in two halves here too, so that this script never holds the whole marker.
MARKER = "7A41E2C8-95B3-4D17" + "-A6F0-3B8E5C92D1A4"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def main():
    path, want = sys.argv[1], sys.argv[2]  # want: pe32 or pe32+
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        fail("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("no PE signature")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    kind = {0x10B: "pe32", 0x20B: "pe32+"}.get(magic, hex(magic))
    if kind != want:
        fail("image is %s, expected %s" % (kind, want))
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    if subsystem != 2:
        fail("subsystem %d is not the Windows GUI" % subsystem)
    dirs = opt + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, dirs + 8)[0]

    table = []
    for i in range(sections):
        s = opt + optional_size + 40 * i
        name = data[s:s + 8].rstrip(b"\0").decode()
        vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
        table.append((name, vaddr, max(vsize, rawsize), rawptr, rawsize))

    def offset(rva):
        for _, vaddr, size, rawptr, _ in table:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + rawptr
        fail("rva %x outside every section" % rva)

    dlls = []
    at = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, at + 12)[0]
        if name_rva == 0:
            break
        start = offset(name_rva)
        dlls.append(data[start:data.index(b"\0", start)].decode().lower())
        at += 20
    foreign = [d for d in dlls if d not in SYSTEM_DLLS]
    if foreign:
        fail("imports non-system libraries: " + ", ".join(foreign))
    lowered = data.lower()
    if MARKER.encode() in data or MARKER.lower().encode() in lowered:
        fail("the package marker stands whole in the image")

    print("%s: %s GUI, %d bytes, imports %s" % (path, kind, len(data), ", ".join(dlls)))
    for name, _, _, _, rawsize in table:
        print("  %-8s %8d bytes" % (name, rawsize))


if __name__ == "__main__":
    main()
