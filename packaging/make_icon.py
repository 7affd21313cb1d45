#!/usr/bin/env python3
"""Draws qmextract's icon and writes it as a Windows .ico file: make_icon.py OUT.ico

The picture is a model block seen from above at an angle: a top face tiled
like a texture, two shaded side faces split into triangles like a mesh, and
dark edges. Every size is drawn from the same shapes with several samples per
pixel, so edges are smooth; the background stays transparent.
The .ico holds 16, 24, 32 and 48 pixel images as 32-bit bitmaps and the 256
pixel image as a PNG, as Windows expects. The output depends only on this file.
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)


def samples_per_side(size):
    """Samples per pixel side: many where a pixel is large against the lines, fewer
    for the 256-pixel image, whose 65,536 pixels would take a minute otherwise."""
    return 8 if size <= 48 else 3

# Corners of the block in a unit square (x to the right, y down).
TOP = (0.50, 0.05)
UPPER_LEFT = (0.08, 0.28)
UPPER_RIGHT = (0.92, 0.28)
CENTRE = (0.50, 0.51)
LOWER_LEFT = (0.08, 0.74)
LOWER_RIGHT = (0.92, 0.74)
BOTTOM = (0.50, 0.97)

TOP_FACE = (TOP, UPPER_RIGHT, CENTRE, UPPER_LEFT)
LEFT_FACE = (UPPER_LEFT, CENTRE, BOTTOM, LOWER_LEFT)
RIGHT_FACE = (CENTRE, UPPER_RIGHT, LOWER_RIGHT, BOTTOM)

# Colours as (red, green, blue).
TILE_LIGHT = (255, 214, 112)
TILE_DARK = (236, 160, 48)
LEFT_COLOUR = (38, 150, 170)
RIGHT_COLOUR = (24, 100, 128)
EDGE_COLOUR = (20, 34, 48)
MESH_COLOUR = (200, 236, 240)


def segment(a, b):
    """A line from a to b, prepared for near(): start, direction and 1 / length squared."""
    dx, dy = b[0] - a[0], b[1] - a[1]
    return (a[0], a[1], dx, dy, 1.0 / (dx * dx + dy * dy))


# Lines: the outline and the inner edges of the block, then the mesh lines that
# split each side face into triangles.
EDGES = tuple(segment(a, b) for a, b in (
    (TOP, UPPER_RIGHT), (UPPER_RIGHT, LOWER_RIGHT), (LOWER_RIGHT, BOTTOM),
    (BOTTOM, LOWER_LEFT), (LOWER_LEFT, UPPER_LEFT), (UPPER_LEFT, TOP),
    (UPPER_LEFT, CENTRE), (UPPER_RIGHT, CENTRE), (CENTRE, BOTTOM),
))
MESH = (segment(UPPER_LEFT, BOTTOM), segment(CENTRE, LOWER_RIGHT))


def inside(point, polygon):
    """Whether point lies in the convex polygon, whose corners run clockwise on screen."""
    x, y = point
    for i, (ax, ay) in enumerate(polygon):
        bx, by = polygon[(i + 1) % len(polygon)]
        if (bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0:
            return False
    return True


def near(point, line, width):
    """Whether point lies within width of the line."""
    ax, ay, dx, dy, inverse = line
    px, py = point[0] - ax, point[1] - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) * inverse))
    ex, ey = px - t * dx, py - t * dy
    return ex * ex + ey * ey <= width * width


def top_tile(point):
    """The top face's colour at point: a 4 x 4 checker board along the face's own axes."""
    # Coordinates along the two edges leaving the top corner, each 0..1 over the face.
    ux, uy = UPPER_RIGHT[0] - TOP[0], UPPER_RIGHT[1] - TOP[1]
    vx, vy = UPPER_LEFT[0] - TOP[0], UPPER_LEFT[1] - TOP[1]
    px, py = point[0] - TOP[0], point[1] - TOP[1]
    det = ux * vy - uy * vx
    u = (px * vy - py * vx) / det
    v = (ux * py - uy * px) / det
    return TILE_LIGHT if (int(u * 4) + int(v * 4)) % 2 == 0 else TILE_DARK


def sample(point, size):
    """The colour at point and whether it is covered, for an image of size pixels."""
    # Lines stay at least about one pixel wide on the small sizes.
    edge_width = max(0.028, 0.9 / size)
    mesh_width = max(0.012, 0.45 / size)
    if any(near(point, line, edge_width) for line in EDGES):
        return EDGE_COLOUR
    if size >= 32 and any(near(point, line, mesh_width) for line in MESH):
        return MESH_COLOUR
    if inside(point, TOP_FACE):
        return top_tile(point)
    if inside(point, LEFT_FACE):
        return LEFT_COLOUR
    if inside(point, RIGHT_FACE):
        return RIGHT_COLOUR
    return None


def draw(size):
    """Rows of (red, green, blue, alpha) pixels, top row first, alpha-weighted averages."""
    n = samples_per_side(size)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            red = green = blue = covered = 0
            for sy in range(n):
                for sx in range(n):
                    point = ((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    colour = sample(point, size)
                    if colour is not None:
                        red += colour[0]
                        green += colour[1]
                        blue += colour[2]
                        covered += 1
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = round(255 * covered / n**2)
                row.append((round(red / covered), round(green / covered), round(blue / covered), alpha))
        rows.append(row)
    return rows


def bitmap_entry(rows):
    """A 32-bit DIB as an icon stores it: the header gives twice the height (image and
    mask), the rows go bottom-up as B, G, R, A, then an all-clear 1-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def png_entry(rows):
    """An RGBA PNG: every row with filter 0, compressed by zlib."""
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def icon(images):
    """The .ico file: a header, one 16-byte directory entry per image, then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size == 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    images = []
    for size in SIZES:
        rows = draw(size)
        images.append((size, png_entry(rows) if size == 256 else bitmap_entry(rows)))
    with open(sys.argv[1], "wb") as out:
        out.write(icon(images))


if __name__ == "__main__":
    main()
