#!/usr/bin/env python3
"""Writes the fuzz target's starting corpus: small bitmaps Frimel must load, and broken ones it
must refuse. The files are committed; run this again only to change them. Files named found_*
are inputs the fuzzer itself found to break the reader, kept as they were found.
Usage: make_seeds.py OUTPUT_DIR"""
import os
import struct
import sys


def header(width, height, planes=1, bits=24, data_offset=54, info_size=40):
    row = (width * 3 + 3) // 4 * 4 if width > 0 else 0
    image_size = row * abs(height) & 0xFFFFFFFF  # the size fields wrap as in a real header
    file_head = b"BM" + struct.pack("<IHHI", (data_offset + image_size) & 0xFFFFFFFF, 0, 0, data_offset)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, planes, bits, 0, image_size,
                       2835, 2835, 0, 0)
    return file_head + info


def pixels(width, height):
    """Rows of a gradient, each padded to 4 bytes as a bitmap stores it."""
    row_bytes = (width * 3 + 3) // 4 * 4
    out = bytearray()
    for r in range(height):
        row = bytearray()
        for c in range(width):
            row += bytes(((c * 40) & 255, (r * 60) & 255, (c + r) * 17 & 255))
        out += row + bytes(row_bytes - len(row))
    return bytes(out)


def bitmap(width, height, **fields):
    return header(width, height, **fields) + pixels(width, abs(height))


SEEDS = {
    # Loadable.
    "valid_4x2.bmp": bitmap(4, 2),
    "valid_1x1.bmp": bitmap(1, 1),
    "valid_odd_3x3.bmp": bitmap(3, 3),
    "valid_odd_5x2.bmp": bitmap(5, 2),
    "valid_odd_7x1.bmp": bitmap(7, 1),
    "valid_trailing_bytes.bmp": bitmap(2, 2) + b"\xAA" * 9,
    # A longer header: the pixels are still taken from byte 54.
    "valid_v4_header.bmp": header(4, 1, data_offset=122, info_size=108) + pixels(4, 1) + bytes(68),
    # Refused.
    "empty.bmp": b"",
    "header_only.bmp": header(4, 4),
    "truncated_header.bmp": header(4, 4)[:23],
    "truncated_pixels.bmp": bitmap(4, 4)[:54 + 20],
    "odd_row_padding_missing.bmp": header(3, 2) + pixels(3, 2)[:18],
    "depth_32.bmp": header(2, 2, bits=32) + bytes(16),
    "depth_8.bmp": header(2, 2, bits=8) + bytes(8),
    "planes_0.bmp": header(2, 2, planes=0) + pixels(2, 2),
    "planes_2.bmp": header(2, 2, planes=2) + pixels(2, 2),
    "negative_height.bmp": header(4, -2) + pixels(4, 2),
    "negative_width.bmp": header(-4, 2) + pixels(4, 2),
    "zero_width.bmp": header(0, 5) + bytes(12),
    "zero_height.bmp": header(5, 0) + bytes(12),
    "huge_width.bmp": header(0x7FFFFFFF, 1) + pixels(4, 1),
    "huge_height.bmp": header(1, 0x7FFFFFFF) + pixels(1, 2),
    "huge_both.bmp": header(0x7FFFFFFF, 0x7FFFFFFF) + pixels(2, 2),
    "width_wraps_32_bits.bmp": header(0x55555556, 1) + pixels(2, 1),
    "min_int_sides.bmp": header(-0x80000000, -0x80000000) + pixels(2, 2),
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "seeds")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
