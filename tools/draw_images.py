#!/usr/bin/env python3
"""Draw Quorvex's bundled images from scratch.

  data/HAND-M.CUR            32x32 pointing-hand cursor (index finger up,
                            black outline, white fill), hotspot on the
                            fingertip; drawn from the pixel grid below.
  data/drag.ico              32x32 pointer shown while a list row is dragged
                            up or down: a row bar beside an up/down arrow,
                            black outline, white fill, centred because its
                            hot point is the middle of the image.
  data/icons/quorvex.png     64x64 application icon: two crossing shuffle
                            arrows over a folder, anti-aliased by
                            supersampling simple shapes.
  data/icons/hicolor/NxN.png the same icon at the sizes the desktop's icon
                            theme looks for, installed with the package.

Standard library only, and the output is byte-for-byte deterministic, so the
files can be regenerated and diffed at any time:

    python3 tools/draw_images.py
"""

import math
import struct
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# --------------------------------------------------------------------------
# Cursor
# --------------------------------------------------------------------------

# X = black outline, o = white fill, anything else = transparent.
# The grid is placed at the top-left of the 32x32 cursor image.
HAND = """
......XX..........
.....XooX.........
.....XooX.........
.....XooX.........
.....XooX.........
.....XooXXX.......
.....XooXooXXX....
.....XooXooXooXXX.
.....XooXooXooXooX
.XX..XooXooXooXooX
XooX.XooXooXooXooX
XoooXXoooooooooooX
.XoooXoooooooooooX
..XooooooooooooooX
..XooooooooooooooX
...XoooooooooooooX
...XoooooooooooooX
....XoooooooooooX.
....XoooooooooooX.
.....XooooooooooX.
.....XooooooooooX.
.....XXXXXXXXXXXX.
"""

# A list row with two lines of text (g = grey) next to an up/down arrow.
# Placed at DRAG_ORIGIN so that the middle of the art, where the pointer's
# hot point is taken to be, lands on the centre pixel (16, 16).
DRAG = """
................X....
...............XoX...
..............XoooX..
.............XoooooX.
............XoooooooX
............XXXoooXXX
..............XoooX..
XXXXXXXXXXXX..XoooX..
XooooooooooX..XoooX..
XoggggggggoX..XoooX..
XooooooooooX..XoooX..
XoggggggoooX..XoooX..
XooooooooooX..XoooX..
XXXXXXXXXXXX..XoooX..
..............XoooX..
............XXXoooXXX
............XoooooooX
.............XoooooX.
..............XoooX..
...............XoX...
................X....
"""

CURSOR_SIZE = 32
# The pixel at the very tip of the index finger.
HOTSPOT = (6, 0)
DRAG_ORIGIN = (6, 6)

PALETTE = {
    "X": (0, 0, 0, 255),
    "o": (255, 255, 255, 255),
    "g": (128, 128, 128, 255),
}


def grid_pixels(art, origin=(0, 0)):
    """Return a CURSOR_SIZE x CURSOR_SIZE grid of (r, g, b, a), top row first."""
    rows = [line for line in art.strip("\n").split("\n")]
    clear = (0, 0, 0, 0)
    grid = [[clear] * CURSOR_SIZE for _ in range(CURSOR_SIZE)]
    ox, oy = origin
    for y, line in enumerate(rows):
        for x, ch in enumerate(line):
            if ch in PALETTE:
                grid[oy + y][ox + x] = PALETTE[ch]
    return grid


def encode_dib_image(pixels):
    """The DIB payload shared by .cur and .ico entries: colour plus AND mask."""
    size = len(pixels)
    # 32-bit BGRA colour rows, stored bottom-up.
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    # 1-bpp AND mask (1 = transparent), bottom-up, rows padded to 32 bits.
    # Readers that ignore alpha fall back on it, so it must match.
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    image_size = len(xor) + len(mask)
    # The DIB height covers both the colour rows and the mask, hence 2x.
    dib = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                      image_size, 0, 0, 0, 0)
    return dib + bytes(xor) + bytes(mask)


def encode_cur(pixels, hotspot):
    size = len(pixels)
    data = encode_dib_image(pixels)
    header = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, count
    offset = len(header) + 16
    # For cursors the planes/bitcount slots carry the hotspot instead.
    entry = struct.pack("<BBBBHHII", size, size, 0, 0,
                        hotspot[0], hotspot[1], len(data), offset)
    return header + entry + data


def encode_ico(pixels):
    size = len(pixels)
    data = encode_dib_image(pixels)
    header = struct.pack("<HHH", 0, 1, 1)  # reserved, type 1 = icon, count
    offset = len(header) + 16
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
    return header + entry + data


