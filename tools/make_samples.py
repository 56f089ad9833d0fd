#!/usr/bin/env python3
"""Make Quorvex's example source folder, Samples/.

"Load Sample/Example Files" points the source list at Samples/, so it holds a
small mixed set of files worth picking from at random: 16 PNG pictures drawn
here with plain maths (sunset, hills, night sky, rings, colour wheel, ...) and
8 short plain-text notes.

Standard library only, and byte-for-byte deterministic (no clock, no random
module; "random" details come from an integer hash), so rerunning it leaves
git with nothing to commit:

    python3 tools/make_samples.py

Existing .png and .txt files in Samples/ are removed first, so renamed or
dropped pictures do not linger.
"""

import math
import struct
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / "Samples"


# --------------------------------------------------------------------------
# PNG writing
# --------------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def _filter_row(kind, row, prev):
    """Apply PNG filter `kind` to one RGB row (3 bytes per pixel)."""
    out = bytearray(len(row))
    for i, x in enumerate(row):
        a = row[i - 3] if i >= 3 else 0
        b = prev[i]
        c = prev[i - 3] if i >= 3 else 0
        if kind == 0:
            p = 0
        elif kind == 1:
            p = a
        elif kind == 2:
            p = b
        elif kind == 3:
            p = (a + b) // 2
        else:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out[i] = (x - p) & 0xFF
    return out


def png_bytes(width, height, rows):
    """Encode rows of RGB bytes. Each row gets whichever filter leaves the
    smallest residuals (the usual heuristic), which keeps gradients small."""
    raw = bytearray()
    prev = bytes(width * 3)
    for row in rows:
        best = None
        for kind in range(5):
            f = _filter_row(kind, row, prev)
            cost = sum(v if v < 128 else 256 - v for v in f)
            if best is None or cost < best[0]:
                best = (cost, kind, f)
        raw.append(best[1])
        raw += best[2]
        prev = row
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))


def render(width, height, shade, ss=2):
    """Sample shade(x, y) -> (r, g, b) floats 0..255 on an ss x ss grid per
    pixel and average, so edges come out anti-aliased."""
    offs = [(i + 0.5) / ss for i in range(ss)]
    n = ss * ss
    rows = []
    for py in range(height):
        row = bytearray()
        for px in range(width):
            r = g = b = 0.0
            for oy in offs:
                for ox in offs:
                    cr, cg, cb = shade(px + ox, py + oy)
                    r += cr
                    g += cg
                    b += cb
            for v in (r, g, b):
                row.append(max(0, min(255, int(v / n + 0.5))))
        rows.append(row)
    return rows


# --------------------------------------------------------------------------
# Small maths helpers
# --------------------------------------------------------------------------

