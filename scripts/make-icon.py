#!/usr/bin/env python3
"""Draws the application icon from its text source (assets/icon.txt): writes the Windows icon with every
picture, a PNG of the largest colour picture for the desktop entry, a C++ header with that picture's
pixels for the window, and the PNGs of a desktop's icon theme in the sizes asked for, scaled up pixel for
pixel from the drawn pictures. Standard library only, so the build needs nothing beyond Python 3.

  make-icon.py --source assets/icon.txt [--ico zarvo1.ico] [--png zarvo1.png] [--header icon_pixels.hpp]
               [--theme DIR --sizes 16,32,48]   writes DIR/16x16/apps/zarvo1.png and so on
"""

import argparse
import os
import struct
import sys
import zlib


class IconError(Exception):
    pass


class Picture:
    def __init__(self, width, height, palette, rows, line):
        self.width = width
        self.height = height
        self.palette = palette  # characters in colour-table order
        self.rows = rows  # top row first
        self.line = line  # where the picture starts in the source, for messages

    @property
    def bits(self):
        n = len(self.palette)
        return 1 if n <= 2 else 4 if n <= 16 else 8


def parse(text, name):
    """Reads the source: colours, the transparent character and the pictures, checking every row."""
    colours = {}
    transparent = None
    pictures = []
    lines = text.splitlines()
    i = 0

    def fail(lineno, message):
        raise IconError(f"{name}:{lineno}: {message}")

    while i < len(lines):
        lineno = i + 1
        words = lines[i].split()
        i += 1
        if not words or words[0].startswith("#"):
            continue
        if words[0] == "colour":
            if len(words) < 3 or len(words[1]) != 1 or len(words[2]) != 6:
                fail(lineno, "expected: colour C RRGGBB [name]")
            try:
                value = int(words[2], 16)
            except ValueError:
                fail(lineno, f"not a hexadecimal colour: {words[2]}")
            if words[1] in colours:
                fail(lineno, f"colour {words[1]} is named twice")
            colours[words[1]] = value
        elif words[0] == "transparent":
            if len(words) != 2 or len(words[1]) != 1:
                fail(lineno, "expected: transparent C")
            transparent = words[1]
        elif words[0] == "picture":
            if len(words) != 4 or not words[1].isdigit() or not words[2].isdigit():
                fail(lineno, "expected: picture WIDTH HEIGHT PALETTE")
            width, height, palette = int(words[1]), int(words[2]), words[3]
            if not (1 <= width <= 256 and 1 <= height <= 256):
                fail(lineno, "a picture measures 1 to 256 pixels a side")
            if len(set(palette)) != len(palette) or len(palette) > 256:
                fail(lineno, "the palette lists at most 256 distinct characters")
            for c in palette:
                if c not in colours:
                    fail(lineno, f"palette character {c!r} has no colour")
                if c == transparent:
                    fail(lineno, "the transparent character cannot be in a palette")
            if i + height > len(lines):
                fail(lineno, f"the picture needs {height} rows")
            rows = lines[i:i + height]
            for r, row in enumerate(rows):
                if len(row) != width:
                    fail(i + r + 1, f"row of {len(row)} characters, the picture is {width} wide")
                for c in row:
                    if c != transparent and c not in palette:
                        fail(i + r + 1, f"character {c!r} is not in the picture's palette")
            pictures.append(Picture(width, height, palette, rows, lineno))
            i += height
        else:
            fail(lineno, f"unknown line: {words[0]}")
    if not pictures:
        raise IconError(f"{name}: no picture")
    return colours, transparent, pictures


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def pack_bits(values, bits):
    """Packs palette indices (or mask bits) most significant first, as a bitmap row stores them."""
    out = bytearray()
    per_byte = 8 // bits
    for start in range(0, len(values), per_byte):
        byte = 0
        chunk = values[start:start + per_byte]
        for k, v in enumerate(chunk):
            byte |= v << (8 - bits * (k + 1))
        out.append(byte)
    return bytes(out)


