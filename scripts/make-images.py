#!/usr/bin/python3
"""Draws the program's button and menu pictures (image141.png to image159.png, 64 x 64, scaled down by the
program to 16 to 64 pixels) and the small icon of a folder pair in the job list (folder-pair.ico, 16 and
32 pixels) into the folder named on the command line. Standard library only.

Every picture is a stack of filled shapes given as signed distance functions on a 64 x 64 canvas
(negative inside). A shape's edge is smoothed from its distance and each pixel is sampled 3 x 3 times, so
that corners stay clean too. The main strokes are at least 7 units wide and most shapes have a darker rim,
which keeps the pictures legible when the program shrinks them to 16 pixels."""
import math
import os
import struct
import sys
import zlib

CANVAS = 64.0

# One palette for all pictures; each colour has a darker shade for its rim.
GREEN = (60, 170, 75)
RED = (215, 55, 50)
BLUE = (45, 115, 205)
AMBER = (240, 175, 40)
FOLDER = (245, 200, 85)
GREY = (120, 130, 140)
DARK = (60, 68, 78)
WHITE = (252, 252, 252)
RIM = 3.0


def darker(colour, factor=0.62):
    return tuple(int(c * factor) for c in colour)


# ---- Shapes: each is a function (x, y) -> signed distance, with a bounding box for speed. ----

class Shape:
    def __init__(self, distance, box):
        self.distance = distance
        self.box = box  # (left, top, right, bottom)

    def grown(self, amount):
        left, top, right, bottom = self.box
        return Shape(lambda x, y: self.distance(x, y) - amount,
                     (left - amount, top - amount, right + amount, bottom + amount))

    def minus(self, other):
        return Shape(lambda x, y: max(self.distance(x, y), -other.distance(x, y)), self.box)

    def clipped(self, other):
        return Shape(lambda x, y: max(self.distance(x, y), other.distance(x, y)), self.box)


def union(*shapes):
    left = min(s.box[0] for s in shapes)
    top = min(s.box[1] for s in shapes)
    right = max(s.box[2] for s in shapes)
    bottom = max(s.box[3] for s in shapes)
    return Shape(lambda x, y: min(s.distance(x, y) for s in shapes), (left, top, right, bottom))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, width):
    return Shape(lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2,
                 (cx - r - width, cy - r - width, cx + r + width, cy + r + width))


def box(left, top, right, bottom, radius=0.0):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hw, hh = (right - left) / 2 - radius, (bottom - top) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return Shape(distance, (left, top, right, bottom))


