#!/usr/bin/env python3
"""Helpers of scripts/test-windows that read files the shell cannot: the version resource and the manifest
of the program, and screenshots of its window (binary PPM, as ImageMagick's import writes them). Standard
library only.

  windows_checks.py version RAW   the version resource (wrestool -x --raw --type=16) as key=value lines
  windows_checks.py manifest XML  what the manifest (wrestool -x --raw --type=24) asks of Windows, as
                                  key=value lines: execution level, supported systems, DPI awareness
  windows_checks.py lit SHOT      how many pixels of the screenshot differ from black
  windows_checks.py kept A B      the percentage of the pixels lit in A that are still lit in B
  windows_checks.py differ A B    how many pixels differ between two screenshots of one size
  windows_checks.py wm-icon X R   whether the window icons X (xprop -notype 32c _NET_WM_ICON) hold the
                                  32 x 32 picture R (raw RGBA): "match", or what differs
"""

import struct
import sys
import xml.etree.ElementTree as ElementTree


def version_entries(data):
    """Walks the version resource: a tree of blocks, each a length, a value length, a type, a UTF-16 key,
    a value and children, every part aligned to 4 bytes. Yields (key, value) for the fixed part and for
    every text entry."""

    def align(pos):
        return (pos + 3) & ~3

    def block(pos):
        length, value_length, kind = struct.unpack_from("<HHH", data, pos)
        end_key = pos + 6
        while data[end_key:end_key + 2] != b"\0\0":
            end_key += 2
        key = data[pos + 6:end_key].decode("utf-16-le")
        value_pos = align(end_key + 2)
        value_size = value_length * 2 if kind == 1 else value_length
        value = data[value_pos:value_pos + value_size]
        children = []
        child = align(value_pos + value_size)
        while child < pos + length:
            sub = block(child)
            children.append(sub)
            child = align(child + sub[0])
        return length, key, kind, value, children

    length, key, _, value, children = block(0)
    if key != "VS_VERSION_INFO" or len(value) < 52:
        raise ValueError("not a version resource")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", value, 0)
    if signature != 0xFEEF04BD:
        raise ValueError("the fixed version information is missing")
    dotted = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    yield "fixed.FileVersion", dotted(file_ms, file_ls)
    yield "fixed.ProductVersion", dotted(product_ms, product_ls)
    for _, name, _, _, tables in children:
        if name != "StringFileInfo":
            continue
        for _, _, _, _, strings in tables:
            for _, entry, _, text, _ in strings:
                yield entry, text.decode("utf-16-le").rstrip("\0")


# The systems a manifest can name as supported, by the identifiers Windows gives them.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10/11",
}


def manifest_entries(data):
    """Yields (key, value) for what the manifest asks: each element is matched by its local name, whatever
    namespace it is in, as Windows reads them."""
    root = ElementTree.fromstring(data)
    for element in root.iter():
        name = element.tag.rpartition("}")[2]
        if name == "requestedExecutionLevel":
            yield "requestedExecutionLevel", element.get("level", "")
            yield "uiAccess", element.get("uiAccess", "")
        elif name == "supportedOS":
            guid = element.get("Id", "").lower()
            yield "supportedOS", SUPPORTED_OS.get(guid, f"unknown {guid}")
        elif name in ("dpiAware", "dpiAwareness"):
            yield name, (element.text or "").strip()


def read_ppm(path):
    """A binary PPM (P6) with 8-bit samples: (width, height, bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + 3 * width * height]
    if len(pixels) != 3 * width * height:
        raise ValueError(f"{path}: truncated")
    return width, height, pixels


def lit_set(path):
    width, height, pixels = read_ppm(path)
    return (width, height), {i for i in range(width * height) if pixels[3 * i:3 * i + 3] != b"\0\0\0"}


def wm_icon(xprop_text, rgba):
    """The property is a list of pictures, each its width, its height and then one 0xAARRGGBB word per
    pixel. Matches when one of them shows the expected picture; transparent pixels compare by alpha alone."""
    _, _, values = xprop_text.partition("=")
    words = [int(v) for v in values.replace(",", " ").split()]
    expected = [(a << 24) | (r << 16) | (g << 8) | b for r, g, b, a in zip(*[iter(rgba)] * 4)]

    def same(got, want):
        return got == want if want >> 24 else got >> 24 == 0

    found = []
    pos = 0
    while pos + 2 <= len(words):
        width, height = words[pos], words[pos + 1]
        pixels = words[pos + 2:pos + 2 + width * height]
        pos += 2 + width * height
        if len(pixels) != len(expected):
            found.append(f"{width}x{height}")
            continue
        differing = sum(1 for got, want in zip(pixels, expected) if not same(got, want))
        if differing == 0:
            return "match"
        found.append(f"{width}x{height} with {differing} pixels differing")
    return "no matching picture among: " + (", ".join(found) or "none")


def main(argv):
    if len(argv) == 2 and argv[0] == "version":
        with open(argv[1], "rb") as f:
            for key, value in version_entries(f.read()):
                print(f"{key}={value}")
        return 0
    if len(argv) == 2 and argv[0] == "manifest":
        with open(argv[1], "rb") as f:
            for key, value in manifest_entries(f.read()):
                print(f"{key}={value}")
        return 0
    if len(argv) == 2 and argv[0] == "lit":
        print(len(lit_set(argv[1])[1]))
        return 0
    if len(argv) == 3 and argv[0] == "kept":
        size_a, a = lit_set(argv[1])
        size_b, b = lit_set(argv[2])
        if size_a != size_b or not a:
            print(0)
        else:
            print(100 * len(a & b) // len(a))
        return 0
    if len(argv) == 3 and argv[0] == "differ":
        width_a, height_a, a = read_ppm(argv[1])
        width, height, b = read_ppm(argv[2])
        if (width_a, height_a) != (width, height):
            print(width * height)
        else:
            print(sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]))
        return 0
    if len(argv) == 3 and argv[0] == "wm-icon":
        with open(argv[1], encoding="utf-8") as f, open(argv[2], "rb") as g:
            print(wm_icon(f.read(), g.read()))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
