#!/usr/bin/env python3
"""Reads the import tables of Windows programs and refuses any DLL that a clean Windows would not
load from its own system folder.

A DLL named in a program's import table is resolved by the loader before the program's first
instruction. Only KnownDLLs are taken from the system folder unconditionally; any other name is
searched for in the program's own folder first (a DLL planted beside setup.exe in Downloads), and
a DLL that Windows does not ship at all (zlib1.dll) stops the program from starting.

  check_imports.py --kind PE32|PE32+ [--expect-rejected a.dll,b.dll] program.exe...

Prints one line per program with its size and imports, one line per fault naming the program
and the DLL, and exits 1 on any fault. With --expect-rejected it checks the checker: it passes
only when exactly those DLLs are rejected.
"""
import argparse
import os
import struct
import sys

# KnownDLLs on every Windows we support (XP to 11), plus ntdll, which the kernel maps itself.
KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "msvcrt.dll", "shlwapi.dll", "comdlg32.dll", "rpcrt4.dll", "ntdll.dll",
}
# System libraries that are not KnownDLLs: allowed only as delay imports, whose loading our
# programs route to the system folder.
SYSTEM_DLLS = KNOWN_DLLS | {"comctl32.dll", "version.dll", "uxtheme.dll", "winmm.dll", "crypt32.dll",
                            "wintrust.dll", "userenv.dll"}

IMPORT_DIRECTORY, DELAY_IMPORT_DIRECTORY = 1, 13


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not a Windows program (no MZ header)")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows program (no PE signature)")
        sections, optional_size = struct.unpack_from("<H12xH", d, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", d, optional)[0]
        self.kind = {0x10B: "PE32", 0x20B: "PE32+"}.get(magic, "unknown")
        directories = optional + (96 if self.kind == "PE32" else 112)
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", d, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for virtual_size, virtual_address, raw_size, raw_pointer in self.sections:
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return raw_pointer + rva - virtual_address
        raise ValueError(f"address {rva:#x} lies in no section")

    def name_at(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def dll_names(self, directory, descriptor_size, name_field):
        rva, size = self.directories[directory]
        names = []
        if rva == 0 or size == 0:
            return names
        at = self.offset(rva)
        while True:
            descriptor = self.data[at:at + descriptor_size]
            if len(descriptor) < descriptor_size or descriptor == b"\0" * descriptor_size:
                return names
            names.append(self.name_at(struct.unpack_from("<I", descriptor, name_field)[0]))
            at += descriptor_size


def check(path, kind):
    image = PeImage(path)
    program = os.path.basename(path)
    faults = []
    if image.kind != kind:
        faults.append((None, f"{program}: is {image.kind}, but this build ships {kind} programs"))
    imports = image.dll_names(IMPORT_DIRECTORY, 20, 12)
    delayed = image.dll_names(DELAY_IMPORT_DIRECTORY, 32, 4)
    for dll in imports:
        if dll.lower() not in KNOWN_DLLS:
            why = ("a system DLL, but not a KnownDLL: the loader would look for it beside the program first"
                   if dll.lower() in SYSTEM_DLLS else "not part of Windows")
            faults.append((dll, f"{program}: imports {dll}, which is {why}"))
    for dll in delayed:
        if dll.lower() not in SYSTEM_DLLS:
            faults.append((dll, f"{program}: delay-imports {dll}, which is not part of Windows"))
    size = len(image.data)
    shown = ", ".join(imports + [d + " (delayed)" for d in delayed])
    print(f"{program} ({image.kind}): {size} bytes = {size / 1024:.0f} KiB; imports {shown}")
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kind", required=True, choices=["PE32", "PE32+"])
    parser.add_argument("--expect-rejected", default=None)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    faults = []
    for path in args.programs:
        try:
            faults += check(path, args.kind)
        except (OSError, ValueError, struct.error) as e:
            faults.append((None, f"{os.path.basename(path)}: cannot read its import table: {e}"))
    for _, message in faults:
        print("FAULT " + message)
    if args.expect_rejected is not None:
        expected = {name.lower() for name in args.expect_rejected.split(",")}
        rejected = {dll.lower() for dll, _ in faults if dll is not None}
        if rejected != expected:
            print(f"the checker rejected {sorted(rejected)}, expected {sorted(expected)}")
            return 1
        print("the checker rejected exactly what it should")
        return 0
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
