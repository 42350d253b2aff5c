#!/usr/bin/python3
"""Draws the program icon: a blue rounded square holding a white folder with a green arrow curving
back into it (a copy kept safe). Writes a Windows .ico with 16, 24, 32, 48 and 256 pixel images, each a
PNG drawn with 4x4 supersampling. Standard library only."""
import math
import struct
import sys
import zlib


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def inside_arrow(x, y):
    # A thick arc over the folder from the left to the right, ending in a head that points down into it.
    dx, dy = x - 0.5, y - 0.58
    r = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(-dy, dx))
    if 0.15 <= r <= 0.23 and 8 <= angle <= 172:
        return True
    top, height, centre = 0.555, 0.14, 0.69
    if top <= y <= top + height:
        return abs(x - centre) <= 0.1 * (1 - (y - top) / height)
    return False


def sample(x, y):
    """Colour (r, g, b, a) of the picture at x, y in [0, 1]."""
    if not inside_rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.18):
        return (0, 0, 0, 0)
    # Folder: tab and body.
    in_tab = inside_rounded_rect(x, y, 0.16, 0.30, 0.46, 0.42, 0.04)
    in_body = inside_rounded_rect(x, y, 0.16, 0.36, 0.84, 0.80, 0.05)
    if inside_arrow(x, y):
        return (70, 200, 90, 255)
    if in_body or in_tab:
        shade = 255 if in_body else 230
        return (shade, shade, int(shade * 0.93), 255)
    top, bottom = (40, 120, 220), (20, 60, 150)
    t = y
    return tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)


def render(size, factor=4):
    rows = []
    n = factor * factor
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(factor):
                for sx in range(factor):
                    r, g, b, a = sample((px + (sx + 0.5) / factor) / size, (py + (sy + 0.5) / factor) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / n
            if acc[3]:
                row += bytes([int(acc[0] / acc[3]), int(acc[1] / acc[3]), int(acc[2] / acc[3]), int(alpha)])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    sizes = [256, 48, 32, 24, 16]
    images = [render(s, 2 if s == 256 else 4) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
