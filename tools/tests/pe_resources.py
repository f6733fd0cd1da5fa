"""Reads the resources and imports of a 32-bit or 64-bit Windows exe, and decodes the
resource formats the launcher uses (dialog templates, string tables), so
that tests can check a built exe byte for byte."""
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
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
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

    def imported_dlls(self):
        rva, _ = self.directories[1]
        names = []
        at = self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, at + 12)[0]
            if name_rva == 0:
                return names
            names.append(self.c_string(name_rva))
            at += 20

    def resources(self):
        """{(type, id, language): bytes} for numeric types and ids."""
        root_rva, _ = self.directories[2]
        base = self.offset(root_rva)
        found = {}

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield name, target

        for type_id, type_dir in entries(0):
            for res_id, name_dir in entries(type_dir & 0x7FFFFFFF):
                for language, leaf in entries(name_dir & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found[(type_id, res_id, language)] = self.data[start:start + size]
        return found


def decode_string_block(block_id, data):
    strings, at = {}, 0
    for slot in range(16):
        length = struct.unpack_from("<H", data, at)[0]
        at += 2
        if length:
            strings[(block_id - 1) * 16 + slot] = data[at:at + 2 * length].decode("utf-16-le", "surrogatepass")
        at += 2 * length
    return strings


def _sz_or_ordinal(data, at):
    """A dialog field: 0 (none), 0xFFFF + ordinal, or a NUL-terminated UTF-16 text."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0:
        return "", at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def decode_dialogex(data):
    version, signature, help_id, ex_style, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    dialog = dict(version=version, signature=signature, help_id=help_id, ex_style=ex_style, style=style,
                  rect=(x, y, cx, cy), controls=[])
    at = 26
    dialog["menu"], at = _sz_or_ordinal(data, at)
    dialog["class"], at = _sz_or_ordinal(data, at)
    dialog["title"], at = _sz_or_ordinal(data, at)
    if style & 0x40:  # DS_SETFONT
        point, weight, italic, charset = struct.unpack_from("<HHBB", data, at)
        face, at = _sz_or_ordinal(data, at + 6)
        dialog["font"] = (point, weight, italic, charset, face)
    for _ in range(count):
        at = (at + 3) & ~3
        help_id, ex_style, style, x, y, cx, cy, control_id = struct.unpack_from("<IIIhhhhi", data, at)
        at += 24
        window_class, at = _sz_or_ordinal(data, at)
        text, at = _sz_or_ordinal(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        dialog["controls"].append(dict(id=control_id, window_class=window_class, style=style, rect=(x, y, cx, cy),
                                       text=text, help_id=help_id, ex_style=ex_style, extra=extra))
    return dialog
