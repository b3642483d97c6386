#!/usr/bin/env python3
"""Draws the updater's own artwork: banner.bmp (bitmap 121) and app.ico (icon group 123).

The banner is a red slanted ZEFRAN wordmark on the pure green transparent key, 1772 x 263,
24-bit, bottom-up, no colour table. Its edges are anti-aliased by 4 x 4 supersampling into
15 darker shades of the red, blended towards black, never towards the key, so that the key
stays one exact colour. The icon is a red rounded square with a white bolt in five 32-bit
sizes, each with its AND mask. Deterministic: running it again gives the same bytes.

    python3 make_artwork.py [output-folder]
"""
import struct
import sys
from pathlib import Path

KEY = (0, 255, 0)
RED = (227, 0, 11)
SUB = 4  # subsamples per pixel along each axis: coverage 0..16


def shade(colour, coverage):
    return tuple((c * coverage + 8) // 16 for c in colour)


def span(polygon, y):
    """The x interval where a horizontal line crosses a convex polygon, or None."""
    xs = []
    n = len(polygon)
    for i in range(n):
        (x0, y0), (x1, y1) = polygon[i], polygon[(i + 1) % n]
        if (y0 <= y < y1) or (y1 <= y < y0):
            xs.append(x0 + (y - y0) * (x1 - x0) / (y1 - y0))
    return (min(xs), max(xs)) if len(xs) >= 2 else None


def coverage_rows(polygons, width, height):
    """Yields, row by row from the top, the coverage 0..16 of every pixel."""
    for row in range(height):
        counts = [0] * width
        for sy in range(SUB):
            y = row + (sy + 0.5) / SUB
            line = bytearray(width * SUB)
            for polygon in polygons:
                s = span(polygon, y)
                if s is None:
                    continue
                a = max(0, int(s[0] * SUB + 0.5))
                b = min(width * SUB, int(s[1] * SUB + 0.5))
                if b > a:
                    line[a:b] = b"\x01" * (b - a)
            for x in range(width):
                counts[x] += sum(line[x * SUB:(x + 1) * SUB])
        yield counts


def letter_polygons(letter, left, width, height, stroke, slant):
    """Block letters as convex quads in a cell; y grows downwards, then sheared to the right."""
    w, t, h = width, stroke, height
    m = h * 0.5
    quads = {
        "Z": [[(0, 0), (w, 0), (w, t), (0, t)], [(0, h - t), (w, h - t), (w, h), (0, h)],
              [(w - t * 1.3, t), (w, t), (t * 1.3, h - t), (0, h - t)]],
        "E": [[(0, 0), (t, 0), (t, h), (0, h)], [(t, 0), (w, 0), (w, t), (t, t)],
              [(t, m - t / 2), (w * 0.85, m - t / 2), (w * 0.85, m + t / 2), (t, m + t / 2)],
              [(t, h - t), (w, h - t), (w, h), (t, h)]],
        "F": [[(0, 0), (t, 0), (t, h), (0, h)], [(t, 0), (w, 0), (w, t), (t, t)],
              [(t, m - t / 2), (w * 0.85, m - t / 2), (w * 0.85, m + t / 2), (t, m + t / 2)]],
        "R": [[(0, 0), (t, 0), (t, h), (0, h)], [(t, 0), (w, 0), (w, t), (t, t)],
              [(w - t, t), (w, t), (w, m + t / 2), (w - t, m + t / 2)],
              [(t, m - t / 2), (w - t, m - t / 2), (w - t, m + t / 2), (t, m + t / 2)],
              [(w * 0.35, m + t / 2), (w * 0.35 + t * 1.2, m + t / 2), (w, h), (w - t * 1.2, h)]],
        "A": [[(w / 2 - t * 0.7, 0), (w / 2 + t * 0.7, 0), (t * 1.2, h), (0, h)],
              [(w / 2 - t * 0.7, 0), (w / 2 + t * 0.7, 0), (w, h), (w - t * 1.2, h)],
              [(w * 0.22, h * 0.62), (w * 0.78, h * 0.62), (w * 0.82, h * 0.62 + t * 0.8), (w * 0.18, h * 0.62 + t * 0.8)]],
        "N": [[(0, 0), (t, 0), (t, h), (0, h)], [(w - t, 0), (w, 0), (w, h), (w - t, h)],
              [(t, 0), (t + t * 1.2, 0), (w - t, h), (w - t - t * 1.2, h)]],
    }[letter]
    return [[(left + x + slant * (h - y), y) for x, y in quad] for quad in quads]


def banner(path):
    width, height = 1772, 263
    slant = 0.12
    letters = "ZEFRAN"
    gap = 44
    cell = (width - slant * height - gap * (len(letters) - 1)) / len(letters)
    polygons = []
    for i, letter in enumerate(letters):
        polygons += letter_polygons(letter, i * (cell + gap), cell, height, 58, slant)

    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for counts in coverage_rows(polygons, width, height):
        row = bytearray()
        for c in counts:
            r, g, b = KEY if c == 0 else shade(RED, c)
            row += bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * (stride - width * 3))
    pixels = b"".join(reversed(rows))  # bottom-up
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


def icon_image(size):
    """One 32-bit icon image: BITMAPINFOHEADER with doubled height, BGRA rows, AND mask."""
    s = float(size)
    r = s * 0.18
    # A rounded square as a union of a cross and four corner fans approximated by octagon quads.
    square = [[(r, 0), (s - r, 0), (s - r, s), (r, s)], [(0, r), (s, r), (s, s - r), (0, s - r)]]
    corners = []
    for cx, cy in ((r, r), (s - r, r), (r, s - r), (s - r, s - r)):
        octagon = [(cx + r * dx, cy + r * dy) for dx, dy in
                   ((0.0, -1.0), (0.71, -0.71), (1.0, 0.0), (0.71, 0.71), (0.0, 1.0), (-0.71, 0.71),
                    (-1.0, 0.0), (-0.71, -0.71))]
        corners.append(octagon)
    bolt = [[(s * 0.56, s * 0.10), (s * 0.70, s * 0.10), (s * 0.46, s * 0.50), (s * 0.30, s * 0.50)],
            [(s * 0.34, s * 0.46), (s * 0.70, s * 0.46), (s * 0.66, s * 0.56), (s * 0.30, s * 0.56)],
            [(s * 0.54, s * 0.52), (s * 0.70, s * 0.52), (s * 0.44, s * 0.90), (s * 0.30, s * 0.90)]]
    body = list(coverage_rows(square + corners, size, size))
    light = list(coverage_rows(bolt, size, size))
    colour_rows, mask_rows = [], []
    mask_stride = (size + 31) // 32 * 4
    for y in range(size):
        row, mask = bytearray(), bytearray(mask_stride)
        for x in range(size):
            a = body[y][x]
            w = light[y][x]
            red, green, blue = (RED[i] + (255 - RED[i]) * w // 16 for i in range(3))
            alpha = (255 * a + 8) // 16
            row += bytes((blue, green, red, alpha))
            if alpha == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        colour_rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    colour = b"".join(reversed(colour_rows))
    masks = b"".join(reversed(mask_rows))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(masks), 0, 0, 0, 0)
    return info + colour + masks


def icon(path):
    sizes = (16, 32, 48, 64, 128)
    images = [icon_image(size) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    path.write_bytes(directory + entries + b"".join(images))


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    banner(out / "banner.bmp")
    icon(out / "app.ico")
