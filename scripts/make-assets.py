#!/usr/bin/env python3
"""Draws Lumora's artwork into assets/.

The small pictures (toolbar, 16 and 32 pixel icons, panel icon, link cursor) are pixel maps
written out below, one character per pixel, in the 16-colour Lumora palette. The splash and the
large desktop icons are drawn from shapes (signed distance functions) with smooth edges.

Only Python's standard library is needed, except for the splash: its small texts are set in
DejaVu Sans and the picture is encoded as JPEG by ImageMagick (Debian packages imagemagick and
fonts-dejavu-core).

    python3 scripts/make-assets.py                 # writes every file under assets/
    python3 scripts/make-assets.py --preview DIR   # also writes enlarged PNG proofs to DIR

The outputs are committed; the build never runs this script.
"""

import argparse
import math
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
ASSETS = ROOT / "assets"
VERSION = "1.5.6"

# ---------------------------------------------------------------------------------------------
# The palette. Every pixel-art picture uses these 16 colours and nothing else, so the icons
# keep their look in 16-colour formats. Silver is the toolbar's mask colour: it only ever
# stands for "transparent" and is never drawn.
# ---------------------------------------------------------------------------------------------
PALETTE = [
    # key, name, colour
    ("K", "black", 0x000000),
    ("k", "ink", 0x1B2436),
    ("s", "slate", 0x3B475C),
    ("g", "grey", 0x6E7A8E),
    ("t", "steel", 0xA7B1C2),
    (".", "silver", 0xC0C0C0),
    ("m", "mist", 0xE3E8EF),
    ("w", "white", 0xFFFFFF),
    ("N", "navy", 0x0B3A82),
    ("B", "blue", 0x1764D6),
    ("S", "sky", 0x3D8FF2),
    ("L", "light", 0x86C1FF),
    ("P", "pale", 0xCFE6FF),
    ("T", "teal", 0x17B3C2),
    ("Y", "gold", 0xFFC23D),
    ("D", "deep", 0x0E1E45),
]
KEYS = {key: i for i, (key, _, _) in enumerate(PALETTE)}
RGB = [((c >> 16) & 255, (c >> 8) & 255, c & 255) for _, _, c in PALETTE]
SILVER = KEYS["."]
BLACK = KEYS["K"]


def parse_map(text, size):
    """Turns a pixel map into palette indices; '.' is the transparent background."""
    rows = [r.strip() for r in text.strip("\n").splitlines()]
    if len(rows) != size or any(len(r) != size for r in rows):
        raise ValueError(f"pixel map is not {size}x{size}: {[len(r) for r in rows]}")
    return [[KEYS[ch] for ch in row] for row in rows]


# ---------------------------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------------------------
def write_png(path, width, height, rgba_rows):
    """RGBA, 8 bits a channel; rows are lists of (r, g, b, a)."""
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    write_file(path, data)


def pack_4bit_rows(indices):
    """Bottom-up rows of 4-bit pixels, each row padded to 4 bytes (BMP and ICO layout)."""
    out = bytearray()
    for row in reversed(indices):
        line = bytearray()
        for x in range(0, len(row), 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < len(row) else 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        out += line
    return out


def palette_bytes():
    return b"".join(bytes((b, g, r, 0)) for r, g, b in RGB)


def write_bmp4(path, indices):
    """A 16-colour BMP with the Lumora palette."""
    h = len(indices)
    w = len(indices[0])
    pixels = pack_4bit_rows(indices)
    offset = 14 + 40 + 64
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 3780, 3780, 16, 16)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    write_file(path, header + info + palette_bytes() + pixels)


