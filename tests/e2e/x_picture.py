"""RGB pictures read from X window dumps (XWD) and written as PNG. Standard library only."""

import os
import struct
import zlib


class Image:
    """An RGB picture: width, height and rows of 3 bytes per pixel, top row first."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = bytes(rgb)

    def __eq__(self, other):
        return isinstance(other, Image) and (self.width, self.height, self.rgb) == \
            (other.width, other.height, other.rgb)

    def __hash__(self):
        return hash((self.width, self.height, self.rgb))

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def crop(self, x, y, width, height):
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        rows = [self.rgb[3 * (r * self.width + x0):3 * (r * self.width + x1)]
                for r in range(y0, y1)]
        return Image(x1 - x0, y1 - y0, b"".join(rows))

    def mean(self, x=0, y=0, width=None, height=None):
        """Average (r, g, b) of a rectangle, the whole picture by default."""
        part = self.crop(x, y, width or self.width, height or self.height)
        n = part.width * part.height
        if n == 0:
            return (0.0, 0.0, 0.0)
        return tuple(sum(part.rgb[c::3]) / n for c in range(3))

    def brightest(self):
        return max(self.rgb) if self.rgb else 0

    def is_blank(self, level=12):
        """True when no channel of any pixel rises above level: an empty or black screen."""
        return self.brightest() <= level

    def difference_mask(self, other, tolerance=24):
        """List of (x, y) where any channel differs by more than tolerance."""
        if (self.width, self.height) != (other.width, other.height):
            raise ValueError("pictures of different sizes")
        points = []
        a, b, w = self.rgb, other.rgb, self.width
        for row in range(self.height):
            start = 3 * row * w
            ra, rb = a[start:start + 3 * w], b[start:start + 3 * w]
            if ra == rb:
                continue
            for col in range(w):
                i = 3 * col
                if abs(ra[i] - rb[i]) > tolerance or abs(ra[i + 1] - rb[i + 1]) > tolerance or \
                        abs(ra[i + 2] - rb[i + 2]) > tolerance:
                    points.append((col, row))
        return points

    def count_differences(self, other, tolerance=24):
        return len(self.difference_mask(other, tolerance))

    def difference_box(self, other, tolerance=24):
        """(x0, y0, x1, y1) bounding the changed pixels, or None if nothing changed."""
        points = self.difference_mask(other, tolerance)
        if not points:
            return None
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        return (min(xs), min(ys), max(xs), max(ys))

    def save_png(self, path):
        raw = b"".join(b"\x00" + self.rgb[3 * r * self.width:3 * (r + 1) * self.width]
                       for r in range(self.height))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n" + \
            chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) + \
            chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
        directory = os.path.dirname(path)
        if directory:
            os.makedirs(directory, exist_ok=True)
        with open(path, "wb") as out:
            out.write(png)


def _mask_shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def read_xwd(data):
    """Decodes an XWD dump of a TrueColor 24/32-bit screen into an Image."""
    fields = struct.unpack(">25I", data[:100])
    (header_size, _version, _format, depth, width, height, _xoffset, byte_order, _unit,
     _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual_class, red_mask, green_mask,
     blue_mask, _bits_rgb, _cmap_entries, ncolors) = fields[:20]
    if bits_per_pixel not in (24, 32) or depth < 24:
        raise ValueError("unsupported screen format: depth %d, %d bits per pixel"
                           % (depth, bits_per_pixel))
    pixels = data[header_size + 12 * ncolors:]
    step = bits_per_pixel // 8
    # Byte position of each colour inside a pixel as stored in the dump.
    offsets = []
    for mask in (red_mask, green_mask, blue_mask):
        byte = _mask_shift(mask) // 8
        offsets.append(byte if byte_order == 0 else step - 1 - byte)
    rgb = bytearray(3 * width * height)
    for row in range(height):
        line = pixels[row * bytes_per_line:row * bytes_per_line + step * width]
        out = 3 * width * row
        for c in range(3):
            rgb[out + c:out + 3 * width:3] = line[offsets[c]::step]
    return Image(width, height, rgb)
