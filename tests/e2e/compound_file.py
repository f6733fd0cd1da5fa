"""Reads a compound file (structured storage), the form of a Windows
Installer package and its transforms, so that the tests can compare what two
tools stored in one: every stream's bytes and every storage's class id, by
path. Standard library only."""
import struct

FREE, END_OF_CHAIN = 0xFFFFFFFF, 0xFFFFFFFE
STORAGE, STREAM, ROOT = 1, 2, 5


def read(path):
    """{"storage/stream": bytes} for every stream and {"storage/": class id}
    for every storage below the root, names as the file holds them."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != bytes.fromhex("d0cf11e0a1b11ae1"):
        raise ValueError(f"{path} is not a compound file")
    sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
    mini_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
    first_directory, = struct.unpack_from("<I", data, 0x30)
    cutoff, first_mini_fat, _, first_difat, difat_count = struct.unpack_from("<IIIII", data, 0x38)

    def sector(number):
        start = (number + 1) * sector_size
        return data[start:start + sector_size]

    fat_sectors = [n for n in struct.unpack_from("<109I", data, 0x4C) if n not in (FREE, END_OF_CHAIN)]
    for _ in range(difat_count):
        entries = struct.unpack(f"<{sector_size // 4}I", sector(first_difat))
        fat_sectors += [n for n in entries[:-1] if n not in (FREE, END_OF_CHAIN)]
        first_difat = entries[-1]
    fat = [n for s in fat_sectors for n in struct.unpack(f"<{sector_size // 4}I", sector(s))]

    def chain(start, table):
        while start not in (FREE, END_OF_CHAIN):
            yield start
            start = table[start]

    def regular(start):
        return b"".join(sector(n) for n in chain(start, fat))

    directory = regular(first_directory)
    entries = [directory[i:i + 128] for i in range(0, len(directory), 128)]
    mini_fat_bytes = regular(first_mini_fat) if first_mini_fat != END_OF_CHAIN else b""
    mini_fat = list(struct.unpack(f"<{len(mini_fat_bytes) // 4}I", mini_fat_bytes))
    root = entries[0]
    mini_stream = regular(struct.unpack_from("<I", root, 116)[0])

    def stream(entry):
        start, size = struct.unpack_from("<IQ", entry, 116)
        if sector_size == 512:
            size &= 0xFFFFFFFF  # version 3 files keep the size in 32 bits
        if size < cutoff:
            return b"".join(mini_stream[n * mini_size:(n + 1) * mini_size] for n in chain(start, mini_fat))[:size]
        return regular(start)[:size]

    found = {}

    def walk(index, prefix):
        if index == FREE or index >= len(entries):
            return
        entry = entries[index]
        name_bytes, = struct.unpack_from("<H", entry, 64)
        name = entry[:max(name_bytes - 2, 0)].decode("utf-16-le", "surrogatepass")
        kind = entry[66]
        left, right, child = struct.unpack_from("<III", entry, 68)
        walk(left, prefix)
        walk(right, prefix)
        if kind == STREAM:
            found[prefix + name] = stream(entry)
        elif kind == STORAGE:
            found[prefix + name + "/"] = entry[80:96]
            walk(child, prefix + name + "/")

    walk(struct.unpack_from("<I", root, 76)[0], "")
    return found
