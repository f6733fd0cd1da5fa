#!/usr/bin/env python3
"""Draws the default launcher art and icon: background.bmp (and the same
scene at 1.5 and 2 times that size, background-150.bmp and
background-200.bmp, for 150 % and 200 % display scale) and app.ico.

Only the standard library is used and every pixel is computed from fixed
formulas, so running the script again gives byte-identical files. The art
is a tall painted scene for the left of the launcher window (a dusk sky,
layered mountains, mist, a forest and a shield emblem without any title);
the larger sizes sample the same formulas more finely rather than stretch
the small one. The icon is the same emblem, with 256 x 256 stored as PNG
and 64, 48, 40, 32, 24, 20 and 16 stored as 32-bit bitmaps, as Windows
expects: the window takes 16 and 32 at 100 %, 20 and 40 at 125 %, 24 and 48
at 150 %, 32 and 64 at 200 %.

Usage: make_art.py [OUTPUT_DIR]   (defaults to the script's folder)
"""
import math
import os
import struct
import sys
import zlib

ART_WIDTH, ART_HEIGHT = 164, 354
PIXELS_PER_METRE = 2834  # 72 dots per inch
ICON_SIZES = (256, 64, 48, 40, 32, 24, 20, 16)
# The art's file names and scales: 100 %, 150 %, 200 %.
ART_SCALES = (("background.bmp", 2, 2), ("background-150.bmp", 3, 2), ("background-200.bmp", 4, 2))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smoothstep(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def hash01(*values):
    """A deterministic pseudo-random number in [0, 1) from integers."""
    h = 2166136261
    for v in values:
        h = ((h ^ (v & 0xFFFFFFFF)) * 16777619) & 0xFFFFFFFF
    h ^= h >> 13
    h = (h * 0x5BD1E995) & 0xFFFFFFFF
    h ^= h >> 15
    return h / 2**32


def ridge(x, seed, scale, octaves):
    """A mountain skyline height in [0, 1] at column x: summed sines with a
    sharpened crest, so that peaks look craggy rather than rolling."""
    total, amplitude, norm = 0.0, 1.0, 0.0
    for octave in range(octaves):
        frequency = (octave + 1) ** 1.7 / scale
        phase = hash01(seed, octave) * math.tau
        total += amplitude * (1 - abs(math.sin(x * frequency + phase)))
        norm += amplitude
        amplitude *= 0.5
    return total / norm


# --- The emblem: a shield bearing a mountain peak under a star. -------------
# Coordinates are in the emblem's own unit square, (0, 0) top left.

def shield_inside(u, v):
    """Signed distance-like test: > 0 inside the shield outline."""
    if v < 0.08 or v > 0.96:
        return -1.0
    half_width = 0.40 if v < 0.55 else 0.40 * math.sqrt(max(0.0, 1 - ((v - 0.55) / 0.41) ** 2))
    return half_width - abs(u - 0.5)


def emblem_colour(u, v):
    """RGBA of the emblem at (u, v), alpha 0 outside."""
    inside = shield_inside(u, v)
    if inside < -0.0:
        return (0, 0, 0, 0.0)
    rim = inside < 0.045 or v < 0.08 + 0.045 or v > 0.96 - 0.05 * (1 - abs(u - 0.5) * 2)
    if rim:
        # Gold rim, lighter towards the top left.
        return mix((250, 214, 120), (170, 112, 40), (u + v) * 0.6) + (1.0,)
    # Field: deep blue, lighter at the top.
    colour = mix((46, 84, 150), (18, 30, 70), v)
    # A snowy peak rising from the lower part of the field.
    peak_height = 0.80 - 0.42 * max(0.0, 1 - abs(u - 0.5) / 0.30)
    if v > peak_height:
        snow = v < peak_height + 0.10 and abs(u - 0.5) < 0.16
        colour = (236, 240, 248) if snow else mix((120, 128, 150), (70, 74, 96), (v - peak_height) * 3)
        if u > 0.5 and not snow:
            colour = mix(colour, (40, 44, 66), 0.35)
    # A four-pointed star above the peak.
    dx, dy = u - 0.5, v - 0.26
    star = abs(dx) * abs(dy) < 0.0009 and abs(dx) + abs(dy) < 0.13
    if star or math.hypot(dx, dy) < 0.028:
        colour = (255, 244, 200)
    return colour + (1.0,)


def sample_emblem(x, y, left, top, size, samples=4, extent=1):
    """Anti-aliased RGBA of the emblem placed at (left, top) with `size`, over
    the pixel whose top left corner is (x, y) and whose side is `extent`."""
    r = g = b = a = 0.0
    for sy in range(samples):
        for sx in range(samples):
            u = (x + extent * (sx + 0.5) / samples - left) / size
            v = (y + extent * (sy + 0.5) / samples - top) / size
            cr, cg, cb, ca = emblem_colour(u, v)
            r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
    n = samples * samples
    if a == 0:
        return (0, 0, 0, 0.0)
    return (r / a, g / a, b / a, a / n)


# --- The background scene. -------------------------------------------------

def scene_pixel(px, py, zoom=1):
    """The colour of pixel (px, py) of the art drawn `zoom` times its size.
    The scene is laid out in the units of the 100 % art: (x, y) is where the
    pixel's centre falls there, whole numbers at 100 %."""
    w, h = ART_WIDTH, ART_HEIGHT
    x = (px + 0.5) / zoom - 0.5 if zoom != 1 else px
    y = (py + 0.5) / zoom - 0.5 if zoom != 1 else py
    ix, iy = int(math.floor(x + 0.5)), int(math.floor(y + 0.5))
    fy = y / h
    # Dusk sky: night blue at the top, violet, then a warm glow at the horizon.
    if fy < 0.26:
        sky = mix((14, 20, 56), (92, 62, 120), fy / 0.26)
    else:
        sky = mix((92, 62, 120), (244, 150, 84), (fy - 0.26) / 0.16)
    colour = sky
    # Stars in the upper sky, fading towards the glow.
    if fy < 0.30 and hash01(ix, iy, 7) > 0.994:
        colour = mix(colour, (255, 255, 240), 0.9 * (1 - fy / 0.30))
    # A low sun, half hidden by the far range.
    sun = math.hypot(x - w * 0.70, y - h * 0.42)
    colour = mix(colour, (255, 226, 160), smoothstep(26, 14, sun))
    colour = mix(colour, (255, 190, 120), 0.35 * smoothstep(70, 10, sun))

    # Three mountain ranges, far to near: paler and bluer with distance.
    ranges = (
        (0.50, 0.16, 31, 40.0, 4, (120, 104, 150)),
        (0.60, 0.20, 47, 30.0, 5, (74, 64, 110)),
        (0.72, 0.18, 61, 22.0, 5, (40, 36, 72)),
    )
    for base, height, seed, scale, octaves, tone in ranges:
        top = h * (base - height * ridge(x, seed, scale, octaves))
        if y >= top:
            depth = (y - top) / (h * 0.25)
            colour = mix(tone, mix(tone, (20, 18, 40), 0.5), depth)
            # Snow on the far crests.
            if base < 0.55 and y - top < 6 + 4 * hash01(ix, seed):
                colour = mix(colour, (236, 230, 246), 0.75)
            # Mist in the valley below each range.
            colour = mix(colour, (200, 170, 200), 0.25 * smoothstep(h * base, h * (base + 0.08), y))

    # Forest of pointed firs along the bottom.
    column = int(math.floor(x / 9))
    tree_top = h * (0.76 + 0.06 * hash01(column, 3))
    tree_width = 4.5 * (y - tree_top) / 26 if y > tree_top else -1
    if y > h * 0.86 or abs(x - (column * 9 + 4.5)) < tree_width:
        colour = mix((18, 34, 36), (6, 12, 16), (y - h * 0.80) / (h * 0.2))

    # The emblem, centred in the upper third, over the sky.
    size = 92
    left, top = (w - size) / 2, h * 0.08
    corner_x, corner_y = (px / zoom, py / zoom) if zoom != 1 else (x, y)
    if left <= corner_x < left + size and top <= corner_y < top + size:
        er, eg, eb, ea = sample_emblem(corner_x, corner_y, left, top, size, extent=1 / zoom)
        colour = mix(colour, (er, eg, eb), ea)
    # A faint vignette keeps the edges quiet beside the window frame.
    edge = min(x, w - 1 - x, y, h - 1 - y)
    colour = mix(colour, (0, 0, 0), 0.35 * smoothstep(12, 0, edge))
    return tuple(int(round(max(0, min(255, c)))) for c in colour)


def write_bmp(path, numerator=1, denominator=1):
    """The art at numerator / denominator of its 100 % size."""
    scale = numerator / denominator
    width, height = ART_WIDTH * numerator // denominator, ART_HEIGHT * numerator // denominator
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = scene_pixel(x, y, scale)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(header + info + pixels)


# --- The icon. --------------------------------------------------------------

def icon_rgba(size):
    """Rows top-down of (r, g, b, a) with a in 0..255."""
    margin = size * 0.02
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r, g, b, a = sample_emblem(x, y, margin, margin, size - 2 * margin, 8 if size <= 48 else 3)
            row.append((int(round(r)), int(round(g)), int(round(b)), int(round(a * 255))))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(rows):
    """A 32-bit icon image: header with doubled height, BGRA bottom-up, then
    the 1-bit AND mask (rows padded to 32 bits), set where fully transparent."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def write_ico(path):
    images = [(size, png_bytes(icon_rgba(size)) if size == 256 else dib_bytes(icon_rgba(size)))
              for size in ICON_SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(data for _, data in images))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, numerator, denominator in ART_SCALES:
        write_bmp(os.path.join(out_dir, name), numerator, denominator)
    write_ico(os.path.join(out_dir, "app.ico"))


if __name__ == "__main__":
    main()