def write_ico4(path, images):
    """A 16-colour icon file; images are index maps where silver means transparent."""
    entries = bytearray()
    blobs = bytearray()
    offset = 6 + 16 * len(images)
    for indices in images:
        h = len(indices)
        w = len(indices[0])
        xor_map = [[BLACK if i == SILVER else i for i in row] for row in indices]
        xor = pack_4bit_rows(xor_map)
        mask = bytearray()
        for row in reversed(indices):
            line = bytearray((w + 7) // 8)
            for x, i in enumerate(row):
                if i == SILVER:
                    line[x // 8] |= 0x80 >> (x % 8)
            while len(line) % 4:
                line.append(0)
            mask += line
        info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, len(xor) + len(mask), 0, 0,
                           16, 0)
        blob = info + palette_bytes() + xor + mask
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs += blob
    write_file(path, struct.pack("<HHH", 0, 1, len(images)) + entries + blobs)


def write_file(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    report(path)


def report(path):
    shown = path.relative_to(ROOT) if path.is_relative_to(ROOT) else path
    print(f"wrote {shown} ({path.stat().st_size} bytes)")


def indices_to_rgba(indices):
    return [[(0, 0, 0, 0) if i == SILVER else RGB[i] + (255,) for i in row] for row in indices]


def silver_enclosed(indices):
    """Silver pixels that cannot reach the border through silver: mask colour inside a drawing."""
    h = len(indices)
    w = len(indices[0])
    seen = set()
    stack = [(x, y) for y in range(h) for x in range(w)
             if (x in (0, w - 1) or y in (0, h - 1)) and indices[y][x] == SILVER]
    while stack:
        x, y = stack.pop()
        if (x, y) in seen:
            continue
        seen.add((x, y))
        for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if 0 <= nx < w and 0 <= ny < h and indices[ny][nx] == SILVER:
                stack.append((nx, ny))
    return [(x, y) for y in range(h) for x in range(w)
            if indices[y][x] == SILVER and (x, y) not in seen]


# ---------------------------------------------------------------------------------------------
# Toolbar: eleven 16 x 16 pictures in the toolbar's order. One dark ink outline, flat fills,
# one highlight tone; blue is the accent, greys and white the neutrals, gold only for a spark.
# ---------------------------------------------------------------------------------------------
TOOLBAR = [
    ("01-open", """
................
................
................
.kkkk...........
kLLLLk..........
kLSSSLkkkkkkk...
kLSSSSSSSSSSSk..
kLSwwwwwwwwwwk..
kLSwkkkkkkkkkkkk
kLSkPPPPPPPPPPPk
kLkPLLLLLLLLLLk.
kLkPLLLLLLLLLLk.
kkPLLLLLLLLLLk..
kkPSSSSSSSSSSk..
kkkkkkkkkkkkk...
................
"""),
    ("02-camera", """
................
................
................
....kkkkkk......
...kggggggk.....
.kkkkkkkkkkkkkk.
kttttkkkkkttYYtk
ktttkPLSBNkttttk
ksskLPSBBBNksssk
ksskSSBBBBNksssk
ksskBBBBBBNksssk
kssskNBBBNksssgk
ksssskkkkkssssgk
.kkkkkkkkkkkkkk.
................
................
"""),
    ("03-copy", """
................
kkkkkkkkk.......
kwwwwwwwkk......
kwLLLLwwkwk.....
kwwwwwwkkkkkkk..
kwLLLLwkwwwwwkk.
kwwwwwwkwLLLLkwk
kwLLLLwkwwwwwkkk
kwwwwwwkwLLLLLwk
kwLLLLwkwwwwwwwk
kwwwwwwkwLLLLLwk
kkkkkkkkwwwwwwwk
.......kwLLLLLwk
.......kwwwwwwwk
.......kkkkkkkkk
................
"""),
    ("04-cascade", """
kkkkkkkkkk......
kLLLLLLLLk......
kwkkkkkkkkkk....
kwkSSSSSSSSk....
kwkwkkkkkkkkkkk.
kwkwkBBBBBBBBBk.
kkkwkkkkkkkkkkk.
..kwkwwwwwwwwwk.
..kkkwwwwwwwwwk.
....kwwwwwwwwwk.
....kwwwwwwwwwk.
....kwwwwwwwwwk.
....kkkkkkkkkkk.
................
................
................
"""),
    ("05-zoomin", """
.....kkkkk......
...kkPPPPPkk....
..kPPwPPPPPLk...
..kPwPPBPPPLk...
.kPPPPPBPPPPLk..
.kPPPPPBPPPPLk..
.kPPBBBBBBBPLk..
.kPPPPPBPPPPLk..
.kPPPPPBPPPPLk..
..kLPPPBPPPLk...
..kLLPPPPPLLk...
...kkLLLLLkkk...
.....kkkkkkssk..
...........kssk.
............kssk
.............kk.
"""),
    ("06-zoomout", """
.....kkkkk......
...kkPPPPPkk....
..kPPwPPPPPLk...
..kPwPPPPPPLk...
.kPPPPPPPPPPLk..
.kPPPPPPPPPPLk..
.kPPBBBBBBBPLk..
.kPPPPPPPPPPLk..
.kPPPPPPPPPPLk..
..kLPPPPPPPLk...
..kLLPPPPPLLk...
...kkLLLLLkkk...
.....kkkkkkssk..
...........kssk.
............kssk
.............kk.
"""),
    ("07-save", """
kkkkkkkkkkkkkk..
kSkwwwwwwwwkSkk.
kSkwwwwwwwwkSSSk
kSkwLLLLLLwkSSSk
kSkwwwwwwwwkSSSk
kSkwLLLLLLwkSSSk
kSkkkkkkkkkkSSSk
kSSSSSSSSSSSSSSk
kSSkkkkkkkkkkSSk
kSSkttttkmmkkSSk
kSSkttttkmmkkSSk
kSSkttttkmmkkSSk
kSSkttttkkkkkSSk
kBBkttttttttkBBk
.kkkkkkkkkkkkkk.
................
"""),
    ("08-preview", """
kkkkkkkkk.......
kwwwwwwwkk......
kwLLLLwwkwk.....
kwwwwwwwkkkk....
kwLLLLLwwwwk....
kwwwkkkkkwwk....
kwLkPPPPPkwk....
kwkPwPPPPPkk....
kwkPPPPPPPkk....
kwkPPPPPPPkk....
kwkLPPPPPLkk....
kwwkLLLLLkssk...
kkkkkkkkkkkssk..
...........kssk.
............kssk
.............kk.
"""),
    ("09-print", """
................
....kkkkkkkk....
....kwwwwwwk....
....kwLLLLwk....
....kwwwwwwk....
.kkkkkkkkkkkkkk.
kttttttttttttttk
kmmmmmmmmmmmTTmk
ktttttttttttttgk
kgggggggggggggsk
kggkkkkkkkkkkgsk
kgskwwwwwwwwkssk
.kkkwLLLLLLwkkk.
...kwwwwwwwwk...
...kkkkkkkkkk...
................
"""),
    ("10-help", """
.....kkkkkk.....
...kkBBBBBBkk...
..kBBSSSSSSBBk..
.kBSSwwwwwSSSBk.
.kBSwwSSSwwSSBk.
kBSSwwSSSwwSSSNk
kBSSSSSSwwSSSSNk
kBSSSSSwwSSSSSNk
kBSSSSSwwSSSSSNk
kBSSSSSSSSSSSSNk
.kBSSSSwwSSSSNk.
.kBBSSSwwSSSBNk.
..kNBBSSSSBBNk..
...kkNNNNNNkk...
.....kkkkkk.....
................
"""),
    ("11-exit", """
................
..kkkkkkkkk.....
..kPkDDDDDk.....
..kPLkDDDDkk....
..kPLLkDDDkSk...
..kPLLLkDDkSSk..
..kPLLLkkkkSSSk.
..kPLLLkSSSSSSSk
..kPYLLkBBBBBBBk
..kPLLLkkkkBBBk.
..kPLLLkDDkBBk..
..kPLLLkDDkBk...
..kPLLLkDDkk....
..kkPLLkDDk.....
....kkkkkkk.....
................
"""),
]


# ---------------------------------------------------------------------------------------------
# Proof sheets: enlarged copies for looking at the pixels, plus real-size copies on a light
# and a dark background.
# ---------------------------------------------------------------------------------------------
def write_proof(path, pictures, scale=8, gap=8, columns=6):
    """pictures: list of RGBA row lists. Draws each enlarged on a checkerboard, then at 1x and
    2x on light and dark strips below it."""
    cell_w = max(len(p[0]) for p in pictures) * max(scale, 4)
    cell_h = max(len(p) for p in pictures) * scale
    rows_n = (len(pictures) + columns - 1) // columns
    small_h = max(len(p) for p in pictures) * 2 + 8
    width = columns * (cell_w + gap) + gap
    height = rows_n * (cell_h + small_h * 2 + gap * 2) + gap
    sheet = [[(90, 96, 110, 255)] * width for _ in range(height)]

    def put(x0, y0, pic, s, bg):
        for y, row in enumerate(pic):
            for x, (r, g, b, a) in enumerate(row):
                for dy in range(s):
                    for dx in range(s):
                        px, py = x0 + x * s + dx, y0 + y * s + dy
                        if bg is None:
                            base = (200, 200, 200) if ((x * s + dx) // 4 + (y * s + dy) // 4) % 2 \
                                else (235, 235, 235)
                        else:
                            base = bg
                        al = a / 255
                        sheet[py][px] = (round(r * al + base[0] * (1 - al)),
                                         round(g * al + base[1] * (1 - al)),
                                         round(b * al + base[2] * (1 - al)), 255)

    for n, pic in enumerate(pictures):
        cx = gap + (n % columns) * (cell_w + gap)
        cy = gap + (n // columns) * (cell_h + small_h * 2 + gap * 2)
        put(cx, cy, pic, scale, None)
        for k, bg in enumerate(((240, 240, 240), (40, 44, 52))):
            y0 = cy + cell_h + 4 + k * small_h
            for yy in range(y0, y0 + small_h - 2):
                for xx in range(cx, cx + cell_w):
                    sheet[yy][xx] = bg + (255,)
            put(cx + 4, y0 + 4, pic, 1, bg)
            put(cx + 4 + len(pic[0]) + 8, y0 + 4, pic, 2, bg)
    write_png(path, width, height, sheet)


# ---------------------------------------------------------------------------------------------
# Shapes with smooth edges. A shape is a signed distance function: negative inside, in the
# units the caller draws in; coverage of a pixel is taken from the distance at its centre.
# ---------------------------------------------------------------------------------------------
def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def rounded_box(cx, cy, hw, hh, radius):
    def sdf(x, y):
        qx = abs(x - cx) - hw + radius
        qy = abs(y - cy) - hh + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def segment(ax, ay, bx, by, width):
    """A stroke with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def sdf(x, y):
        t = clamp(((x - ax) * dx + (y - ay) * dy) / length2)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2
    return sdf


def arc(cx, cy, r, start, end, width):
    """A round-ended stroke along a circle from angle start to end (radians, y down, clockwise)."""
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (start, end)]
    span = (end - start) % (2 * math.pi)

    def sdf(x, y):
        a = (math.atan2(y - cy, x - cx) - start) % (2 * math.pi)
        if a <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2
    return sdf


def diamond(cx, cy, a, b):
    k = a * b / math.hypot(a, b)
    return lambda x, y: (abs(x - cx) / a + abs(y - cy) / b - 1) * k


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def mix(c1, c2, t):
    t = clamp(t)
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def hexrgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def linear(p0, p1, stops):
    """A linear gradient from point p0 to p1 over (position, colour) stops."""
    (x0, y0), (x1, y1) = p0, p1
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = clamp(((x - x0) * dx + (y - y0) * dy) / length2)
        for (ta, ca), (tb, cb) in zip(stops, stops[1:]):
            if t <= tb:
                return mix(ca, cb, (t - ta) / ((tb - ta) or 1))
        return stops[-1][1]
    return paint


def radial(cx, cy, r, stops):
    def paint(x, y):
        t = clamp(math.hypot(x - cx, y - cy) / r)
        for (ta, ca), (tb, cb) in zip(stops, stops[1:]):
            if t <= tb:
                return mix(ca, cb, (t - ta) / ((tb - ta) or 1))
        return stops[-1][1]
    return paint


class Canvas:
    """Straight-alpha RGBA in floats; shapes are given in units of `unit` pixels."""

    def __init__(self, width, height, unit=1.0, background=(0, 0, 0, 0.0)):
        self.width = width
        self.height = height
        self.unit = unit
        self.px = [[list(background) for _ in range(width)] for _ in range(height)]

    def fill(self, shape, paint, opacity=1.0, softness=1.0):
        """softness widens the edge (in pixels) for glows and shadows."""
        u = self.unit
        for py in range(self.height):
            y = (py + 0.5) / u
            row = self.px[py]
            for px in range(self.width):
                x = (px + 0.5) / u
                d = shape(x, y) * u
                cover = clamp(0.5 - d / softness)
                if cover <= 0.0:
                    continue
                colour = paint(x, y) if callable(paint) else paint
                self.blend(row[px], colour, cover * opacity)

    @staticmethod
    def blend(dst, colour, alpha):
        src_a = alpha * (colour[3] if len(colour) > 3 else 1.0)
        out_a = src_a + dst[3] * (1 - src_a)
        if out_a <= 0:
            return
        for i in range(3):
            dst[i] = (colour[i] * src_a + dst[i] * dst[3] * (1 - src_a)) / out_a
        dst[3] = out_a

    def rgba_rows(self):
        return [[(round(clamp(r / 255) * 255), round(clamp(g / 255) * 255),
                  round(clamp(b / 255) * 255), round(clamp(a) * 255)) for r, g, b, a in row]
                for row in self.px]


# ---------------------------------------------------------------------------------------------
# The Lumora mark: a lens on a blue tile with a spark of light. Drawn in a unit square.
# ---------------------------------------------------------------------------------------------
C = {name: hexrgb(value) for _, name, value in PALETTE}


def draw_mark(canvas, shadow=True, half=0.42):
    tile = rounded_box(0.5, 0.5, half, half, half * 0.45)
    if shadow:
        canvas.fill(rounded_box(0.5, 0.53, half - 0.01, half - 0.01, half * 0.45), (0, 0, 0, 0.45),
                    softness=max(1.0, canvas.unit * 0.05))
    canvas.fill(tile, linear((0.15, 0.1), (0.85, 0.95),
                             [(0.0, C["light"]), (0.35, C["sky"]), (0.75, C["blue"]),
                              (1.0, C["navy"])]))
    # Soft sheen over the upper half of the tile.
    canvas.fill(intersect(tile, circle(0.3, -0.1, 0.62)), (255, 255, 255, 0.16))
    cx, cy = 0.47, 0.53
    canvas.fill(circle(cx, cy + 0.02, 0.285), (5, 20, 60, 0.35),
                softness=max(1.0, canvas.unit * 0.03))
    canvas.fill(circle(cx, cy, 0.27), linear((0.3, 0.3), (0.6, 0.8),
                                             [(0.0, C["white"]), (1.0, C["pale"])]))
    canvas.fill(circle(cx, cy, 0.215), radial(cx, cy, 0.215, [(0.0, C["deep"]), (0.55, C["navy"]),
                                                            (1.0, C["deep"])]))
    canvas.fill(ring(cx, cy, 0.145, 0.035), linear((0.3, 0.35), (0.6, 0.75),
                                                   [(0.0, C["teal"]), (1.0, C["sky"])]))
    canvas.fill(circle(cx, cy, 0.085), C["deep"])
    canvas.fill(circle(cx - 0.075, cy - 0.075, 0.05), (255, 255, 255, 0.95))
    canvas.fill(circle(cx + 0.06, cy + 0.07, 0.022), (255, 255, 255, 0.7))
    star = union(diamond(0.77, 0.24, 0.1, 0.03), diamond(0.77, 0.24, 0.03, 0.1))
    canvas.fill(circle(0.77, 0.24, 0.07), (255, 210, 90, 0.35), softness=max(1.0, canvas.unit * 0.06))
    canvas.fill(star, C["gold"])
    canvas.fill(circle(0.77, 0.24, 0.018), C["white"])


def render_mark(size, shadow=True, half=0.42):
    canvas = Canvas(size, size, unit=size)
    draw_mark(canvas, shadow, half)
    return canvas.rgba_rows()



# ---------------------------------------------------------------------------------------------
# The window icon, small: the mark redrawn by hand for 16 and 32 pixels in the palette.
# ---------------------------------------------------------------------------------------------
ICON_16 = """
.NNNNNNNNNNNNNN.
NLLLLLLLLLLLYSSN
NLLLLLLLLLLSYSSN
NLLLLLLLLLYYwYYN
NLLLLwwwwwSSYSSN
NLLLwwDDDwwSYSSN
NLLwDDTTTDDwSSSN
NLwwDTTTTTDmmBBN
NLwDTTwDDSSDmNBN
NLwDTTDDDSSDmNBN
NLwDTTDDPSSDmNBN
NLwwDTSSSSDmmNBN
NSSwDDSSSDDmNBBN
NSSSwmDDDmmNBBBN
NSSSSmmmmmNBBBBN
.NNNNNNNNNNNNNN.
"""

ICON_32 = """
....NNNNNNNNNNNNNNNNNNNNNNNN....
..NNLLLLLLLLLLLLLLLLLLLLLSSSNN..
.NLLLLLLLLLLLLLLLLLLLLLLSSSSSSN.
.NLLLLLLLLLLLLLLLLLLLLLSSSSSSSN.
NLLLLLLLLLLLLLLLLLLLLLSSSYSSSSSN
NLLLLLLLLLLLLLLLLLLLLSSSSYSSSSSN
NLLLLLLLLLLLLLLLLLLLSSSSSYSSSSSN
NLLLLLLLLLLLLLLLLLLSSSYYYwYYYSSN
NLLLLLLLLLLwwwwwwwSSSSSSSYSSSSSN
NLLLLLLLLwwwwwwwwwwwSSSSSYSSSSSN
NLLLLLLLwwwwDDDDDwwwwSSSSYSSSSSN
NLLLLLLwwwDDDDDDDDDwwwSSSSSSSSBN
NLLLLLwwwDDTTTTTTTDDwwwSBSSSSBBN
NLLLLLwwDDTTTTTTTTTDDwmBBSSSBBBN
NLLLLwwwDTTTwwDDTTSSDmmmBSSBBBBN
NLLLLwwDDTTTwwDDDSSSDDmmBBBBBBBN
NLLLLwwDDTTDDDDDDDSSDDmmBNBBBBBN
NLLLLwwDDTTDDDDDDDSSDDmmNNBBBBBN
NLLLLwwDDTTDDDDDDDSSDDmmNNBBBBBN
NLLLLwwDDTTTDDDDDSSSDDmmNNBBBBBN
NLLLLwwwDTTTSDDDSPSSDmmmNBBBBBBN
NLLLLSwwDDTSSSSSSSSDDmmNNBBBBBBN
NLLLSSwwwDDSSSSSSSDDmmmNNBBBBBBN
NLLSSSSwwwDDDDDDDDDmmmNNBBBBBBBN
NLSSSSSSwwwmDDDDDmmmmNNBBBBBBBBN
NSSSSSSSSwmmmmmmmmmmNNBBBBBBBBBN
NSSSSSSSSSBmmmmmmmNNNBBBBBBBBBBN
NSSSSSSSSBBBBBNNNNNNBBBBBBBBBBBN
.NSSSSSSSSSSBNNNNBBBBBBBBBBBBBN.
.NSSSSSSSSSSBBBBBBBBBBBBBBBBBBN.
..NNSSSSSSSBBBBBBBBBBBBBBBBBNN..
....NNNNNNNNNNNNNNNNNNNNNNNN....
"""

# The status-bar panel icon: a small framed picture, sky, hills and sun.
PANEL_16 = """
................
.kkkkkkkkkkkkkk.
.kwwwwwwwwwwwwk.
.kwPPPPPPPPPPwk.
.kwPPPPPPPYYPwk.
.kwPPPPPPPYYPwk.
.kwPPPPPPPPPPwk.
.kwPPPPLPPPPPwk.
.kwPPPLSLPPPPwk.
.kwPPLSSSLPPLwk.
.kwPLSSSSSLLSwk.
.kwLSSSBSSSSSwk.
.kwTTTTTTTTTTwk.
.kwwwwwwwwwwwwk.
.kkkkkkkkkkkkkk.
................
"""

# The mail link's pointer: a hand whose fingertip (the hot spot) is at x = 12, y = 1.
LINK_CURSOR = """
................................
...........KKK..................
..........KwwwK.................
..........KwwmK.................
..........KwwmK.................
..........KwwmK.................
..........KwwmK.................
..........KwwmKKK...............
..........KwwmKwmKKK............
..........KwwmKwmKwmKKK.........
..........KwwmKwmKwmKwmK........
......KK..KwwmKwmKwmKwmK........
.....KwwK.KwwwwwwwwwwwmK........
.....KwwmKKwwwwwwwwwwwmK........
......KwwmKwwwwwwwwwwwmK........
......KwwwwwwwwwwwwwwwmK........
.......KwwwwwwwwwwwwwwmK........
.......KwwwwwwwwwwwwwmK.........
........KwwwwwwwwwwwwmK.........
........KwwwwwwwwwwwwmK.........
.........KwwwwwwwwwwmK..........
.........KwwwwwwwwwwmK..........
.........KKKKKKKKKKKKK..........
.........KSSSSSSSSSSSK..........
.........KBBBBBBBBBBBK..........
.........KKKKKKKKKKKKK..........
................................
................................
................................
................................
................................
................................
"""
LINK_HOTSPOT = (12, 1)


# ---------------------------------------------------------------------------------------------
# The splash: 300 x 200, a lens on a deep blue field with the wordmark beside it.
# ---------------------------------------------------------------------------------------------
def wordmark(x, baseline, xh, weight):
    """'Lumora' in round-ended geometric strokes; returns the shape and its right edge."""
    h = weight / 2
    top, bottom = baseline - xh + h, baseline - h
    gap = 0.2 * xh
    parts = []
    # L
    stem_top = baseline - 1.42 * xh + h
    parts += [segment(x + h, stem_top, x + h, bottom, weight),
              segment(x + h, bottom, x + h + 0.5 * xh, bottom, weight)]
    x += 2 * h + 0.5 * xh + gap
    # u
    w = 0.8 * xh
    left, right = x + h, x + w - h
    r = (right - left) / 2
    cy = bottom - r
    parts += [segment(left, top, left, cy, weight), arc(left + r, cy, r, 0, math.pi, weight),
              segment(right, top, right, bottom, weight)]
    x += w + gap
    # m
    w = 1.28 * xh
    left, right = x + h, x + w - h
    mid = (left + right) / 2
    r = (mid - left) / 2
    cy = top + r
    parts += [segment(left, top, left, bottom, weight),
              arc(left + r, cy, r, math.pi, 2 * math.pi, weight),
              segment(mid, cy, mid, bottom, weight),
              arc(mid + r, cy, r, math.pi, 2 * math.pi, weight),
              segment(right, cy, right, bottom, weight)]
    x += w + gap
    # o
    r = xh / 2 - h
    parts.append(ring(x + xh / 2, baseline - xh / 2, r, weight))
    o_centre = (x + xh / 2, baseline - xh / 2)
    x += xh + gap
    # r
    left = x + h
    r = 0.34 * xh
    parts += [segment(left, top, left, bottom, weight),
              arc(left + r, top + r, r, math.pi, 1.72 * math.pi, weight)]
    x += 2 * h + 0.62 * xh + gap * 0.6
    # a
    r = xh / 2 - h
    parts += [ring(x + xh / 2, baseline - xh / 2, r, weight),
              segment(x + xh - h, top, x + xh - h, bottom, weight)]
    x += xh
    return union(*parts), x, o_centre


def draw_splash(scale=1):
    """Drawn at `scale` device pixels a pixel; glows keep their width on the form."""
    canvas = Canvas(300 * scale, 200 * scale, unit=scale)
    canvas.fill(lambda x, y: -1, linear((0, 0), (300, 200), [(0.0, C["deep"]), (0.55, C["navy"]),
                                                            (1.0, C["blue"])]))
    # A faint ribbon of light across the field, and a glow where the lens sits.
    canvas.fill(ring(150, 520, 430, 46), (61, 143, 242, 0.22), softness=30 * scale)
    canvas.fill(ring(150, 540, 460, 20), (23, 179, 194, 0.18), softness=16 * scale)
    canvas.fill(circle(78, 102, 40), (61, 143, 242, 0.55), softness=60 * scale)
    # Two photo prints fanned out behind the lens.
    for angle, cx, cy, alpha in ((-0.2, 36, 60, 0.5), (0.16, 122, 150, 0.38)):
        ca, sa = math.cos(angle), math.sin(angle)

        def rotated(shape, cx=cx, cy=cy, ca=ca, sa=sa):
            return lambda x, y: shape(cx + (x - cx) * ca + (y - cy) * sa,
                                      cy - (x - cx) * sa + (y - cy) * ca)
        canvas.fill(rotated(rounded_box(cx, cy, 30, 24, 2.5)), (255, 255, 255, alpha))
        canvas.fill(rotated(rounded_box(cx, cy - 2, 25, 18, 1)), (134, 193, 255, alpha))
        canvas.fill(rotated(intersect(rounded_box(cx, cy - 2, 25, 18, 1),
                                      union(circle(cx - 10, cy + 26, 22),
                                            circle(cx + 14, cy + 30, 24)))),
                    (23, 100, 214, alpha))
    # The lens.
    cx, cy = 78, 102
    canvas.fill(circle(cx + 3, cy + 6, 54), (2, 8, 30, 0.55), softness=14 * scale)
    canvas.fill(circle(cx, cy, 53), linear((40, 55), (115, 150),
                                           [(0.0, C["white"]), (0.6, C["pale"]),
                                            (1.0, C["light"])]))
    canvas.fill(circle(cx, cy, 43), radial(cx, cy, 43, [(0.0, C["deep"]), (0.6, C["navy"]),
                                                        (1.0, C["deep"])]))
    canvas.fill(ring(cx, cy, 36, 1.2), (255, 255, 255, 0.18))
    canvas.fill(ring(cx, cy, 24, 9), linear((cx - 24, cy - 24), (cx + 24, cy + 24),
                                            [(0.0, C["teal"]), (1.0, C["sky"])]))
    canvas.fill(circle(cx, cy, 15), C["deep"])
    canvas.fill(circle(cx - 13, cy - 13, 8.5), (255, 255, 255, 0.95))
    canvas.fill(circle(cx + 11, cy + 12, 3.5), (255, 255, 255, 0.7))
    canvas.fill(arc(cx, cy, 48, 3.6, 4.5, 2.5), (255, 255, 255, 0.6))
    # The spark of light.
    sx, sy = 126, 50
    canvas.fill(circle(sx, sy, 10), (255, 200, 80, 0.45), softness=16 * scale)
    canvas.fill(union(diamond(sx, sy, 15, 3.6), diamond(sx, sy, 3.6, 15)), C["gold"])
    canvas.fill(circle(sx, sy, 2.2), C["white"])
    # The wordmark, with the lens's iris colour in its 'o'.
    shape, right, (ox, oy) = wordmark(TEXT_LEFT, 100, 20, 4.8)
    canvas.fill(shape, C["white"])
    canvas.fill(circle(ox, oy, 2.7), C["gold"])
    canvas.fill(segment(TEXT_LEFT + 1, 137, 286, 137, 1.0), (134, 193, 255, 0.55))
    return canvas, right


TEXT_LEFT = 150
# Texts set by ImageMagick over the drawn splash: font, size (pixels), colour, x, y of the
# text's top left corner, or of its top right corner when the gravity is NorthEast.
SPLASH_TEXTS = [
    ("DejaVu-Sans", 13, "#CFE6FF", "NorthWest", TEXT_LEFT + 1, 110, "Picture viewer"),
    ("DejaVu-Sans", 10, "#86C1FF", "NorthWest", TEXT_LEFT + 1, 143, "Version " + VERSION),
    ("DejaVu-Sans", 9, "#86C1FF", "NorthEast", 12, 180, "JPEG \u00b7 GIF \u00b7 BMP \u00b7 WMF"),
]


def imagemagick():
    """Debian's ImageMagick 6 under its own name first: `convert` may be something else."""
    for name in ("convert-im6.q16", "magick", "convert"):
        found = shutil.which(name)
        if found:
            return [found] if name != "magick" else [found, "convert"]
    sys.exit("ImageMagick is needed for the splash: apt-get install imagemagick fonts-dejavu-core")


def write_splash(path, scale=1):
    canvas, right = draw_splash(scale)
    if right > 290:
        raise ValueError(f"the wordmark runs to x = {right:.0f}, too close to the edge")
    with tempfile.TemporaryDirectory() as tmp:
        base = Path(tmp) / "splash.png"
        write_png(base, canvas.width, canvas.height, canvas.rgba_rows())
        command = imagemagick() + [str(base), "-alpha", "off"]
        for font, size, colour, gravity, x, y, text in SPLASH_TEXTS:
            command += ["-font", font, "-density", "72", "-pointsize", str(size * scale),
                        "-fill", colour, "-gravity", gravity,
                        "-annotate", f"+{x * scale}+{y * scale}", text]
        # 4:4:4 keeps the thin coloured strokes and small texts free of colour fringes.
        command += ["-strip", "-sampling-factor", "1x1", "-quality", "93",
                    "-define", "jpeg:dct-method=float", f"jpeg:{path}"]
        subprocess.run(command, check=True)
    report(path)



# ---------------------------------------------------------------------------------------------
def doubled(indices):
    """The pixel map twice as fine, each pixel drawn as two by two: pixel art stays crisp on a
    screen scaled by 2, where the system would blur or blow up the small picture."""
    return [[v for v in row for _ in (0, 1)] for row in indices for _ in (0, 1)]


def checked_map(name, text, size, mask_outside_only=True):
    indices = parse_map(text, size)
    if mask_outside_only:
        inside = silver_enclosed(indices)
        if inside:
            raise ValueError(f"{name}: silver inside the drawing at {inside}")
    return indices


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--preview", type=Path, help="also write enlarged proofs to this folder")
    parser.add_argument("--no-splash", action="store_true", help="skip the splash (no ImageMagick)")
    args = parser.parse_args()

    toolbar = []
    for name, text in TOOLBAR:
        indices = checked_map(name, text, 16)
        write_bmp4(ASSETS / "toolbar" / f"{name}.bmp", indices)
        write_bmp4(ASSETS / "toolbar" / f"{name}@2x.bmp", doubled(indices))
        toolbar.append(indices)

    icon16 = checked_map("icon 16", ICON_16, 16)
    icon32 = checked_map("icon 32", ICON_32, 32)
    write_ico4(ASSETS / "lumora.ico", [icon32, icon16])
    write_png(ASSETS / "lumora-32.png", 32, 32, indices_to_rgba(icon32))
    write_png(ASSETS / "lumora-16.png", 16, 16, indices_to_rgba(icon16))
    # Twice as fine for a scaled screen: the 32 pixel drawing, and the smooth 64 pixel one.
    write_png(ASSETS / "lumora-16@2x.png", 32, 32, indices_to_rgba(icon32))
    write_png(ASSETS / "lumora-32@2x.png", 64, 64, render_mark(64))

    panel = checked_map("panel", PANEL_16, 16)
    write_ico4(ASSETS / "panel.ico", [panel])
    write_png(ASSETS / "panel.png", 16, 16, indices_to_rgba(panel))
    write_png(ASSETS / "panel@2x.png", 32, 32, indices_to_rgba(doubled(panel)))

    cursor = checked_map("cursor", LINK_CURSOR, 32)
    hx, hy = LINK_HOTSPOT
    if cursor[hy][hx] == SILVER:
        raise ValueError("the cursor's hot spot is not on the fingertip")
    write_png(ASSETS / "linkcursor.png", 32, 32, indices_to_rgba(cursor))
    write_png(ASSETS / "linkcursor@2x.png", 64, 64, indices_to_rgba(doubled(cursor)))

    large = {}
    for size in (48, 64, 128, 256):
        large[size] = render_mark(size)
        write_png(ASSETS / "icons" / "hicolor" / f"{size}x{size}" / "apps" / "lumora.png",
                  size, size, large[size])

    if not args.no_splash:
        write_splash(ASSETS / "splash.jpg")
        write_splash(ASSETS / "splash@2x.jpg", scale=2)

    if args.preview:
        args.preview.mkdir(parents=True, exist_ok=True)
        write_proof(args.preview / "toolbar.png", [indices_to_rgba(i) for i in toolbar])
        write_proof(args.preview / "icons.png",
                    [indices_to_rgba(i) for i in (icon16, icon32, panel, cursor)],
                    columns=4)
        write_proof(args.preview / "large.png", [large[48], large[64]], scale=3, columns=2)


if __name__ == "__main__":
    main()