# --------------------------------------------------------------------------
# Icon
# --------------------------------------------------------------------------

ICON_SIZE = 64
SUBSAMPLES = 4  # per axis; 16 samples per pixel is plenty for edge smoothing
THEME_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    hit = not hit
        return hit
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def bezier(p0, p1, p2, p3, steps=24):
    pts = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        pts.append((
            u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
            u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1],
        ))
    return pts


def stroke(points, width):
    """A polyline of the given width with round joins and a flat start."""
    half = width / 2
    segs = list(zip(points, points[1:]))
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    bx0, bx1 = min(xs) - half, max(xs) + half
    by0, by1 = min(ys) - half, max(ys) + half
    start = points[0]

    def inside(x, y):
        if not (bx0 <= x <= bx1 and by0 <= y <= by1):
            return False
        if x < start[0]:  # square off the tail end
            return False
        for (ax, ay), (cx, cy) in segs:
            dx, dy = cx - ax, cy - ay
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
            px, py = ax + t * dx - x, ay + t * dy - y
            if px * px + py * py <= half * half:
                return True
        return False
    return inside


def arrow(path, width, head_len, head_half):
    """Stroke along path ending in a right-pointing triangular head."""
    tip_x, tip_y = path[-1]
    base_x = tip_x - head_len
    body = [p for p in path if p[0] <= base_x] + [(base_x + 0.5, tip_y)]
    head = polygon([(base_x, tip_y - head_half), (tip_x, tip_y),
                    (base_x, tip_y + head_half)])
    return union(stroke(body, width), head)


def grow(shape, amount):
    """Approximate outward offset of a shape by sampling around each point."""
    offsets = [(amount * math.cos(a * math.pi / 8), amount * math.sin(a * math.pi / 8))
               for a in range(16)]
    offsets.append((0.0, 0.0))

    def inside(x, y):
        return any(shape(x + dx, y + dy) for dx, dy in offsets)
    return inside


def icon_layers():
    """Bottom-to-top list of (shape, rgba)."""
    layers = []

    # Folder: back panel with a tab, then a lighter front panel.
    back = union(rounded_rect(5, 10, 27, 20, 3), rounded_rect(5, 14, 59, 55, 4))
    front = rounded_rect(5, 20, 59, 55, 4)
    layers.append((grow(back, 1.0), (150, 95, 20, 255)))
    layers.append((back, (226, 160, 48, 255)))
    layers.append((front, (250, 199, 84, 255)))
    layers.append((rounded_rect(5, 20, 59, 22.5, 1.2), (255, 224, 140, 255)))

    # Two shuffle arrows. The lower one goes down-to-up and is drawn first;
    # the upper one crosses over it with a white halo so the crossing reads.
    lower = bezier((11, 47), (28, 47), (31, 30), (48, 30)) + [(55, 30)]
    upper = bezier((11, 30), (28, 30), (31, 47), (48, 47)) + [(55, 47)]
    for path, colour in ((lower, (232, 62, 110, 255)), (upper, (40, 110, 230, 255))):
        shape = arrow(path, 5.0, 8.0, 6.5)
        layers.append((grow(shape, 1.8), (255, 255, 255, 255)))
        layers.append((shape, colour))
    return layers


def render_icon(size=ICON_SIZE):
    """The icon's shapes are drawn on a 64-unit grid; other sizes scale it."""
    layers = icon_layers()
    n = SUBSAMPLES
    offsets = [(i + 0.5) / n for i in range(n)]
    scale = ICON_SIZE / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sum
            for oy in offsets:
                for ox in offsets:
                    x, y = (px + ox) * scale, (py + oy) * scale
                    for shape, colour in reversed(layers):
                        if shape(x, y):
                            r, g, b, a = colour
                            acc[0] += r * a
                            acc[1] += g * a
                            acc[2] += b * a
                            acc[3] += a
                            break
            alpha = acc[3] / (n * n)
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / acc[3])) for c in acc[:3])
                           + (int(round(alpha)),))
        pixels.append(row)
    return pixels


def encode_png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write(rel, data):
    path = ROOT / rel
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    print(f"wrote {rel} ({len(data)} bytes)")


def main():
    write("data/HAND-M.CUR", encode_cur(grid_pixels(HAND), HOTSPOT))
    write("data/drag.ico", encode_ico(grid_pixels(DRAG, DRAG_ORIGIN)))
    write("data/icons/quorvex.png", encode_png(render_icon()))
    for size in THEME_ICON_SIZES:
        write(f"data/icons/hicolor/{size}x{size}.png", encode_png(render_icon(size)))


if __name__ == "__main__":
    main()
