#!/usr/bin/python3
"""A print's preview: a binary STL drawn as the plate seen from above and in front, flat-shaded
grey on a dark ground with the 200 x 200 mm plate outlined, into a PNG.

    tools/print-preview.py MODEL.stl PREVIEW.png [SIDE]
"""
import math
import struct
import sys
import zlib

PLATE = 200.0


def read_stl(path):
    data = open(path, 'rb').read()
    count = struct.unpack_from('<I', data, 80)[0]
    if len(data) != 84 + 50 * count:
        sys.exit(f'{path}: not a binary STL')
    return [struct.unpack_from('<9f', data, 84 + 50 * i + 12) for i in range(count)]


def write_png(path, side, pixels):
    rows = b''.join(b'\0' + bytes(pixels[y * side * 3:(y + 1) * side * 3]) for y in range(side))
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 2, 0, 0, 0))
                  + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


def main():
    model, preview = sys.argv[1], sys.argv[2]
    side = int(sys.argv[3]) if len(sys.argv) > 3 else 800
    tilt = math.radians(35)  # the plate tipped toward the viewer
    c, s = math.cos(tilt), math.sin(tilt)
    scale = side / (PLATE * 1.15)

    def view(x, y, z):  # screen x, screen y (down), depth (toward the viewer)
        x -= PLATE / 2
        y -= PLATE / 2
        return (side / 2 + x * scale, side / 2 - (y * c + z * s) * scale, -y * s + z * c)

    pixels = bytearray([24, 28, 36] * side * side)
    depth = [-1e9] * (side * side)
    for a, b in ((0, 0), (PLATE, 0)), ((PLATE, 0), (PLATE, PLATE)), ((PLATE, PLATE), (0, PLATE)), ((0, PLATE), (0, 0)):
        for k in range(400):
            t = k / 399
            px, py, _ = view(a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, 0)
            if 0 <= int(px) < side and 0 <= int(py) < side:
                pixels[(int(py) * side + int(px)) * 3:(int(py) * side + int(px)) * 3 + 3] = bytes([90, 110, 140])
    light = (-0.4, -0.5, 0.77)
    for tri in read_stl(model):
        p = [view(*tri[i:i + 3]) for i in (0, 3, 6)]
        u = [tri[3 + k] - tri[k] for k in range(3)]
        v = [tri[6 + k] - tri[k] for k in range(3)]
        n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
        length = math.sqrt(sum(x * x for x in n)) or 1.0
        shade = 0.25 + 0.75 * max(0.0, sum(n[k] * light[k] for k in range(3)) / length)
        colour = bytes([int(230 * shade), int(238 * shade), int(245 * shade)])
        x0, x1 = max(0, int(min(q[0] for q in p))), min(side - 1, int(max(q[0] for q in p)) + 1)
        y0, y1 = max(0, int(min(q[1] for q in p))), min(side - 1, int(max(q[1] for q in p)) + 1)
        area = (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[2][0] - p[0][0]) * (p[1][1] - p[0][1])
        if abs(area) < 1e-12:
            continue
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                w0 = ((p[1][0] - x) * (p[2][1] - y) - (p[2][0] - x) * (p[1][1] - y)) / area
                w1 = ((p[2][0] - x) * (p[0][1] - y) - (p[0][0] - x) * (p[2][1] - y)) / area
                w2 = 1 - w0 - w1
                if w0 < 0 or w1 < 0 or w2 < 0:
                    continue
                z = w0 * p[0][2] + w1 * p[1][2] + w2 * p[2][2]
                if z > depth[y * side + x]:
                    depth[y * side + x] = z
                    pixels[(y * side + x) * 3:(y * side + x) * 3 + 3] = colour
    write_png(preview, side, pixels)


main()
