#!/usr/bin/env python3
"""Draws and synthesises every picture and sound Tavelin ships.

Run from the repository root:

    python3 tools/make_media.py

Everything is written into resources/ and then read back and checked, so a
broken header or a wrong size stops the script with an assertion instead of
surfacing later as a blank button in the resource compiler's output.

Only the standard library is used: the files are small, and writing the
BMP/ICO/CUR/WAV bytes by hand keeps the output byte-for-byte reproducible
on any machine (no randomness anywhere).
"""

import math
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources")

MAGENTA = (255, 0, 255)   # the toolbar key colour: never drawn, always exact


# ---------------------------------------------------------------------------
# Signed distance shapes.  A shape is f(x, y) -> distance, negative inside.
# Distances let the banner grow an outline or a shadow by simply offsetting;
# the glyphs only use the sign.
# ---------------------------------------------------------------------------

def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ellipse(cx, cy, rx, ry):
    # Not a true distance, but close enough near the edge for inside tests.
    m = min(rx, ry)
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * m


def sd_box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def sd_capsule(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    dd = dx * dx + dy * dy

    def f(x, y):
        px, py = x - ax, y - ay
        h = max(0.0, min(1.0, (px * dx + py * dy) / dd))
        return math.hypot(px - dx * h, py - dy * h) - r
    return f


def sd_polyline(points, r):
    return sd_union(*[sd_capsule(a[0], a[1], b[0], b[1], r)
                      for a, b in zip(points, points[1:])])


def sd_polygon(pts):
    pts = [(float(a), float(b)) for a, b in pts]
    n = len(pts)

    def f(x, y):
        d = (x - pts[0][0]) ** 2 + (y - pts[0][1]) ** 2
        s = 1.0
        j = n - 1
        for i in range(n):
            vix, viy = pts[i]
            vjx, vjy = pts[j]
            ex, ey = vjx - vix, vjy - viy
            wx, wy = x - vix, y - viy
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1 = y >= viy
            c2 = y < vjy
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or not (c1 or c2 or c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    return f


def sd_halfplane(nx, ny, c):
    """Inside where nx*x + ny*y < c."""
    ln = math.hypot(nx, ny)
    return lambda x, y: (nx * x + ny * y - c) / ln


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_inter(*fs):
    return lambda x, y: max(f(x, y) for f in fs)


def sd_diff(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def sd_ring(cx, cy, r_out, r_in):
    return sd_diff(sd_circle(cx, cy, r_out), sd_circle(cx, cy, r_in))


def sd_wedge(cx, cy, a0, a1, reach=200.0):
    """Angular sector a0..a1 (degrees, y down so angles turn clockwise);
    spans under 180 degrees keep the polygon convex."""
    pts = [(cx, cy)]
    steps = 8
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        pts.append((cx + reach * math.cos(a), cy + reach * math.sin(a)))
    return sd_polygon(pts)


def sd_moved(f, ox, oy, angle_deg=0.0):
    """Place a shape drawn in local coordinates at (ox, oy), rotated."""
    c, s = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))

    def g(x, y):
        dx, dy = x - ox, y - oy
        return f(dx * c + dy * s, -dx * s + dy * c)
    return g


def to_local(x, y, ox, oy, angle_deg):
    c, s = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))
    dx, dy = x - ox, y - oy
    return dx * c + dy * s, -dx * s + dy * c


# ---------------------------------------------------------------------------
# Hard-edged button glyphs (pixels are opaque colours or None = key colour)
# ---------------------------------------------------------------------------

class Glyph:
    SS = 4   # sub-samples per axis when deciding whether a pixel is inside

    def __init__(self, w, h, unit=1.0):
        self.w, self.h, self.unit = w, h, unit   # unit: pixels per design unit
        self.px = [[None] * w for _ in range(h)]

    @classmethod
    def from_art(cls, rows, palette):
        g = cls(len(rows[0]), len(rows))
        for y, row in enumerate(rows):
            assert len(row) == g.w, "ragged art row %d" % y
            for x, ch in enumerate(row):
                g.px[y][x] = palette[ch]
        return g

    def mask(self, f):
        n, u = self.SS, self.unit
        inside = set()
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(n):
                    vy = (y + (sy + 0.5) / n) / u
                    for sx in range(n):
                        if f((x + (sx + 0.5) / n) / u, vy) < 0:
                            hits += 1
                if 2 * hits >= n * n:
                    inside.add((x, y))
        return inside

    def _colour(self, fill, x, y):
        if callable(fill):
            return fill((x + 0.5) / self.unit, (y + 0.5) / self.unit)
        return fill

    def stamp(self, f, fill, outline):
        """Fill a shape and ring it with a 1-px outline.  The ring also cuts
        into whatever was drawn before, which is what keeps overlapping parts
        (the check mark over the horn) readable at 16-32 px."""
        inside = self.mask(f)
        if outline is not None:
            for (x, y) in inside:
                for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if (0 <= nx < self.w and 0 <= ny < self.h
                            and (nx, ny) not in inside):
                        self.px[ny][nx] = outline
        for (x, y) in inside:
            self.px[y][x] = self._colour(fill, x, y)
        return inside

    def paint(self, f, fill, within=None):
        """Recolour pixels of a shape without an outline (shading, details)."""
        for (x, y) in self.mask(f):
            if within is None or (x, y) in within:
                self.px[y][x] = self._colour(fill, x, y)

    def map(self, fn):
        g = Glyph(self.w, self.h, self.unit)
        g.px = [[None if c is None else fn(c) for c in row] for row in self.px]
        return g


