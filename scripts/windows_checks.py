#!/usr/bin/env python3
"""Helpers of scripts/test-windows that read what the shell cannot simply: the version resource (a binary
tree of blocks) and the manifest (XML) of the program. Standard library only; the pictures are read by the
shared shell helpers (scripts/e2e.sh).

  windows_checks.py version RAW   the version resource (wrestool -x --raw --type=16) as key=value lines
  windows_checks.py manifest XML  what the manifest (wrestool -x --raw --type=24) asks of Windows, as
                                  key=value lines: execution level, supported systems, DPI awareness
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
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