def stroke(ax, ay, bx, by, width):
    """A straight stroke with round ends."""
    r = width / 2
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def distance(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(max(t, 0.0), 1.0)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return Shape(distance, (min(ax, bx) - r, min(ay, by) - r, max(ax, bx) + r, max(ay, by) + r))


def polygon(points):
    n = len(points)

    def distance(x, y):
        best = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return -best if inside else best
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(distance, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, r, width, start, end):
    """A stroke along a circle from angle start to end (degrees, clockwise on screen from 3 o'clock),
    with flat ends."""
    a0, a1 = math.radians(start), math.radians(end)
    middle, half = (a0 + a1) / 2, (a1 - a0) / 2

    def distance(x, y):
        dx, dy = x - cx, y - cy
        offset = math.atan2(dy, dx) - middle
        offset = (offset + math.pi) % (2 * math.pi) - math.pi
        radial = abs(math.hypot(dx, dy) - r) - width / 2
        if abs(offset) <= half:
            return radial
        # Past an end: the distance to the end's flat cap.
        end_angle = middle + math.copysign(half, offset)
        ux, uy = math.cos(end_angle), math.sin(end_angle)
        along = dx * ux + dy * uy
        across = abs(-dx * uy + dy * ux)
        return math.hypot(max(abs(along - r) - width / 2, 0.0), across)
    return Shape(distance, (cx - r - width, cy - r - width, cx + r + width, cy + r + width))


def rotated(shape, angle, cx, cy):
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def distance(x, y):
        dx, dy = x - cx, y - cy
        return shape.distance(cx + dx * c + dy * s, cy - dx * s + dy * c)
    return Shape(distance, (0, 0, CANVAS, CANVAS))


# ---- Layers and rendering ----

def filled(shape, colour, rim=RIM):
    """A shape in colour with a darker rim around it: the rim layer first, the fill over it."""
    layers = []
    if rim:
        layers.append((shape, darker(colour)))
        layers.append((shape.grown(-rim), colour))
    else:
        layers.append((shape, colour))
    return layers


def render(layers, size, samples=3):
    scale = CANVAS / size
    step = scale / samples
    smooth = step  # the width over which an edge fades, one sample apart
    rows = []
    n = samples * samples
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            x0, y0 = px * scale, py * scale
            candidates = [(s, c) for s, c in layers
                          if s.box[0] - 2 <= x0 + scale and s.box[2] + 2 >= x0
                          and s.box[1] - 2 <= y0 + scale and s.box[3] + 2 >= y0]
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                y = y0 + (sy + 0.5) * step
                for sx in range(samples):
                    x = x0 + (sx + 0.5) * step
                    r = g = b = a = 0.0  # premultiplied
                    for shape, colour in candidates:
                        coverage = min(max(0.5 - shape.distance(x, y) / smooth, 0.0), 1.0)
                        if coverage <= 0.0:
                            continue
                        alpha = coverage * (colour[3] / 255.0 if len(colour) > 3 else 1.0)
                        r = colour[0] * alpha + r * (1 - alpha)
                        g = colour[1] * alpha + g * (1 - alpha)
                        b = colour[2] * alpha + b * (1 - alpha)
                        a = alpha + a * (1 - alpha)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            alpha = acc[3] / n
            if alpha > 0:
                row += bytes([min(255, round(acc[i] / acc[3])) for i in range(3)] + [round(alpha * 255)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def ico(images):
    """A .ico of 32-bit bitmaps with their AND masks, read by every Windows version and by Wine."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bodies = []
    for size, rows in images:
        pixels = b""
        for row in reversed(rows):  # bottom-up
            raw = row[1:]
            for i in range(0, len(raw), 4):
                r, g, b, a = raw[i:i + 4]
                pixels += bytes([b, g, r, a])
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            raw = row[1:]
            bits = bytearray(mask_stride)
            for x in range(size):
                if raw[4 * x + 3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
        body = header + pixels + mask
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
        bodies.append(body)
    return out + b"".join(bodies)


# ---- The pictures ----

def plus():
    return filled(union(box(25, 6, 39, 58, 3), box(6, 25, 58, 39, 3)), GREEN)


def minus():
    return filled(box(6, 25, 58, 39, 3), RED)


def pencil_shape(scale=1.0, dx=0.0, dy=0.0):
    def p(x, y):
        return (dx + x * scale, dy + y * scale)
    # Drawn pointing to the lower left: body, wooden tip, lead, and the eraser at the upper right.
    body = polygon([p(14, 40), p(42, 12), p(52, 22), p(24, 50)])
    eraser = polygon([p(42, 12), p(47, 7), p(57, 17), p(52, 22)])
    tip = polygon([p(14, 40), p(24, 50), p(7, 57)])
    lead = polygon([p(10.5, 50), p(14, 53.5), p(7, 57)])
    return [*filled(eraser, (225, 110, 120)), *filled(body, AMBER), *filled(tip, (240, 215, 170)),
            *filled(lead, DARK, rim=0)]


def pencil():
    return pencil_shape()


def floppy():
    body = box(6, 6, 58, 58, 5).minus(polygon([(46, 0), (64, 0), (64, 18)]))
    shutter = box(18, 6, 44, 24, 1)
    hole = box(34, 9, 40, 21, 1)
    label = box(14, 34, 50, 58, 2)
    return [*filled(body, BLUE), *filled(shutter, (200, 208, 218)), *filled(hole, DARK, rim=0),
            *filled(label, WHITE), (box(19, 40, 45, 43), GREY), (box(19, 47, 45, 50), GREY)]


def save():
    return floppy()


def save_as():
    return floppy() + pencil_shape(0.62, 24, 24)


def play():
    return filled(polygon([(14, 6), (58, 32), (14, 58)]), GREEN)


def folder_back(left=4, top=10, right=60, bottom=56):
    tab = box(left, top, left + (right - left) * 0.42, top + 12, 3)
    back = box(left, top + 6, right, bottom, 4)
    return union(tab, back)


def open_folder():
    back = folder_back()
    front = polygon([(14, 26), (62, 26), (52, 56), (4, 56)])
    return [*filled(back, darker(FOLDER, 0.85)), *filled(front, FOLDER)]


def closed_folder(left=4, top=10, right=60, bottom=56):
    body = box(left, top + 12, right, bottom, 4)
    return [*filled(folder_back(left, top, right, bottom), darker(FOLDER, 0.85)), *filled(body, FOLDER)]


def pause():
    return [*filled(box(12, 8, 27, 56, 3), BLUE), *filled(box(37, 8, 52, 56, 3), BLUE)]


def cross():
    return filled(union(stroke(13, 13, 51, 51, 14), stroke(51, 13, 13, 51, 14)), RED)


def gear():
    teeth = [rotated(box(27, 2, 37, 16, 2), i * 45, 32, 32) for i in range(8)]
    wheel = union(circle(32, 32, 21), *teeth).minus(circle(32, 32, 8))
    return filled(wheel, GREY)


def arrow(up):
    shaft = box(25, 28, 39, 58, 2)
    head = polygon([(32, 4), (58, 32), (6, 32)])
    shape = union(shaft, head)
    if not up:
        original = shape
        shape = Shape(lambda x, y: original.distance(x, CANVAS - y), (0, 0, CANVAS, CANVAS))
    return filled(shape, BLUE)


def error_report():
    page = polygon([(8, 2), (38, 2), (52, 16), (52, 62), (8, 62)])
    fold = polygon([(38, 2), (52, 16), (38, 16)])
    lines = [(box(15, y, 40, y + 3), GREY) for y in (22, 30, 38)]
    sign = polygon([(44, 30), (62, 62), (26, 62)])
    bar = stroke(44, 42, 44, 51, 4.5)
    dot = circle(44, 57, 2.6)
    return [*filled(page, WHITE), *filled(fold, (200, 208, 218)), *lines, *filled(sign, AMBER),
            (union(bar, dot), DARK)]


def clock():
    face = circle(32, 32, 28)
    hands = union(stroke(32, 32, 32, 14, 6), stroke(32, 32, 45, 39, 6))
    return [*filled(face, WHITE, rim=0), (ring(32, 32, 26, 7), BLUE), (hands, DARK), (circle(32, 32, 4), DARK)]


def circular_arrows():
    upper = arc(32, 32, 20, 9, 200, 330)
    lower = arc(32, 32, 20, 9, 20, 150)
    # Heads at the clockwise ends of the two arcs, pointing on round the circle.
    def head(angle):
        a = math.radians(angle)
        cx, cy = 32 + 20 * math.cos(a), 32 + 20 * math.sin(a)
        tx, ty = -math.sin(a), math.cos(a)  # clockwise direction
        nx, ny = math.cos(a), math.sin(a)
        return polygon([(cx + nx * 12, cy + ny * 12), (cx + tx * 13, cy + ty * 13), (cx - nx * 12, cy - ny * 12)])
    return filled(union(upper, head(330), lower, head(150)), GREEN)


def browse_folder():
    glass = ring(40, 38, 12, 7)
    handle = stroke(49, 47, 58, 56, 9)
    lens = circle(40, 38, 9)
    return [*closed_folder(2, 6, 50, 48), (lens, (220, 235, 250, 200)), *filled(union(glass, handle), DARK, rim=0)]


def ftp_server():
    units = []
    for top in (4, 22):
        units += filled(box(6, top, 44, top + 15, 3), GREY)
        units.append((circle(36, top + 7.5, 3), (90, 220, 100)))
        units.append((box(12, top + 6, 26, top + 9), DARK))
    globe = circle(46, 46, 16)
    lines = union(ring(46, 46, 16, 3), stroke(30, 46, 62, 46, 3), stroke(46, 30, 46, 62, 3),
                  ring(46, 46, 8, 3).clipped(box(38, 30, 54, 62)))
    return units + [*filled(globe, BLUE, rim=0), (lines, darker(BLUE, 0.5))]


def information():
    return [*filled(circle(32, 32, 28), BLUE), (box(27, 27, 37, 50, 2), WHITE), (circle(32, 17, 5.5), WHITE)]


def app_menu():
    return [(box(6, 8 + i * 19, 58, 18 + i * 19, 3), DARK) for i in range(3)]


def folder_pair_icon():
    # A folder with a green arrow across it: one folder kept in step with another.
    arrow_shape = union(box(14, 34, 38, 44, 2), polygon([(36, 24), (56, 39), (36, 54)]))
    return [*closed_folder(2, 6, 62, 58), *filled(arrow_shape, GREEN)]


PICTURES = {
    141: plus, 142: minus, 143: pencil, 144: save, 145: play, 146: open_folder, 147: save_as, 148: pause,
    149: cross, 150: gear, 151: lambda: arrow(True), 152: lambda: arrow(False), 153: error_report,
    154: clock, 155: circular_arrows, 156: browse_folder, 157: ftp_server, 158: information, 159: app_menu,
}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for number, draw in PICTURES.items():
        with open(os.path.join(folder, "image%d.png" % number), "wb") as f:
            f.write(png(64, render(draw(), 64)))
    layers = folder_pair_icon()
    with open(os.path.join(folder, "folder-pair.ico"), "wb") as f:
        f.write(ico([(size, render(layers, size, samples=6)) for size in (16, 32)]))


if __name__ == "__main__":
    main()