def icon_image(picture, colours, transparent):
    """One image of an icon: a bitmap header of double height, the colour table, the colour rows and the
    mask rows, both bottom row first. A transparent pixel is colour 0 with its mask bit set."""
    bits = picture.bits
    size = 1 << bits
    table = b"".join(struct.pack("<BBBB", colours[c] & 0xFF, (colours[c] >> 8) & 0xFF, colours[c] >> 16, 0)
                     for c in picture.palette)
    table += b"\0" * (4 * (size - len(picture.palette)))
    index = {c: n for n, c in enumerate(picture.palette)}
    xor = b""
    mask = b""
    for row in reversed(picture.rows):
        xor += padded(pack_bits([0 if c == transparent else index[c] for c in row], bits))
        mask += padded(pack_bits([1 if c == transparent else 0 for c in row], 1))
    header = struct.pack("<IiiHHIIiiII", 40, picture.width, 2 * picture.height, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + table + xor + mask


def ico_file(pictures, colours, transparent):
    """The icon file: a directory of 16-byte entries, then the images in the same order."""
    images = [icon_image(p, colours, transparent) for p in pictures]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, image in zip(pictures, images):
        count = 1 << p.bits
        out += struct.pack("<BBBBHHII", p.width % 256, p.height % 256, count % 256, 0, 1, p.bits,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def argb_pixels(picture, colours, transparent):
    """Top row first, 0xAARRGGBB; a transparent pixel is 0."""
    return [0 if c == transparent else 0xFF000000 | colours[c] for row in picture.rows for c in row]


def png_file(picture, colours, transparent, size=None):
    """An 8-bit RGBA PNG of the picture, scaled to size x size by repeating each pixel (nearest neighbour:
    a drawn pixel stays a sharp square) when a size is given."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    pixels = argb_pixels(picture, colours, transparent)
    width = size or picture.width
    height = size or picture.height
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no filter
        source_row = y * picture.height // height * picture.width
        for x in range(width):
            p = pixels[source_row + x * picture.width // width]
            raw += bytes(((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF, p >> 24))
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def theme_source(pictures, size):
    """The drawn picture a theme size is made from: among the square pictures with the most colours, the
    largest one that the size is a whole multiple of (every drawn pixel becomes a square of equal pixels),
    or the largest one when none divides it."""
    colourful = max(len(p.palette) for p in pictures)
    square = sorted((p for p in pictures if p.width == p.height and len(p.palette) == colourful),
                    key=lambda p: p.width, reverse=True)
    if not square:
        raise IconError("no square colour picture to make the theme's icons from")
    return next((p for p in square if p.width <= size and size % p.width == 0), square[0])


def header_file(picture, colours, transparent, source):
    pixels = argb_pixels(picture, colours, transparent)
    w, h = picture.width, picture.height
    lines = [
        f"// The window icon: the {w} x {h} colour picture of {source}, made by scripts/make-icon.py at build",
        "// time. Do not edit; edit the source picture.",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "namespace zarvo {",
        "",
        f"inline constexpr int kIconWidth = {w};",
        f"inline constexpr int kIconHeight = {h};",
        "// Rows top first, 0xAARRGGBB; transparent pixels are 0.",
        f"inline constexpr std::uint32_t kIconPixels[{w} * {h}] = {{",
    ]
    for y in range(h):
        row = pixels[y * w:(y + 1) * w]
        for start in range(0, w, 8):
            lines.append("    " + " ".join(f"0x{p:08X}U," for p in row[start:start + 8]))
    lines += ["};", "", "}  // namespace zarvo", ""]
    return "\n".join(lines)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--source", required=True, help="the icon's text source")
    ap.add_argument("--ico", help="write the Windows icon with every picture here")
    ap.add_argument("--png", help="write the largest colour picture as a PNG here")
    ap.add_argument("--header", help="write the largest colour picture as a C++ header here")
    ap.add_argument("--theme", help="write the icon theme's pictures under this folder")
    ap.add_argument("--sizes", default="16,32,48,64,128,256", help="the theme's sizes, comma-separated")
    args = ap.parse_args(argv)
    try:
        with open(args.source, encoding="utf-8") as f:
            colours, transparent, pictures = parse(f.read(), args.source)
    except (OSError, IconError) as e:
        print(f"make-icon: {e}", file=sys.stderr)
        return 1
    # The window and the desktop get the largest picture, with the most colours among those.
    best = max(pictures, key=lambda p: (p.width * p.height, len(p.palette)))
    source = args.source.replace("\\", "/").split("/")[-1]
    outputs = [
        (args.ico, lambda: ico_file(pictures, colours, transparent)),
        (args.png, lambda: png_file(best, colours, transparent)),
        (args.header, lambda: header_file(best, colours, transparent, source).encode()),
    ]
    try:
        sizes = [int(s) for s in args.sizes.split(",")]
        if args.theme:
            for size in sizes:
                if not 1 <= size <= 1024:
                    raise IconError(f"a theme size of {size} pixels")
                folder = os.path.join(args.theme, f"{size}x{size}", "apps")
                os.makedirs(folder, exist_ok=True)
                picture = theme_source(pictures, size)
                outputs.append((os.path.join(folder, "zarvo1.png"),
                                lambda p=picture, n=size: png_file(p, colours, transparent, n)))
        for path, make in outputs:
            if path:
                with open(path, "wb") as f:
                    f.write(make())
    except (OSError, ValueError, IconError) as e:
        print(f"make-icon: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