def scale2x(g):
    """Pixel art at twice its size (Scale2x): edges follow the diagonals instead of turning
    into blocks, and no colour is made up."""
    out = Glyph(2 * g.w, 2 * g.h)
    px = g.px

    def at(x, y):
        x = min(max(x, 0), g.w - 1)
        y = min(max(y, 0), g.h - 1)
        return px[y][x]
    for y in range(g.h):
        for x in range(g.w):
            p, a, b, c, d = at(x, y), at(x, y - 1), at(x + 1, y), at(x - 1, y), at(x, y + 1)
            e0 = a if (c == a and c != d and a != b) else p
            e1 = b if (a == b and a != c and b != d) else p
            e2 = c if (d == c and d != b and c != a) else p
            e3 = d if (b == d and b != a and d != c) else p
            out.px[2 * y][2 * x], out.px[2 * y][2 * x + 1] = e0, e1
            out.px[2 * y + 1][2 * x], out.px[2 * y + 1][2 * x + 1] = e2, e3
    return out


def scale3x(g):
    """Pixel art at three times its size (Scale3x)."""
    out = Glyph(3 * g.w, 3 * g.h)

    def at(x, y):
        x = min(max(x, 0), g.w - 1)
        y = min(max(y, 0), g.h - 1)
        return g.px[y][x]
    for y in range(g.h):
        for x in range(g.w):
            A, B, C = at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)
            D, E, F = at(x - 1, y), at(x, y), at(x + 1, y)
            G, H, I = at(x - 1, y + 1), at(x, y + 1), at(x + 1, y + 1)
            e = [E] * 9
            if B != H and D != F:
                e[0] = D if D == B else E
                e[1] = B if (D == B and E != C) or (B == F and E != A) else E
                e[2] = F if B == F else E
                e[3] = D if (D == B and E != G) or (D == H and E != A) else E
                e[5] = F if (B == F and E != I) or (H == F and E != C) else E
                e[6] = D if D == H else E
                e[7] = H if (D == H and E != I) or (H == F and E != G) else E
                e[8] = F if H == F else E
            for i in range(9):
                out.px[3 * y + i // 3][3 * x + i % 3] = e[i]
    return out


def halved(g):
    """Half the size, each pixel the commonest colour of its 2 x 2 block (the top left one on a
    tie): hard edges stay hard."""
    out = Glyph(g.w // 2, g.h // 2)
    for y in range(out.h):
        for x in range(out.w):
            block = [g.px[2 * y][2 * x], g.px[2 * y][2 * x + 1],
                     g.px[2 * y + 1][2 * x], g.px[2 * y + 1][2 * x + 1]]
            out.px[y][x] = max(block, key=lambda c: (block.count(c), -block.index(c)))
    return out


def art_at(g, percent):
    """Hand-placed pixel art at 100, 150 or 200 %."""
    if percent == 150:
        return halved(scale3x(g))
    if percent == 200:
        return scale2x(g)
    return g


def greyed(g):
    """Disabled look: same silhouette, lifted greys so it reads as inactive."""
    def grey(c):
        lum = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
        v = int(round(84 + lum * 0.56))
        return (v, v, v)
    return g.map(grey)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# --- colours shared by the glyphs ---
INK = (28, 28, 32)                 # generic dark outline
BRASS_HI, BRASS, BRASS_LO = (255, 232, 130), (238, 182, 44), (186, 122, 18)
BRASS_INK = (72, 44, 8)
RED_HI, RED, RED_LO = (255, 120, 110), (222, 30, 30), (160, 10, 10)
RED_INK = (70, 0, 0)
GREEN_HI, GREEN, GREEN_LO = (150, 238, 120), (56, 186, 56), (24, 124, 34)
GREEN_INK = (0, 62, 10)


def draw_horn_with_check(size):
    """Brass horn blowing to the right, red tick under its bell.
    Designed on a 32-unit grid and scaled, so the 24 and 32 px buttons match."""
    g = Glyph(size, size, size / 32.0)
    # Kept level: a tilted bell mouth turns into stair-step noise at this size.
    ox, oy, ang = 1.4, 11.8, 0.0
    bell_x, bell_ry = 22.5, 9.0

    def half_height(lx):
        if lx < 6.0:
            return 1.4
        t = (lx - 6.0) / (bell_x - 6.0)
        return 1.4 + (bell_ry - 1.4) * t ** 2.2

    top, bot = [], []
    steps = 24
    for i in range(steps + 1):
        lx = 2.0 + (bell_x - 2.0) * i / steps
        h = half_height(lx)
        top.append((lx, -h))
        bot.append((lx, h))
    body = sd_moved(sd_polygon(top + bot[::-1]), ox, oy, ang)

    def brass(x, y):
        lx, ly = to_local(x, y, ox, oy, ang)
        r = ly / max(half_height(max(lx, 2.0)), 0.1)
        if r < -0.30:
            return BRASS_HI
        if r > 0.45:
            return BRASS_LO
        return BRASS

    mouthpiece = sd_moved(sd_box(0.0, -2.4, 3.2, 2.4, 0.6), ox, oy, ang)
    g.stamp(mouthpiece, BRASS, BRASS_INK)
    g.stamp(body, brass, BRASS_INK)
    mouth = sd_moved(sd_ellipse(bell_x, 0.0, 3.2, bell_ry), ox, oy, ang)
    rim = g.stamp(mouth, BRASS_HI, BRASS_INK)
    g.paint(sd_moved(sd_ellipse(bell_x + 0.6, 0.6, 2.0, bell_ry - 1.6), ox, oy, ang),
            (176, 110, 18), rim)
    g.paint(sd_moved(sd_ellipse(bell_x + 1.0, 1.4, 1.2, bell_ry - 4.6), ox, oy, ang),
            (104, 58, 6), rim)

    tick = [(15.2, 23.2), (19.8, 27.6), (28.8, 17.8)]
    lo_arm = sd_capsule(tick[0][0], tick[0][1], tick[1][0], tick[1][1], 2.3)

    def red(x, y):
        return RED_HI if lo_arm(x, y) < -1.2 or (x > 24.0 and x + y < 43.2) else RED
    g.stamp(sd_polyline(tick, 2.3), red, RED_INK)
    return g


def scaled_glyph(k):
    """A 32-unit glyph canvas at k times its 32 px size."""
    side = int(32 * k + 0.5)
    return Glyph(side, side, k)


def draw_run32(k=1.0):
    """Two green arrows chasing each other round a circle: start again."""
    g = scaled_glyph(k)
    cx, cy, r_out, r_in = 16.0, 16.0, 12.2, 8.2
    rm = (r_out + r_in) / 2.0
    for a_tail, a_end in ((196.0, 312.0), (16.0, 132.0)):
        wedge = sd_wedge(cx, cy, a_tail, a_end + 0.5)
        arc = sd_inter(sd_ring(cx, cy, r_out, r_in), wedge)
        e = math.radians(a_end)
        ux, uy = math.cos(e), math.sin(e)              # outwards
        tx, ty = -uy, ux                               # clockwise tangent
        ex, ey = cx + rm * ux, cy + rm * uy
        head = sd_polygon([
            (cx + (r_in - 4.0) * ux, cy + (r_in - 4.0) * uy),
            (cx + (r_out + 4.0) * ux, cy + (r_out + 4.0) * uy),
            (ex + 8.5 * tx, ey + 8.5 * ty),
        ])
        inside = g.stamp(sd_union(arc, head), GREEN, GREEN_INK)
        # a lit outer rim and a shaded inner rim give the band some volume
        g.paint(sd_inter(sd_ring(cx, cy, r_out, r_out - 1.3), wedge), GREEN_HI, inside)
        g.paint(sd_inter(sd_ring(cx, cy, r_in + 1.1, r_in - 0.5), wedge), GREEN_LO, inside)
    return g


def draw_pause32(bar, ink, hi=None, k=1.0):
    g = scaled_glyph(k)
    for x0 in (7.0, 19.0):
        inside = g.stamp(sd_box(x0, 5.0, x0 + 6.0, 27.0, 1.2), bar, ink)
        if hi is not None:
            g.paint(sd_box(x0 + 1.0, 6.0, x0 + 2.0, 26.0), hi, inside)
    return g


DOOR_FRAME, DOOR_DARK, DOOR_PANEL, DOOR_PANEL_LO = (
    (150, 92, 44), (58, 46, 62), (214, 146, 70), (176, 108, 44))
KNOB = (255, 222, 90)


def draw_quit32(k=1.0):
    """Open door, panel swung towards us, a green arrow leaving through it."""
    g = scaled_glyph(k)
    g.stamp(sd_box(9.0, 1.5, 24.5, 30.5), DOOR_FRAME, INK)
    g.paint(sd_box(11.5, 4.0, 22.0, 30.5), DOOR_DARK)
    panel = sd_polygon([(11.0, 4.0), (11.0, 30.0), (1.5, 31.0), (1.5, 1.0)])
    inside = g.stamp(panel, DOOR_PANEL, INK)
    g.paint(sd_polygon([(11.0, 4.0), (11.0, 30.0), (8.5, 30.3), (8.5, 3.3)]),
            DOOR_PANEL_LO, inside)
    g.paint(sd_box(3.0, 15.0, 5.0, 18.0), KNOB, inside)
    arrow = sd_union(sd_box(13.0, 13.5, 23.0, 19.5),
                     sd_polygon([(22.0, 8.0), (31.0, 16.5), (22.0, 25.0)]))
    g.stamp(arrow, lambda x, y: GREEN_HI if y < 15.6 else GREEN, GREEN_INK)
    return g


# 16 px glyphs are drawn pixel by pixel: at this size hand placement beats
# any rasteriser.
ART_PALETTE = {
    ".": None, "k": INK,
    # door
    "F": DOOR_FRAME, "D": DOOR_DARK, "P": DOOR_PANEL, "p": DOOR_PANEL_LO, "o": KNOB,
    # green
    "G": GREEN, "g": GREEN_HI, "e": GREEN_LO, "q": GREEN_INK,
    # stopwatch
    "s": (196, 200, 210), "S": (236, 238, 244), "m": (120, 126, 140),
    "w": (255, 255, 255), "r": RED, "R": RED_LO, "c": (140, 218, 128),
}

EXIT16 = [
    "...kkkkkkkkk....",
    "kk.kFFFFFFFk....",
    "kPkkFDDDDDFk....",
    "kPpkFDDDDDFk....",
    "kPpkFDDDDDFkq...",
    "kPpkFDDDDDFkqq..",
    "kPpkFDqqqqqqgq..",
    "kPpkFDqgggggggq.",
    "kopkFDqGGGGGGGGq",
    "kPpkFDqGGGGGGGq.",
    "kPpkFDqqqqqqGq..",
    "kPpkFDDDDDFkqq..",
    "kPpkFDDDDDFkq...",
    "kPpkFDDDDDFk....",
    "kPkkFDDDDDFk....",
    "kk.kkkkkkkkk....",
]

OK16 = [
    "................",
    "................",
    "............qq..",
    "...........qgGq.",
    "..........qgGeq.",
    ".........qgGeq..",
    "........qgGeq...",
    ".qq....qgGeq....",
    "qgGq..qgGeq.....",
    "qGGeqqgGeq......",
    ".qGGegGeq.......",
    "..qGGGeq........",
    "...qGeq.........",
    "....qq..........",
    "................",
    "................",
]

CHRONO16 = [
    ".....kkkkk......",
    ".....kSsmk......",
    "......kmk...kk..",
    ".....kkkkk.kSk..",
    "...kkSSssskkk...",
    "..kSSwwmcwssk...",
    "..kSwwwccccsk...",
    ".kSwwwwccccwsk..",
    ".kSwwwwcccccsk..",
    ".ksmwwwkcccmsk..",
    ".kswwwwwrcccmk..",
    ".kswwwwwwrwwmk..",
    "..kswwwwwwrmk...",
    "..ksswwmwwmmk...",
    "...kkmmmmmkk....",
    ".....kkkkk......",
]


# ---------------------------------------------------------------------------
# Anti-aliased RGBA canvas (program icon)
# ---------------------------------------------------------------------------

class RGBA:
    SS = 8

    def __init__(self, w, h, unit=1.0):
        self.w, self.h, self.unit = w, h, unit
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]   # premultiplied

    def draw(self, f, colour, alpha=1.0):
        n, u = self.SS, self.unit
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(n):
                    vy = (y + (sy + 0.5) / n) / u
                    for sx in range(n):
                        if f((x + (sx + 0.5) / n) / u, vy) < 0:
                            hits += 1
                if not hits:
                    continue
                a = alpha * hits / float(n * n)
                c = colour((x + 0.5) / u, (y + 0.5) / u) if callable(colour) else colour
                r, g, b, da = self.px[y][x]
                k = 1.0 - a
                self.px[y][x] = (c[0] * a + r * k, c[1] * a + g * k,
                                 c[2] * a + b * k, a + da * k)

    def bgra_rows(self):
        rows = []
        for row in self.px:
            out = []
            for r, g, b, a in row:
                a8 = int(round(a * 255))
                if a8 == 0:
                    out.append((0, 0, 0, 0))
                else:
                    out.append((min(255, int(round(b / a))), min(255, int(round(g / a))),
                                min(255, int(round(r / a))), a8))
            rows.append(out)
        return rows


def rgba_from_glyph(g):
    c = RGBA(g.w, g.h)
    c.px = [[(0.0, 0.0, 0.0, 0.0) if p is None else (float(p[0]), float(p[1]), float(p[2]), 1.0)
             for p in row] for row in g.px]
    return c


def draw_icon(size=32):
    """Stopwatch: metal case, crown and side pusher, white face with the
    elapsed part in green and a red hand.  Same picture as the 16 px art,
    with room for minute ticks; the about box shows it doubled."""
    c = RGBA(size, size, size / 32.0)
    cx, cy = 16.0, 17.6
    ink = (30, 32, 40)

    def metal(x, y):
        t = max(0.0, min(1.0, ((x - 4) + (y - 5)) / 46.0))
        return mix((244, 246, 250), (112, 118, 134), t)

    # crown and pusher sit behind the case
    c.draw(sd_box(12.6, 0.3, 19.4, 4.6, 1.4), ink)
    c.draw(sd_box(13.8, 1.4, 18.2, 3.5, 0.6), metal)
    c.draw(sd_box(14.2, 3.6, 17.8, 6.6), ink)
    c.draw(sd_box(15.1, 3.6, 16.9, 6.6), (188, 192, 204))
    pa = math.radians(-45.0)
    px0, py0 = cx + 12.6 * math.cos(pa), cy + 12.6 * math.sin(pa)
    px1, py1 = cx + 15.6 * math.cos(pa), cy + 15.6 * math.sin(pa)
    c.draw(sd_capsule(px0, py0, px1, py1, 2.3), ink)
    c.draw(sd_capsule(px0, py0, px1, py1, 1.3), metal)

    c.draw(sd_circle(cx, cy, 14.3), ink)
    c.draw(sd_circle(cx, cy, 13.3), metal)
    c.draw(sd_circle(cx, cy, 11.0), ink)
    c.draw(sd_circle(cx, cy, 10.1),
           lambda x, y: mix((255, 255, 255), (222, 226, 234), max(0.0, (y - cy + 3) / 13.0)))

    hand_deg = 30.0              # four o'clock; the green wedge is the elapsed time
    c.draw(sd_inter(sd_circle(cx, cy, 8.4), sd_wedge(cx, cy, -90.0, hand_deg)),
           (128, 214, 116))

    for a in range(0, 360, 30):
        major = a % 90 == 0
        rr = math.radians(a)
        r0 = 6.9 if major else 8.0
        w = 0.9 if major else 0.55
        c.draw(sd_capsule(cx + r0 * math.cos(rr), cy + r0 * math.sin(rr),
                          cx + 9.3 * math.cos(rr), cy + 9.3 * math.sin(rr), w), ink)

    ha = math.radians(hand_deg)
    c.draw(sd_capsule(cx - 2.6 * math.cos(ha), cy - 2.6 * math.sin(ha),
                      cx + 8.6 * math.cos(ha), cy + 8.6 * math.sin(ha), 1.1), (206, 18, 22))
    c.draw(sd_circle(cx, cy, 2.0), ink)
    c.draw(sd_circle(cx, cy, 0.9), (236, 70, 64))
    return c


# ---------------------------------------------------------------------------
# Banner: anti-aliased true colour, reduced to a 256-colour palette
# ---------------------------------------------------------------------------

BANNER_W, BANNER_H = 205, 45
STROKE = 5.5
CAP_TOP, X_TOP, BASE = 7.0, 15.0, 37.0
BOWL_R = (BASE - X_TOP) / 2.0
BOWL_CY = X_TOP + BOWL_R


def letter(ch, x0):
    """Returns (shape, advance) for one letter of a bold geometric face."""
    W, R, cy = STROKE, BOWL_R, BOWL_CY
    if ch == "T":
        return sd_union(sd_box(x0, CAP_TOP, x0 + 23.0, CAP_TOP + W, 0.8),
                        sd_box(x0 + 8.75, CAP_TOP, x0 + 8.75 + W, BASE, 0.8)), 23.0
    if ch == "a":
        cx = x0 + R
        return sd_union(sd_ring(cx, cy, R, R - W),
                        sd_box(x0 + 2 * R - W, X_TOP, x0 + 2 * R, BASE, 0.8)), 2 * R
    if ch == "v":
        w = 2 * R
        slope = 8.0 / (BASE - X_TOP)
        notch_y = X_TOP + (w / 2.0 - 6.0) / slope
        return sd_polygon([
            (x0, X_TOP), (x0 + 6.0, X_TOP), (x0 + w / 2.0, notch_y),
            (x0 + w - 6.0, X_TOP), (x0 + w, X_TOP),
            (x0 + w - 8.0, BASE), (x0 + 8.0, BASE)]), w
    if ch == "e":
        cx = x0 + R
        bar_top = cy - 1.6
        body = sd_union(sd_ring(cx, cy, R, R - W),
                        sd_box(x0 + 1.0, bar_top, x0 + 2 * R - 1.0, bar_top + 3.8))
        mouth = sd_polygon([(cx + 0.5, bar_top + 3.8), (cx + R + 3.0, bar_top + 3.8),
                            (cx + R + 3.0, bar_top + 10.0)])
        return sd_diff(body, mouth), 2 * R
    if ch == "l":
        return sd_box(x0, CAP_TOP, x0 + W, BASE, 0.8), W
    if ch == "i":
        return sd_union(sd_box(x0, X_TOP, x0 + W, BASE, 0.8),
                        sd_box(x0, CAP_TOP, x0 + W, CAP_TOP + W, 1.2)), W
    if ch == "n":
        cx = x0 + R
        arch = sd_inter(sd_ring(cx, cy, R, R - W), sd_halfplane(0.0, 1.0, cy))
        return sd_union(sd_box(x0, X_TOP, x0 + W, BASE, 0.8), arch,
                        sd_box(x0 + 2 * R - W, cy - 0.01, x0 + 2 * R, BASE, 0.8)), 2 * R
    raise ValueError(ch)


def banner_word(word="Tavelin", gap=4.0, kern=None):
    # In design units: the 100 % banner's pixels.
    kern = kern or {("T", "a"): -4.5}
    parts, x = [], 0.0
    prev = None
    for ch in word:
        if prev is not None:
            x += gap + kern.get((prev, ch), 0.0)
        parts.append((ch, x))
        _, adv = letter(ch, 0.0)
        x += adv
        prev = ch
    x_off = (BANNER_W - x) / 2.0
    shapes = []
    for ch, lx in parts:
        f, adv = letter(ch, lx + x_off)
        shapes.append((lx + x_off, lx + x_off + adv, f))
    return shapes


def render_banner(scale=1.0):
    """The banner at `scale` times its 100 % size; the shapes stay in 100 % units."""
    shapes = banner_word()
    W, H = int(BANNER_W * scale + 0.5), int(BANNER_H * scale + 0.5)
    shadow_dx, shadow_dy = 2.5, 2.5
    line = 1.25                      # width of the dark rim around the letters

    def dist(x, y):
        d = 99.0
        for x0, x1, f in shapes:
            if x0 - 4 <= x <= x1 + 4:
                d = min(d, f(x, y))
        return d

    top, bottom = (36, 132, 54), (10, 72, 28)
    fill_top, fill_bottom = (200, 255, 160), (64, 226, 64)
    rim, shadow = (0, 66, 18), (0, 24, 6)
    n = 4
    img = []
    for y in range(H):
        t = y / (H - 1.0)
        bg = mix(top, bottom, t)
        if 1 <= y < 1 + max(1, int(scale)):
            bg = mix(bg, (255, 255, 255), 0.18)
        row = []
        for x in range(W):
            if x == 0 or y == 0 or x == W - 1 or y == H - 1:
                row.append((4, 44, 14))
                continue
            cf = co = cs = 0
            for sy in range(n):
                py = (y + (sy + 0.5) / n) / scale
                for sx in range(n):
                    px = (x + (sx + 0.5) / n) / scale
                    d = dist(px, py)
                    if d < 0:
                        cf += 1
                    if d < line:
                        co += 1
                    if dist(px - shadow_dx, py - shadow_dy) < line:
                        cs += 1
            k = float(n * n)
            col = tuple(float(v) for v in bg)
            col = mix(col, shadow, 0.85 * cs / k)
            col = mix(col, rim, co / k)
            ty = max(0.0, min(1.0, ((y + 0.5) / scale - CAP_TOP) / (BASE - CAP_TOP)))
            col = mix(col, mix(fill_top, fill_bottom, ty), cf / k)
            row.append(col)
        img.append(row)
    return img


def median_cut(img, colours=256):
    """Deterministic median-cut palette: returns (palette, index rows)."""
    counts = {}
    for row in img:
        for c in row:
            counts[c] = counts.get(c, 0) + 1
    uniq = sorted(counts)
    if len(uniq) <= colours:
        palette = uniq
    else:
        boxes = [uniq]
        while len(boxes) < colours:
            best, best_score = None, -1
            for i, b in enumerate(boxes):
                if len(b) < 2:
                    continue
                spread = max(max(c[ch] for c in b) - min(c[ch] for c in b) for ch in range(3))
                score = spread * sum(counts[c] for c in b)
                if score > best_score:
                    best, best_score = i, score
            if best is None:
                break
            b = boxes.pop(best)
            ch = max(range(3), key=lambda k: max(c[k] for c in b) - min(c[k] for c in b))
            b.sort(key=lambda c: (c[ch], c))
            total = sum(counts[c] for c in b)
            acc, cut = 0, 1
            for i, c in enumerate(b):
                acc += counts[c]
                if acc * 2 >= total:
                    cut = max(1, min(len(b) - 1, i + 1))
                    break
            boxes.insert(best, b[cut:])
            boxes.insert(best, b[:cut])
        palette = []
        for b in boxes:
            tot = sum(counts[c] for c in b)
            palette.append(tuple(int(round(sum(c[k] * counts[c] for c in b) / tot))
                                 for k in range(3)))
    index_of = {}
    for c in uniq:
        index_of[c] = min(range(len(palette)),
                          key=lambda i: (sum((palette[i][k] - c[k]) ** 2 for k in range(3)), i))
    rows = [[index_of[c] for c in row] for row in img]
    return palette, rows


# ---------------------------------------------------------------------------
# Monochrome cursor
# ---------------------------------------------------------------------------

ARROW = [
    "k",
    "kk",
    "kwk",
    "kwwk",
    "kwwwk",
    "kwwwwk",
    "kwwwwwk",
    "kwwwwwwk",
    "kwwwwwwwk",
    "kwwwwwwwwk",
    "kwwwwwwwwwk",
    "kwwwwwwkkkkk",
    "kwwwkwwk",
    "kwwkkwwk",
    "kwk..kwwk",
    "kk...kwwk",
    "k.....kwwk",
    "......kwwk",
    ".......kk",
]


def draw_mail_cursor():
    """Returns 32 rows of '.', 'k' (black) or 'w' (white)."""
    grid = [["."] * 32 for _ in range(32)]
    for y, row in enumerate(ARROW):
        for x, ch in enumerate(row):
            grid[y][x] = ch
    ex, ey, ew, eh = 13, 16, 17, 12        # envelope, below-right of the arrow
    for y in range(ey, ey + eh):
        for x in range(ex, ex + ew):
            edge = y in (ey, ey + eh - 1) or x in (ex, ex + ew - 1)
            grid[y][x] = "k" if edge else "w"
    half = ew // 2
    for i in range(1, half + 1):           # the flap: two 45-degree folds
        grid[ey + i][ex + i] = "k"
        grid[ey + i][ex + ew - 1 - i] = "k"
    return ["".join(r) for r in grid]


# ---------------------------------------------------------------------------
# Sounds
# ---------------------------------------------------------------------------

def to_u8(samples):
    return bytes(max(0, min(255, int(round(128 + 127 * s)))) for s in samples)


def synth_beep(rate=22050, count=11536, freq=1900.0):
    tone_end = int(0.46 * rate)
    attack, release = int(0.006 * rate), int(0.045 * rate)
    out = []
    for i in range(count):
        if i >= tone_end:
            out.append(0.0)
            continue
        if i < attack:
            env = 0.5 - 0.5 * math.cos(math.pi * i / attack)
        elif i > tone_end - release:
            env = 0.5 - 0.5 * math.cos(math.pi * (tone_end - i) / release)
        else:
            env = 1.0
        out.append(0.62 * env * math.sin(2 * math.pi * freq * i / rate))
    return to_u8(out)


def synth_fin(rate=11025, count=20463):
    """Three falling chime notes (G5 E5 C5), bell-ish partials that die away
    faster than the fundamental."""
    # later notes ring over the tail of the earlier ones, so they are struck
    # a little softer to keep the three at the same loudness
    notes = ((0.00, 783.99, 1.00), (0.46, 659.26, 0.68), (0.92, 523.25, 0.70))
    partials = ((1.0, 1.00, 0.80), (2.0, 0.36, 0.32), (3.0, 0.14, 0.18), (4.0, 0.06, 0.10))
    attack = 0.004
    raw = [0.0] * count
    for start, f0, gain in notes:
        s0 = int(start * rate)
        for i in range(s0, count):
            t = (i - s0) / float(rate)
            env = min(1.0, t / attack)
            v = 0.0
            for mult, amp, tau in partials:
                v += amp * math.exp(-t / tau) * math.sin(2 * math.pi * f0 * mult * t)
            raw[i] += gain * env * v
    fade = int(0.18 * rate)
    for k in range(fade):
        i = count - fade + k
        raw[i] *= 0.5 + 0.5 * math.cos(math.pi * (k + 1) / fade)
    peak = max(abs(v) for v in raw)
    return to_u8([0.86 * v / peak for v in raw])


def synth_warn(rate=22050, count=15435):
    """Two rising pairs of short notes (A5 then E6), reedy rather than pure:
    the odd partials of a square wave carry across a classroom where a sine
    fades into the noise. Neither the single long beep nor the falling
    chime of the end."""
    notes = ((0.00, 880.0), (0.15, 1318.5), (0.36, 880.0), (0.51, 1318.5))
    length, attack, release = 0.13, 0.005, 0.03
    partials = ((1, 1.0), (3, 0.30), (5, 0.12), (7, 0.05))
    raw = [0.0] * count
    for start, f0 in notes:
        s0, n = int(start * rate), int(length * rate)
        for k in range(n):
            t = k / float(rate)
            if t < attack:
                env = 0.5 - 0.5 * math.cos(math.pi * t / attack)
            elif t > length - release:
                env = 0.5 - 0.5 * math.cos(math.pi * (length - t) / release)
            else:
                env = 1.0
            v = sum(a * math.sin(2 * math.pi * f0 * m * t) for m, a in partials)
            raw[s0 + k] += env * v
    peak = max(abs(v) for v in raw)
    return to_u8([0.8 * v / peak for v in raw])


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------

def bmp_bytes_24(g):
    row_len = (g.w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(g.px):                     # bottom-up
        line = bytearray()
        for c in row:
            c = MAGENTA if c is None else c
            line += bytes((c[2], c[1], c[0]))
        line += b"\0" * (row_len - len(line))
        data += line
    header = struct.pack("<IiiHHIIiiII", 40, g.w, g.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    fh = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return fh + header + bytes(data)


def bmp_bytes_8(palette, rows):
    w, h = len(rows[0]), len(rows)
    row_len = (w + 3) & ~3
    pal = bytearray()
    for i in range(256):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        pal += bytes((b, g, r, 0))
    data = bytearray()
    for row in reversed(rows):
        data += bytes(row) + b"\0" * (row_len - w)
    off = 14 + 40 + len(pal)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    fh = struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off)
    return fh + header + bytes(pal) + bytes(data)


def mask_rows(bits_rows):
    """1-bpp rows (bottom-up), each padded to 32 bits."""
    w = len(bits_rows[0])
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for row in reversed(bits_rows):
        line = bytearray(stride)
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def ico_image(canvas):
    rows = canvas.bgra_rows()
    w, h = canvas.w, canvas.h
    xor = bytearray()
    for row in reversed(rows):
        for b, g, r, a in row:
            xor += bytes((b, g, r, a))
    and_mask = mask_rows([[1 if p[3] == 0 else 0 for p in row] for row in rows])
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + bytes(xor) + and_mask


def ico_bytes(canvases):
    images = [ico_image(c) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    return bytes(out)


def cur_bytes(grid, hot=(0, 0)):
    w, h = len(grid[0]), len(grid)
    and_mask = mask_rows([[1 if ch == "." else 0 for ch in row] for row in grid])
    xor_mask = mask_rows([[1 if ch == "w" else 0 for ch in row] for row in grid])
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 1, 0,
                         len(xor_mask) + len(and_mask), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    img = header + palette + xor_mask + and_mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", w, h, 2, 0, hot[0], hot[1], len(img), 6 + 16)
    return out + img


def wav_bytes(rate, data):
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + \
        b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


# ---------------------------------------------------------------------------
# Read-back checks
# ---------------------------------------------------------------------------

def check_bmp(path, w, h, bpp):
    b = open(path, "rb").read()
    magic, size, _, _, off = struct.unpack_from("<2sIHHI", b, 0)
    (hs, bw, bh, planes, bits, comp, isize, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", b, 14)
    assert magic == b"BM" and size == len(b), path
    assert (hs, bw, bh, planes, bits, comp) == (40, w, h, 1, bpp, 0), path
    row_len = ((w * bpp + 31) // 32) * 4
    assert off + row_len * h == len(b) and isize == row_len * h, path
    if bpp == 8:
        assert used == 256 and off == 14 + 40 + 1024, path
        return b, off, row_len
    # Pixels are either exactly the key colour or clearly something else:
    # a near-magenta pixel would show as a pink fringe on the button face.
    seen_key = seen_ink = False
    for y in range(h):
        for x in range(w):
            p = off + y * row_len + 3 * x
            bb, gg, rr = b[p], b[p + 1], b[p + 2]
            if (rr, gg, bb) == MAGENTA:
                seen_key = True
                continue
            seen_ink = True
            assert not (rr > 160 and bb > 160 and gg < 110), \
                "%s: magenta-ish pixel %r at %d,%d" % (path, (rr, gg, bb), x, h - 1 - y)
    assert seen_key and seen_ink, path
    return b, off, row_len


def check_icon(path, sizes):
    b = open(path, "rb").read()
    res, typ, count = struct.unpack_from("<HHH", b, 0)
    assert (res, typ, count) == (0, 1, len(sizes)), path
    for i, s in enumerate(sizes):
        w, h, cc, r0, planes, bits, size, off = struct.unpack_from("<BBBBHHII", b, 6 + 16 * i)
        assert (w, h, cc, r0, planes, bits) == (s, s, 0, 0, 1, 32), path
        hs, bw, bh, pl, bb, comp, isize = struct.unpack_from("<IiiHHII", b, off)
        assert (hs, bw, bh, pl, bb, comp) == (40, s, 2 * s, 1, 32, 0), path
        and_len = ((s + 31) // 32) * 4 * s
        assert size == 40 + 4 * s * s + and_len == 40 + isize, path
        assert off + size <= len(b), path
        # AND mask must agree with alpha, or old shells show a black box
        for y in range(s):
            for x in range(s):
                alpha = b[off + 40 + 4 * (y * s + x) + 3]
                mbyte = b[off + 40 + 4 * s * s + y * ((s + 31) // 32) * 4 + x // 8]
                masked = bool(mbyte & (0x80 >> (x % 8)))
                assert masked == (alpha == 0), (path, s, x, y)
    assert off + size == len(b), path


def check_cursor(path):
    b = open(path, "rb").read()
    res, typ, count = struct.unpack_from("<HHH", b, 0)
    assert (res, typ, count) == (0, 2, 1), path
    w, h, cc, _, hx, hy, size, off = struct.unpack_from("<BBBBHHII", b, 6)
    assert (w, h, hx, hy, off) == (32, 32, 0, 0, 22) and off + size == len(b), path
    hs, bw, bh, pl, bits, comp = struct.unpack_from("<IiiHHI", b, off)
    assert (hs, bw, bh, pl, bits, comp) == (40, 32, 64, 1, 1, 0), path
    xor_off = off + 40 + 8
    and_off = xor_off + 4 * 32
    assert and_off + 4 * 32 == len(b), path
    # top row of the picture is the last row stored; the hot spot pixel must be
    # opaque black so the click point is visible
    top_xor, top_and = b[xor_off + 31 * 4], b[and_off + 31 * 4]
    assert not (top_xor & 0x80) and not (top_and & 0x80), "arrow tip is not at (0,0)"


def check_wav(path, rate, total, data_len):
    b = open(path, "rb").read()
    assert len(b) == total, (path, len(b))
    riff, rsize, wave, fmt, flen = struct.unpack_from("<4sI4s4sI", b, 0)
    assert (riff, wave, fmt, flen) == (b"RIFF", b"WAVE", b"fmt ", 16), path
    assert rsize == total - 8, path
    tag, ch, sr, byterate, align, bits = struct.unpack_from("<HHIIHH", b, 20)
    assert (tag, ch, sr, byterate, align, bits) == (1, 1, rate, rate, 1, 8), path
    dtag, dlen = struct.unpack_from("<4sI", b, 36)
    assert dtag == b"data" and dlen == data_len and 44 + dlen == total, path
    pcm = b[44:]
    # clean start and end (no click), and real signal in between
    assert abs(pcm[0] - 128) <= 1 and abs(pcm[-1] - 128) <= 1, path
    assert min(pcm) > 0 and max(pcm) < 255, "%s clips" % path
    assert max(pcm) - min(pcm) > 150, "%s is too quiet" % path


# ---------------------------------------------------------------------------

def write(name, data):
    path = os.path.join(OUT, name)
    with open(path, "wb") as fh:
        fh.write(data)
    return path


def main():
    os.makedirs(OUT, exist_ok=True)
    art = dict(ART_PALETTE)

    glyphs = {
        "glyph_beep24.bmp": draw_horn_with_check(24),
        "glyph_beep32.bmp": draw_horn_with_check(32),
        "glyph_run32.bmp": draw_run32(),
        "glyph_pause32.bmp": draw_pause32((48, 104, 232), (8, 24, 96), hi=(130, 176, 255)),
        "glyph_pause32_dis.bmp": draw_pause32((0, 0, 0), (0, 0, 0)),
        "glyph_quit32.bmp": draw_quit32(),
        "glyph_chrono.bmp": Glyph.from_art(CHRONO16, art),
        "glyph_exit.bmp": Glyph.from_art(EXIT16, art),
        "glyph_ok.bmp": Glyph.from_art(OK16, art),
    }
    for base in ("glyph_run32", "glyph_chrono", "glyph_exit", "glyph_ok"):
        glyphs[base + "_dis.bmp"] = greyed(glyphs[base + ".bmp"])
    # The same pictures for screens scaled to 150 and 200 %: shapes drawn again at the size,
    # hand-placed art enlarged by rules that keep its edges.
    for percent in (150, 200):
        k = percent / 100.0
        big = {
            "glyph_beep24": draw_horn_with_check(int(24 * k + 0.5)),
            "glyph_beep32": draw_horn_with_check(int(32 * k + 0.5)),
            "glyph_run32": draw_run32(k),
            "glyph_pause32": draw_pause32((48, 104, 232), (8, 24, 96), hi=(130, 176, 255), k=k),
            "glyph_pause32_dis": draw_pause32((0, 0, 0), (0, 0, 0), k=k),
            "glyph_quit32": draw_quit32(k),
            "glyph_chrono": art_at(glyphs["glyph_chrono.bmp"], percent),
            "glyph_exit": art_at(glyphs["glyph_exit.bmp"], percent),
            "glyph_ok": art_at(glyphs["glyph_ok.bmp"], percent),
        }
        for base in ("glyph_run32", "glyph_chrono", "glyph_exit", "glyph_ok"):
            big[base + "_dis"] = greyed(big[base])
        for base, g in big.items():
            glyphs["%s_%d.bmp" % (base, percent)] = g
    for name in sorted(glyphs):
        g = glyphs[name]
        check_bmp(write(name, bmp_bytes_24(g)), g.w, g.h, 24)

    for percent, suffix in ((100, ""), (150, "_150"), (200, "_200")):
        k = percent / 100.0
        palette, rows = median_cut(render_banner(k))
        check_bmp(write("banner%s.bmp" % suffix, bmp_bytes_8(palette, rows)),
                  int(BANNER_W * k + 0.5), int(BANNER_H * k + 0.5), 8)

    # 32 and 16 px first, as they have always been; then the sizes of scaled screens (the about
    # box shows the icon doubled: 64, 96 and 128 px).
    icons = [draw_icon(32), rgba_from_glyph(glyphs["glyph_chrono.bmp"]),
             rgba_from_glyph(glyphs["glyph_chrono_150.bmp"])] + [draw_icon(s) for s in (48, 64, 96, 128)]
    check_icon(write("Tavelin.ico", ico_bytes(icons)), [32, 16, 24, 48, 64, 96, 128])
    check_cursor(write("crMail.cur", cur_bytes(draw_mail_cursor())))

    check_wav(write("beep.wav", wav_bytes(22050, synth_beep())), 22050, 11580, 11536)
    check_wav(write("fin.wav", wav_bytes(11025, synth_fin())), 11025, 20507, 20463)
    check_wav(write("warn.wav", wav_bytes(22050, synth_warn())), 22050, 15479, 15435)

    for name in sorted(os.listdir(OUT)):
        print("%-24s %7d bytes" % (name, os.path.getsize(os.path.join(OUT, name))))


if __name__ == "__main__":
    sys.exit(main())
