"""Reads what decides whether a Windows loader starts a PE file: the machine,
the operating-system and subsystem versions its optional header asks for, and
every function it imports by name or ordinal, per DLL. Standard library only;
every read is checked against the file's length."""

import struct

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
PE32_MAGIC = 0x10B
PE32PLUS_MAGIC = 0x20B
IMPORT_DIRECTORY_INDEX = 1
IMPORT_DESCRIPTOR_SIZE = 20


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        self._read_headers()
        self.imports = self._read_imports()

    def _unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset > len(self.data) - size:
            raise PeError("truncated at offset %#x" % offset)
        return struct.unpack_from(fmt, self.data, offset)

    def _read_headers(self):
        if self._unpack("<2s", 0)[0] != b"MZ":
            raise PeError("no MZ signature")
        pe = self._unpack("<I", 0x3C)[0]
        if self._unpack("<4s", pe)[0] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = self._unpack("<HHIIIHH", pe + 4)
        optional = pe + 24
        self.magic = self._unpack("<H", optional)[0]
        if self.magic not in (PE32_MAGIC, PE32PLUS_MAGIC):
            raise PeError("unknown optional header magic %#x" % self.magic)
        (self.os_version, _, self.subsystem_version) = (
            self._unpack("<HH", optional + 40), self._unpack("<HH", optional + 44),
            self._unpack("<HH", optional + 48))
        self.subsystem = self._unpack("<H", optional + 68)[0]
        directories = optional + (96 if self.magic == PE32_MAGIC else 112)
        self.import_rva = self._unpack("<I", directories + 8 * IMPORT_DIRECTORY_INDEX)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, va, rsize, raw = self._unpack("<IIII", table + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw, rsize))

    def _offset(self, rva):
        for va, span, raw, rsize in self.sections:
            if va <= rva < va + span and rva - va < rsize:
                return raw + rva - va
        raise PeError("address %#x lies in no section" % rva)

    def _string(self, rva):
        start = self._offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError("unterminated name at %#x" % rva)
        return self.data[start:end].decode("ascii", "replace")

    def _read_imports(self):
        imports = {}
        if not self.import_rva:
            return imports
        thunk_format, ordinal_flag = ("<I", 1 << 31) if self.magic == PE32_MAGIC else ("<Q", 1 << 63)
        step = struct.calcsize(thunk_format)
        descriptor = self._offset(self.import_rva)
        while True:
            lookup, _, _, name_rva, first_thunk = self._unpack("<IIIII", descriptor)
            if not (lookup or name_rva or first_thunk):
                break
            names = imports.setdefault(self._string(name_rva).upper(), set())
            thunk = self._offset(lookup or first_thunk)
            while True:
                entry = self._unpack(thunk_format, thunk)[0]
                if not entry:
                    break
                if entry & ordinal_flag:
                    names.add("#%d" % (entry & 0xFFFF))
                else:
                    names.add(self._string((entry & 0x7FFFFFFF) + 2))
                thunk += step
            descriptor += IMPORT_DESCRIPTOR_SIZE
        return imports


def read_pe(path):
    with open(path, "rb") as f:
        return PeFile(f.read())