def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smooth(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def mix(c0, c1, t):
    return (c0[0] + (c1[0] - c0[0]) * t,
            c0[1] + (c1[1] - c0[1]) * t,
            c0[2] + (c1[2] - c0[2]) * t)


def ramp(stops, t):
    """Piecewise-linear colour ramp; stops is [(pos, colour), ...] sorted."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def hsv(h, s, v):
    """h in turns (0..1), s and v 0..1 -> colour 0..255."""
    h = (h % 1.0) * 6
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i % 6]
    return (r * 255, g * 255, b * 255)


def hash01(*ints):
    """Deterministic pseudo-random number in [0, 1) from integers."""
    h = 0x9E3779B9
    for v in ints:
        h = (h ^ (v & 0xFFFFFFFF)) * 0x85EBCA6B & 0xFFFFFFFF
        h ^= h >> 13
        h = h * 0xC2B2AE35 & 0xFFFFFFFF
        h ^= h >> 16
    return h / 4294967296.0


# --------------------------------------------------------------------------
# Pictures. Each returns shade(x, y) for a width x height canvas.
# --------------------------------------------------------------------------

def sunset(w, h):
    horizon = h * 0.62
    sx, sy, sr = w * 0.5, horizon, h * 0.16
    sky = [(0.0, (48, 22, 84)), (0.45, (176, 60, 92)),
           (0.8, (240, 120, 64)), (1.0, (255, 196, 104))]
    sun = (255, 236, 170)

    def shade(x, y):
        if y < horizon:
            c = ramp(sky, y / horizon)
            d = math.hypot(x - sx, y - sy)
            glow = math.exp(-max(0.0, d - sr) / (h * 0.12)) * 0.45
            c = mix(c, (255, 210, 130), glow)
            return mix(c, sun, smooth(sr + 0.7, sr - 0.7, d))
        t = (y - horizon) / (h - horizon)
        c = mix((120, 50, 80), (28, 16, 48), t ** 0.7)
        # Broken streaks of sunlight on the water, narrowing towards us.
        half = sr * (1.1 - 0.6 * t)
        if abs(x - sx) < half and math.sin(y * 1.9 + math.sin(x * 0.3) * 1.5) > 0.1:
            c = mix(c, (255, 200, 120), 0.75 * (1 - abs(x - sx) / half) ** 0.5 * (1 - t * 0.6))
        return c
    return shade


def hills(w, h):
    layers = [  # base height (fraction of h), amplitudes, colour; far to near
        (0.50, 10, 0.031, 1.0, (120, 170, 140)),
        (0.62, 12, 0.022, 2.3, (74, 148, 72)),
        (0.76, 14, 0.017, 4.1, (46, 112, 44)),
        (0.90, 8, 0.040, 0.7, (30, 80, 32)),
    ]
    clouds = [(w * 0.22, h * 0.16, 22, 7), (w * 0.32, h * 0.13, 16, 6),
              (w * 0.66, h * 0.26, 20, 6)]
    sun = (w * 0.82, h * 0.17, h * 0.08)

    def shade(x, y):
        for base, amp, freq, phase, col in reversed(layers):
            top = base * h + amp * math.sin(x * freq + phase) + amp * 0.4 * math.sin(x * freq * 2.7 + phase * 3)
            if y > top:
                # Lighter near the crest for a bit of roundness.
                return mix(col, (200, 230, 150), 0.25 * math.exp(-(y - top) / 6))
        c = mix((90, 150, 225), (190, 220, 245), y / (h * 0.6))
        c = mix(c, (255, 240, 160), smooth(sun[2] + 0.7, sun[2] - 0.7, math.hypot(x - sun[0], y - sun[1])))
        for cx, cy, rx, ry in clouds:
            d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
            c = mix(c, (250, 250, 252), smooth(1.0, 0.6, d) * 0.9)
        return c
    return shade


def night_sky(w, h):
    cell = 8
    moon = (w * 0.75, h * 0.25, h * 0.13)

    def ground(x):
        return h * 0.86 + 5 * math.sin(x * 0.05) + 3 * math.sin(x * 0.13 + 1)

    def shade(x, y):
        if y > ground(x):
            return (6, 8, 14)
        c = mix((4, 6, 24), (30, 36, 84), y / h)
        # At most one star per cell, placed and sized by the hash.
        gx, gy = int(x // cell), int(y // cell)
        if hash01(gx, gy, 1) < 0.55:
            stx = (gx + 0.15 + 0.7 * hash01(gx, gy, 2)) * cell
            sty = (gy + 0.15 + 0.7 * hash01(gx, gy, 3)) * cell
            rad = 0.5 + 0.9 * hash01(gx, gy, 4) ** 3
            bright = 0.5 + 0.5 * hash01(gx, gy, 5)
            tint = mix((255, 255, 255), (255, 230, 180), hash01(gx, gy, 6))
            c = mix(c, tint, bright * smooth(rad + 0.4, rad - 0.4, math.hypot(x - stx, y - sty)))
        # Crescent: the moon disc minus an offset disc.
        mx, my, mr = moon
        lit = smooth(mr + 0.7, mr - 0.7, math.hypot(x - mx, y - my))
        lit *= smooth(mr - 0.7, mr + 0.7, math.hypot(x - mx - mr * 0.45, y - my + mr * 0.2))
        c = mix(c, (60, 70, 120), 0.25 * math.exp(-max(0.0, math.hypot(x - mx, y - my) - mr) / 10))
        return mix(c, (250, 244, 210), lit)
    return shade


def stripes(w, h):
    pal = [(230, 57, 70), (241, 250, 238), (168, 218, 220), (69, 123, 157), (29, 53, 87), (244, 162, 97)]

    def shade(x, y):
        return pal[int((x + y * 0.6) // 13) % len(pal)]
    return shade


def rings(w, h):
    cx, cy = w * 0.5, h * 0.5

    def shade(x, y):
        d = math.hypot(x - cx, y - cy)
        band = int(d // 7)
        if band % 2:
            return (250, 246, 236)
        return hsv(0.55 + band * 0.045, 0.75, 0.9)
    return shade


def checkerboard(w, h):
    size = 20

    def shade(x, y):
        if (int(x // size) + int(y // size)) % 2:
            return (40, 44, 52)
        return (236, 226, 200)
    return shade


def colour_wheel(w, h):
    cx, cy, rad = w * 0.5, h * 0.5, min(w, h) * 0.44

    def shade(x, y):
        d = math.hypot(x - cx, y - cy)
        bg = (236, 236, 236)
        if d > rad + 1:
            # Soft drop shadow under the wheel.
            return mix(bg, (170, 170, 170), 0.6 * math.exp(-(math.hypot(x - cx - 3, y - cy - 3) - rad) / 4))
        ang = math.atan2(-(y - cy), x - cx) / (2 * math.pi)
        c = hsv(ang, clamp(d / rad), 1.0)
        return mix(c, bg, smooth(rad - 0.7, rad + 0.7, d))
    return shade


def waves(w, h):
    bands = 6

    def shade(x, y):
        c = mix((250, 214, 170), (160, 200, 230), y / (h * 0.3))
        for k in range(bands):
            base = h * (0.28 + 0.13 * k)
            amp = 3 + 1.6 * k
            top = base + amp * math.sin(x * (0.09 - 0.009 * k) + k * 1.7) + 1.5 * math.sin(x * 0.31 + k)
            if y > top:
                t = k / (bands - 1)
                c = mix((70, 170, 200), (10, 50, 110), t)
                c = mix(c, (8, 30, 70), clamp((y - top) / 40) * 0.5)
                c = mix(c, (245, 250, 255), smooth(2.2, 0.8, y - top))  # foam on the crest
        return c
    return shade


def mandala(w, h):
    cx, cy = w * 0.5, h * 0.5
    s = min(w, h) / 140.0

    def shade(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy) / s
        a = math.atan2(dy, dx)
        c = mix((40, 18, 60), (20, 10, 34), clamp(r / 90))
        layers = [
            (60 * (0.78 + 0.22 * math.cos(12 * a)), (236, 176, 58)),
            (50 * (0.70 + 0.30 * abs(math.cos(4 * a))), (200, 70, 110)),
            (38 * (0.75 + 0.25 * math.cos(8 * a + math.pi)), (38, 150, 150)),
            (24 * (0.82 + 0.18 * math.cos(16 * a)), (248, 230, 190)),
            (12, (190, 60, 40)),
            (5, (250, 210, 80)),
        ]
        for edge, col in layers:
            c = mix(c, col, smooth(edge + 0.8, edge - 0.8, r))
        # Ring of twelve dots between the outer petals.
        seg = 2 * math.pi / 12
        ad = ((a + seg / 2) % seg) - seg / 2
        dd = math.hypot(r * math.cos(ad) - 64, r * math.sin(ad))
        return mix(c, (250, 240, 220), smooth(3.4, 2.2, dd))
    return shade


def rainbow(w, h):
    cx, cy = w * 0.5, h * 1.05
    colours = [(228, 40, 40), (245, 140, 30), (250, 220, 50), (70, 180, 70),
               (50, 120, 220), (80, 60, 170), (140, 70, 180)]
    outer, width = h * 0.9, h * 0.045

    def shade(x, y):
        c = mix((110, 170, 235), (210, 232, 250), y / h)
        d = math.hypot(x - cx, y - cy)
        i = (outer - d) / width
        if 0 <= i < len(colours):
            c = mix(c, colours[int(i)], 0.8 * smooth(0, 0.6, i) * smooth(len(colours), len(colours) - 0.6, i))
        grass = h * 0.86 + 3 * math.sin(x * 0.08)
        if y > grass:
            c = mix((100, 180, 70), (50, 120, 40), clamp((y - grass) / 14))
        return c
    return shade


def plasma(w, h):
    def shade(x, y):
        v = (math.sin(x / 13.0) + math.sin(y / 9.0) + math.sin((x + y) / 17.0)
             + math.sin(math.hypot(x - w * 0.6, y - h * 0.4) / 7.0))
        return hsv(0.6 + v / 8.0, 0.7, 0.95)
    return shade


def spiral(w, h):
    cx, cy = w * 0.5, h * 0.5

    def shade(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx)
        v = math.sin(3 * a + r * 0.22)
        base = hsv(0.08 + r / 400.0, 0.85, 0.98)
        return mix((30, 20, 60), base, smooth(-0.15, 0.15, v))
    return shade


def mountains(w, h):
    def ridge(points, x):
        """Height of the ridge line at x, and whether that slope faces the
        light (rising to the right, with the sun off to the left)."""
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            if x <= x1:
                return y0 + (y1 - y0) * (x - x0) / (x1 - x0), y1 < y0
        return points[-1][1], False

    far = [(0, 0.55), (0.12, 0.42), (0.25, 0.50), (0.42, 0.30), (0.55, 0.46),
           (0.70, 0.34), (0.86, 0.48), (1.0, 0.40)]
    near = [(0, 0.70), (0.18, 0.46), (0.30, 0.62), (0.52, 0.22), (0.66, 0.56),
            (0.80, 0.42), (1.0, 0.66)]
    far = [(px * w, py * h) for px, py in far]
    near = [(px * w, py * h) for px, py in near]

    def shade(x, y):
        meadow = h * 0.84 + 1.5 * math.sin(x * 0.2)
        if y > meadow:
            return mix((80, 130, 64), (40, 76, 40), (y - meadow) / (h * 0.16))
        top, lit = ridge(near, x)
        if y > top:
            c = (118, 110, 122) if lit else (66, 62, 78)
            c = mix(c, (50, 64, 54), clamp((y - top) / (h * 0.5)))
            # Snow caps: a ragged band below the ridge, only up high.
            depth = y - top + 3 * math.sin(x * 0.9) + 2 * math.sin(x * 2.3)
            snow = smooth(12, 8, depth) * smooth(h * 0.50, h * 0.44, y)
            return mix(c, (250, 251, 255) if lit else (196, 206, 228), snow)
        top, lit = ridge(far, x)
        if y > top:
            c = (150, 164, 196) if lit else (122, 136, 172)
            depth = y - top + 2 * math.sin(x * 1.1)
            snow = smooth(9, 6, depth) * smooth(h * 0.42, h * 0.38, y)
            return mix(c, (226, 232, 246), snow)
        return mix((70, 120, 200), (200, 220, 240), y / (h * 0.55))
    return shade


def polka_dots(w, h):
    step = 20
    pal = [(230, 80, 90), (250, 190, 60), (60, 170, 160), (90, 110, 210)]

    def shade(x, y):
        row = int(y // step)
        shift = step / 2 if row % 2 else 0
        col = int((x + shift) // step)
        cx = col * step + step / 2 - shift
        cy = row * step + step / 2
        d = math.hypot(x - cx, y - cy)
        return mix((252, 246, 232), pal[(row + col) % len(pal)], smooth(6.8, 6.0, d))
    return shade


def city_skyline(w, h):
    # Buildings laid left to right with hashed widths and heights.
    blocks = []
    x, i = -3, 0
    while x < w:
        bw = 10 + int(hash01(i, 10) * 16)
        bh = h * (0.25 + 0.45 * hash01(i, 11))
        blocks.append((x, x + bw, h - bh, i))
        x += bw + int(hash01(i, 12) * 3)
        i += 1

    def shade(x, y):
        c = ramp([(0.0, (24, 28, 70)), (0.55, (120, 70, 120)), (1.0, (250, 150, 90))], y / h)
        for x0, x1, top, n in blocks:
            if x0 <= x < x1 and y >= top:
                c = (22, 22, 34)
                wx, wy = int((x - x0 - 2) // 4), int((y - top - 3) // 5)
                inx = (x - x0 - 2) % 4 < 2 and x < x1 - 2 and x >= x0 + 2
                iny = (y - top - 3) % 5 < 2.5 and y >= top + 3
                if inx and iny and hash01(n, wx, wy) < 0.4:
                    c = (255, 214, 120)
                break
        return c
    return shade


def mosaic(w, h):
    # Right triangles: each square cell split on its diagonal, flip hashed.
    size = 20
    pal = [(38, 70, 83), (42, 157, 143), (233, 196, 106), (244, 162, 97), (231, 111, 81)]

    def shade(x, y):
        gx, gy = int(x // size), int(y // size)
        fx, fy = x / size - gx, y / size - gy
        if hash01(gx, gy, 20) < 0.5:
            half = 0 if fx > fy else 1
        else:
            half = 0 if fx + fy < 1 else 1
        c = pal[int(hash01(gx, gy, half, 21) * len(pal))]
        # Thin grout lines between tiles.
        edge = min(fx, fy, 1 - fx, 1 - fy) * size
        return mix((250, 245, 235), c, smooth(0.3, 1.2, edge))
    return shade


PICTURES = [
    ("sunset.png", 200, 150, sunset),
    ("hills.png", 200, 150, hills),
    ("night-sky.png", 160, 120, night_sky),
    ("stripes.png", 160, 120, stripes),
    ("rings.png", 160, 120, rings),
    ("checkerboard.png", 160, 120, checkerboard),
    ("colour-wheel.png", 140, 140, colour_wheel),
    ("waves.png", 160, 120, waves),
    ("mandala.png", 140, 140, mandala),
    ("rainbow.png", 160, 120, rainbow),
    ("plasma.png", 160, 120, plasma),
    ("spiral.png", 160, 120, spiral),
    ("mountains.png", 200, 150, mountains),
    ("polka-dots.png", 160, 120, polka_dots),
    ("city-skyline.png", 200, 150, city_skyline),
    ("mosaic.png", 160, 120, mosaic),
]


# --------------------------------------------------------------------------
# Text notes
# --------------------------------------------------------------------------

TEXTS = {
    "haiku.txt": """\
Folder full of files
shaken like seeds in a hand -
five fall into place.
""",
    "about-random-mixes.txt": """\
A note about random mixes

Picking files at random is a good way to hear an old music folder
with fresh ears, or to fill a photo frame without choosing every
picture by hand. Ask for a dozen, copy them, and see what turns up.
Run it again tomorrow and you will get a different dozen.
""",
    "shopping-list.txt": """\
Shopping list
- bread (the seeded one)
- 6 eggs
- milk
- apples, about a kilo
- coffee beans
- batteries, AA
- something for dessert
""",
    "limerick.txt": """\
A clerk with a drive full of files
Had folders stacked up into piles.
She picked twenty blind,
Left the rest behind,
And the slideshow came out full of smiles.
""",
    "packing-list.txt": """\
Packing list for the weekend
[ ] tent and pegs
[ ] sleeping bag
[ ] torch and spare batteries
[ ] rain jacket
[ ] two warm jumpers
[ ] water bottle
[ ] map (paper, in case the phone dies)
[ ] the good camera
""",
    "pancake-recipe.txt": """\
Pancakes for four

200 g flour, 2 eggs, 300 ml milk, a pinch of salt,
a spoon of sugar and a knob of melted butter.

Whisk it all smooth and let it rest ten minutes.
Cook in a hot, lightly buttered pan until bubbles
show, flip once, and serve straight away.
""",
    "weather-log.txt": """\
Weather log, first week of May
Mon  14 C  cloudy, light wind
Tue  16 C  sunny spells
Wed  11 C  rain all afternoon
Thu  13 C  showers, then clear
Fri  18 C  bright and warm
Sat  19 C  sunny
Sun  15 C  overcast
""",
    "to-do.txt": """\
To do
1. Back up the photo folders before sorting them.
2. Return the library books (due Friday).
3. Fix the squeaky hinge on the shed door.
4. Call about the bike service.
5. Make a random playlist for the long drive.
""",
}


def main():
    OUT.mkdir(exist_ok=True)
    for old in sorted(OUT.iterdir()):
        if old.is_file() and old.suffix in (".png", ".txt"):
            old.unlink()
    total = 0
    for name, w, h, scene in PICTURES:
        data = png_bytes(w, h, render(w, h, scene(w, h)))
        (OUT / name).write_bytes(data)
        total += len(data)
        print(f"{name:20} {w}x{h} {len(data):7} bytes")
    for name, text in TEXTS.items():
        data = text.encode("ascii")
        (OUT / name).write_bytes(data)
        total += len(data)
        print(f"{name:20} {'':7} {len(data):7} bytes")
    print(f"{len(PICTURES) + len(TEXTS)} files, {total} bytes in {OUT}")


if __name__ == "__main__":
    main()
