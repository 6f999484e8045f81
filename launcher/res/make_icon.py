#!/usr/bin/env python3
"""Draws the launcher's icon (a disc with an arrow pointing into it) and writes
it as a Windows .ico with 16, 32 and 48 pixel images.

    make_icon.py OUTPUT.ico

Each image is a 32-bit BGRA bitmap with its 1-bit mask, the form every
Windows version reads. The drawing is vector shapes in a unit square,
rasterised with 8x8 supersampling; only the standard library is used.
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 8

RIM = (70, 82, 104)
DISC = (206, 214, 228)
SHEEN = (160, 200, 235)
HUB = (150, 160, 178)
ARROW = (34, 150, 64)
ARROW_EDGE = (16, 84, 34)

ARROW_SHAPE = [(0.60, 0.02), (0.84, 0.02), (0.84, 0.40), (0.97, 0.40),
               (0.72, 0.70), (0.47, 0.40), (0.60, 0.40)]


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def distance_to_edges(x, y, points):
    best = float("inf")
    for i, (ax, ay) in enumerate(points):
        bx, by = points[(i + 1) % len(points)]
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        best = min(best, math.hypot(x - ax - t * dx, y - ay - t * dy))
    return best


def colour_at(x, y):
    """Colour of the drawing at a point (y grows downwards), or None where it is clear."""
    if inside_polygon(x, y, ARROW_SHAPE):
        return ARROW_EDGE if distance_to_edges(x, y, ARROW_SHAPE) < 0.045 else ARROW
    r = math.hypot(x - 0.46, y - 0.56)
    if r > 0.42 or r < 0.065:
        return None
    if r > 0.38:
        return RIM
    if r < 0.15:
        return HUB
    # A band of sheen across the disc at 45 degrees.
    along = (x - 0.46) - (y - 0.56)
    return SHEEN if abs(along) < 0.08 else DISC


def render(size):
    """Rows of (b, g, r, a) from the top, colours averaged over the samples."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
                    if c is not None:
                        covered += 1
                        for k in range(3):
                            total[k] += c[k]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                r, g, b = (round(t / covered) for t in total)
                row.append((b, g, r, round(255 * covered / (SAMPLES * SAMPLES))))
        rows.append(row)
    return rows


def bitmap_entry(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(v for p in row for v in p) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:  # fully clear pixels are masked out for old readers
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def write_icon(path):
    images = [bitmap_entry(size) for size in SIZES]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(directory + b"".join(images))


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    write_icon(sys.argv[1])
    print(f"{sys.argv[1]}: {', '.join(f'{s}x{s}' for s in SIZES)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
