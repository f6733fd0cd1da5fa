"""Reads the resources and imports of a 32-bit or 64-bit Windows exe, and decodes a
string table, so that tests can check a built exe byte for byte: the one reader of exes the
tests have, for the product build's tests and the end-to-end bench."""
import struct


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path} is not a PE file")
        self.machine, section_count = struct.unpack_from("<HH", self.data, pe + 4)
        optional_size = struct.unpack_from("<H", self.data, pe + 20)[0]
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", self.data, optional + 68)
        self.checksum_at = optional + 64
        self.checksum = struct.unpack_from("<I", self.data, self.checksum_at)[0]
        # The data directories follow the fields whose size differs: PE32 (0x10B), PE32+ (0x20B).
        directories = optional + (112 if self.magic == 0x20B else 96)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            name, vsize, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(vsize, raw_size), raw_offset))

    def offset(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} is in no section")

    def computed_checksum(self):
        """The image checksum of the file as it is, its own field read as zeros."""
        data = self.data[:self.checksum_at] + bytes(4) + self.data[self.checksum_at + 4:]
        words = memoryview(data + bytes(len(data) % 2)).cast("H")
        total = sum(words)
        while total > 0xFFFF:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(data)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imported_dlls(self, delayed=False):
        """The DLLs the import directory names, or with `delayed` the delay-load directory."""
        directory, record, name_field = (13, 32, 4) if delayed else (1, 20, 12)
        rva, _ = self.directories[directory]
        names = []
        if rva == 0:
            return names
        at = self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, at + name_field)[0]
            if name_rva == 0:
                return names
            names.append(self.c_string(name_rva))
            at += record

    def _directory(self, directory):
        """(file offset of the entry, name, target) for each entry of a
        resource directory at `directory` within the section."""
        base = self.offset(self.directories[2][0])
        named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
        for i in range(named + numbered):
            at = base + directory + 16 + 8 * i
            name, target = struct.unpack_from("<II", self.data, at)
            yield at, name, target & 0x7FFFFFFF

    def resources(self):
        """{(type, id, language): bytes} for numeric types and ids."""
        base = self.offset(self.directories[2][0])
        found = {}
        for _, type_id, type_dir in self._directory(0):
            for _, res_id, name_dir in self._directory(type_dir):
                for _, language, leaf in self._directory(name_dir):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found[(type_id, res_id, language)] = self.data[start:start + size]
        return found

    def resource_name_fields(self, type_id):
        """{id: file offset of its name field} for the resources of one type."""
        for _, found_type, type_dir in self._directory(0):
            if found_type == type_id:
                return {res_id: at for at, res_id, _ in self._directory(type_dir)}
        return {}


def decode_string_block(block_id, data):
    strings, at = {}, 0
    for slot in range(16):
        length = struct.unpack_from("<H", data, at)[0]
        at += 2
        if length:
            strings[(block_id - 1) * 16 + slot] = data[at:at + 2 * length].decode("utf-16-le", "surrogatepass")
        at += 2 * length
    return strings
