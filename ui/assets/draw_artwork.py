#!/usr/bin/env python3
"""Draws every picture of the lobby from code.

Writes 24-bit uncompressed BMPs into pictures/, the application icons
(PNG and BMP) next to this script, and artwork.qrc listing them.
Same bytes on every run: the only randomness is seeded.
"""

import math
import random
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
PICTURES = HERE / "pictures"

# Palette: night blues and indigo, warm amber and gold.
NIGHT_TOP = (8, 10, 32)
NIGHT_MID = (16, 22, 62)
NIGHT_LOW = (24, 44, 96)
HAZE = (62, 40, 112)
INK = (12, 14, 38)
PANEL_TOP = (22, 26, 64)
PANEL_LOW = (12, 14, 38)
AMBER = (240, 170, 54)
GOLD = (255, 212, 118)
GOLD_HI = (255, 240, 196)
AMBER_DEEP = (150, 86, 22)
EMBER = (226, 70, 52)
EMBER_HI = (255, 190, 168)
EMBER_DEEP = (120, 24, 24)
STEEL = (112, 126, 162)
MIST = (170, 180, 204)
STARLIGHT = (226, 232, 255)


# ---------------------------------------------------------------- helpers

def clamp(x, lo=0.0, hi=1.0):
    return lo if x < lo else hi if x > hi else x


def smooth(t):
    t = clamp(t)
    return t * t * (3.0 - 2.0 * t)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ramp(stops, t):
    """Colour at t along [(position, colour), ...] sorted by position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def to8(c):
    return tuple(int(round(clamp(v, 0.0, 255.0))) for v in c[:3])


def rotate(dx, dy, angle_deg):
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    return dx * ca + dy * sa, -dx * sa + dy * ca


# Signed distance fields: negative inside, in pixels.  Everything is drawn
# from these so edges come out anti-aliased at any size without a big canvas.

def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ellipse(cx, cy, a, b, angle=0.0):
    def f(x, y):
        u, v = rotate(x - cx, y - cy, angle)
        k0 = math.hypot(u / a, v / b)
        if k0 < 1e-9:
            return -min(a, b)
        k1 = math.hypot(u / (a * a), v / (b * b))
        return k0 * (k0 - 1.0) / k1
    return f


def sd_box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def sd_poly(pts):
    n = len(pts)

    def f(x, y):
        d = (x - pts[0][0]) ** 2 + (y - pts[0][1]) ** 2
        s = 1.0
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey))
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1 = y >= yi
            c2 = y < yj
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    return f


def sd_segment(ax, ay, bx, by, r):
    ex, ey = bx - ax, by - ay
    ll = ex * ex + ey * ey

    def f(x, y):
        t = clamp(((x - ax) * ex + (y - ay) * ey) / ll)
        return math.hypot(x - ax - ex * t, y - ay - ey * t) - r
    return f


def sd_arc(cx, cy, r, a0, a1, width):
    """Stroke along a circle from angle a0 to a1 (degrees, clockwise on screen)."""
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (a0, a1)]
    span = (a1 - a0) % 360.0

    def f(x, y):
        ang = math.degrees(math.atan2(y - cy, x - cx))
        if (ang - a0) % 360.0 <= span:
            return abs(math.hypot(x - cx, y - cy) - r) - width / 2.0
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - width / 2.0
    return f


def sd_halfplane(nx, ny, c):
    """Inside where nx*x + ny*y < c."""
    n = math.hypot(nx, ny)
    return lambda x, y: (nx * x + ny * y - c) / n


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def inter(*fs):
    return lambda x, y: max(f(x, y) for f in fs)


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def stroke(f, width):
    return lambda x, y: abs(f(x, y)) - width / 2.0


def grow(f, by):
    return lambda x, y: f(x, y) - by


def sd_sparkle(cx, cy, size, thin=0.22):
    """A four-pointed twinkle."""
    t = size * thin
    return union(sd_poly([(cx, cy - size), (cx + t, cy), (cx, cy + size), (cx - t, cy)]),
                 sd_poly([(cx - size, cy), (cx, cy - t), (cx + size, cy), (cx, cy + t)]))


class Canvas:
    """An opaque picture that shapes are laid onto, back to front."""

    def __init__(self, w, h, fill=INK):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w, h), to8(fill) + (255,))

    def fill_fn(self, fn):
        self.img.putdata([to8(fn(x + 0.5, y + 0.5)) + (255,)
                          for y in range(self.h) for x in range(self.w)])

    def paste(self, img, x=0, y=0):
        self.img.alpha_composite(img.convert("RGBA"), dest=(x, y))

    def _bbox(self, bbox):
        if bbox is None:
            return 0, 0, self.w, self.h
        x0, y0, x1, y1 = bbox
        return (max(0, int(math.floor(x0))), max(0, int(math.floor(y0))),
                min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1))))

    def shape(self, sdf, colour, alpha=1.0, bbox=None, ss=4):
        """Fill where sdf < 0.  colour: rgb, or fn(x, y) -> rgb or (rgb, alpha)."""
        x0, y0, x1, y1 = self._bbox(bbox)
        if x1 <= x0 or y1 <= y0:
            return
        data = []
        for py in range(y0, y1):
            for px in range(x0, x1):
                cx, cy = px + 0.5, py + 0.5
                d = sdf(cx, cy)
                if d >= 1.0:
                    data.append((0, 0, 0, 0))
                    continue
                if d <= -1.0:
                    cov = 1.0
                else:
                    n = 0
                    for j in range(ss):
                        for i in range(ss):
                            if sdf(px + (i + 0.5) / ss, py + (j + 0.5) / ss) < 0.0:
                                n += 1
                    cov = n / float(ss * ss)
                if cov <= 0.0:
                    data.append((0, 0, 0, 0))
                    continue
                a = alpha
                c = colour(cx, cy) if callable(colour) else colour
                if len(c) == 2:
                    c, ca = c
                    a *= ca
                data.append(to8(c) + (int(round(255 * clamp(cov * a))),))
        layer = Image.new("RGBA", (x1 - x0, y1 - y0))
        layer.putdata(data)
        self.img.alpha_composite(layer, dest=(x0, y0))

    def glow(self, sdf, colour, radius, strength, bbox=None, inside=True):
        """Soft light falling off with distance outside the shape."""
        def fn(x, y):
            d = sdf(x, y)
            if d <= 0.0:
                return colour, (strength if inside else 0.0)
            return colour, strength * math.exp(-(d / radius) ** 2)
        everywhere = lambda x, y: -2.0  # noqa: E731
        self.shape(everywhere, fn, bbox=bbox, ss=1)

    def dot(self, x, y, colour, alpha=1.0):
        """One crisp pixel, blended."""
        if 0 <= x < self.w and 0 <= y < self.h:
            base = self.img.getpixel((x, y))
            self.img.putpixel((x, y), to8(mix(base, colour, alpha)) + (255,))

    def crop(self, x, y, w, h):
        return self.img.crop((x, y, x + w, y + h))

    def rgb(self):
        return self.img.convert("RGB")


def sphere_shader(cx, cy, r, dark, lit, light, rim=None, bands=None, band_tilt=0.0,
                  band_freq=0.0, band_amp=0.0, shine=0.25):
    """Shaded ball: light is a direction (x, y, z) towards the light."""
    lx, ly, lz = light
    ln = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / ln, ly / ln, lz / ln

    def fn(x, y):
        nx, ny = (x - cx) / r, (y - cy) / r
        q = nx * nx + ny * ny
        if q > 1.0:
            s = 1.0 / math.sqrt(q)
            nx, ny, q = nx * s, ny * s, 1.0
        nz = math.sqrt(max(0.0, 1.0 - q))
        albedo = lit
        if bands is not None:
            _, lat = rotate(nx, ny, band_tilt)
            w = 0.5 + 0.5 * math.sin(lat * band_freq + 0.7 * math.sin(lat * band_freq * 0.37 + 1.3))
            albedo = mix(lit, bands, band_amp * w)
        lam = nx * lx + ny * ly + nz * lz
        shade = smooth((lam + 0.25) / 1.15)
        c = mix(dark, albedo, shade)
        if shine > 0.0:
            hx, hy, hz = lx, ly, lz + 1.0
            hn = math.sqrt(hx * hx + hy * hy + hz * hz)
            sp = max(0.0, (nx * hx + ny * hy + nz * hz) / hn) ** 24
            c = mix(c, (255, 255, 255), shine * sp)
        if rim is not None:
            edge = (1.0 - nz) ** 2.5
            c = mix(c, rim, 0.55 * edge * clamp(lam + 0.6))
        return c
    return fn


def ringed(canvas, cx, cy, r, body, ring_a, ring_b, ring_angle, ring_colour, ring_dark,
           inner=0.72, gap=0.86):
    """A ball with a flat ring: back half, ball, front half."""
    outer = sd_ellipse(cx, cy, ring_a, ring_b, ring_angle)
    hole = sd_ellipse(cx, cy, ring_a * inner, ring_b * inner, ring_angle)
    ring = minus(outer, hole)
    if gap:
        groove = stroke(sd_ellipse(cx, cy, ring_a * gap, ring_b * gap, ring_angle), max(0.5, ring_b * 0.08))
        ring = minus(ring, groove)

    def colour(x, y):
        u, _ = rotate(x - cx, y - cy, ring_angle)
        return mix(ring_dark, ring_colour, smooth(0.5 - 0.5 * u / ring_a + 0.25))

    def behind(x, y):
        _, v = rotate(x - cx, y - cy, ring_angle)
        return v

    pad = max(ring_a, ring_b) + 2
    box = (cx - pad, cy - pad, cx + pad, cy + pad)
    canvas.shape(inter(ring, lambda x, y: -behind(x, y)), lambda x, y: mix(colour(x, y), ring_dark, 0.35), bbox=box)
    canvas.shape(sd_circle(cx, cy, r), body, bbox=(cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2))
    canvas.shape(inter(ring, behind), colour, bbox=box)


# ---------------------------------------------------------------- the night sky

def bg_rgb(u, v):
    """The sky of the background tile at (u, v) in 0..1; smooth enough to stretch."""
    t = smooth(0.8 * v + 0.2 * u)
    c = ramp([(0.0, NIGHT_TOP), (0.55, NIGHT_MID), (1.0, NIGHT_LOW)], t)
    haze = math.exp(-(((u - 0.8) / 0.32) ** 2 + ((v - 0.3) / 0.28) ** 2))
    return mix(c, HAZE, 0.28 * haze)


# Where the tile lies in the main window (585x297 at y=-16), so pictures laid
# over it can fade into the same sky.
LOBBY_W, LOBBY_H, LOBBY_Y = 585.0, 297.0, -16.0


def lobby_sky(ox, oy, sx=1.0, sy=1.0):
    return lambda x, y: bg_rgb((ox + x * sx) / LOBBY_W, (oy + y * sy - LOBBY_Y) / LOBBY_H)


def draw_bg():
    w, h = 96, 99
    c = Canvas(w, h)
    c.fill_fn(lambda x, y: bg_rgb(x / w, y / h))
    rng = random.Random(1907)
    stars = []
    while len(stars) < 9:
        u, v = rng.random(), rng.random()
        if u < 0.32 and v < 0.45:
            continue  # the logo sits there
        if any(abs(u - su) < 0.12 and abs(v - sv) < 0.12 for su, sv, _ in stars):
            continue
        stars.append((u, v, 0.25 + 0.35 * rng.random()))
    for u, v, b in stars:
        sx, sy = u * w, v * h
        c.glow(sd_circle(sx, sy, 0.0), STARLIGHT, 0.75, b, bbox=(sx - 4, sy - 4, sx + 4, sy + 4))
    return c.rgb()


# ---------------------------------------------------------------- logo

LOGO_PLANET = dict(dark=(14, 16, 52), lit=(74, 104, 214), bands=(116, 78, 196), rim=(120, 200, 255))


def logo_planet(c, cx, cy, r, ring_a, ring_b, angle):
    body = sphere_shader(cx, cy, r, LOGO_PLANET["dark"], LOGO_PLANET["lit"], (-0.6, -0.7, 0.55),
                         rim=LOGO_PLANET["rim"], bands=LOGO_PLANET["bands"], band_tilt=angle,
                         band_freq=9.0, band_amp=0.45, shine=0.18)
    c.glow(sd_circle(cx, cy, r), (255, 190, 90), r * 0.35, 0.22, inside=False,
           bbox=(cx - ring_a - 8, cy - r * 1.6 - 4, cx + ring_a + 8, cy + r * 1.6 + 4))
    ringed(c, cx, cy, r, body, ring_a, ring_b, angle, GOLD, AMBER_DEEP, inner=0.74, gap=0.87)


def draw_logo():
    w, h = 134, 127
    c = Canvas(w, h)
    # Shown at 91x87 in the main window at (8, 8) and 57x57 on the login window:
    # fade into the sky of both places.
    lobby = lobby_sky(8, 8, 91.0 / w, 87.0 / h)
    login = lambda x, y: bg_rgb(x * 57.0 / w / 217.0, y * 57.0 / h / 137.0)  # noqa: E731
    c.fill_fn(lambda x, y: mix(lobby(x, y), login(x, y), 0.5))

    cx, cy, r = 67.0, 64.0, 34.0
    logo_planet(c, cx, cy, r, 62.0, 17.0, -16.0)

    # The "T": gold, outlined dark so it reads over ring and ball.
    t_shape = sd_poly([(44, 37), (90, 37), (87, 48.5), (72, 48.5), (72, 80), (76.5, 86),
                       (57.5, 86), (62, 80), (62, 48.5), (47, 48.5)])
    c.glow(t_shape, INK, 2.2, 0.8, inside=False, bbox=(34, 27, 100, 96))
    c.shape(grow(t_shape, 1.3), INK, bbox=(34, 27, 100, 96))

    def t_colour(x, y):
        base = ramp([(37, GOLD_HI), (50, GOLD), (74, AMBER), (86, AMBER_DEEP)], y)
        return mix(base, GOLD_HI, 0.35 * smooth((60 - x) / 16.0) * smooth((60 - y) / 20.0))
    c.shape(t_shape, t_colour, bbox=(34, 27, 100, 96))
    c.shape(sd_poly([(46, 38.3), (88.3, 38.3), (87.8, 40), (46.5, 40)]), GOLD_HI, alpha=0.7, bbox=(40, 34, 94, 44))

    for sx, sy, s, a in [(17, 18, 7.5, 0.95), (117, 16, 5.0, 0.85), (121, 106, 6.0, 0.8),
                         (14, 104, 4.0, 0.7), (106, 33, 2.6, 0.6), (30, 42, 2.4, 0.55)]:
        box = (sx - s - 3, sy - s - 3, sx + s + 3, sy + s + 3)
        c.glow(sd_circle(sx, sy, 0.5), GOLD, s * 0.35, 0.35 * a, bbox=box)
        c.shape(sd_sparkle(sx, sy, s), GOLD_HI, alpha=a, bbox=box)
    return c.rgb()


# ---------------------------------------------------------------- lobby chooser

SUN = (30.0, 68.0)
ORBIT_TILT = 0.5  # vertical squash of every orbit
DIGITS = {
    "0": ["111", "101", "101", "101", "111"],
    "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"],
    "3": ["111", "001", "011", "001", "111"],
    "4": ["101", "101", "111", "001", "001"],
}


def draw_digit(c, ch, x, y, colour, alpha):
    for j, row in enumerate(DIGITS[ch]):
        for i, bit in enumerate(row):
            if bit == "1":
                c.dot(x + i + 1, y + j + 1, INK, 0.6 * alpha)
    for j, row in enumerate(DIGITS[ch]):
        for i, bit in enumerate(row):
            if bit == "1":
                c.dot(x + i, y + j, colour, alpha)


def draw_lobby_select():
    w, h = 389, 104
    c = Canvas(w, h)
    calm = (10, 13, 36)

    def sky(x, y):
        col = ramp([(0, NIGHT_TOP), (50, NIGHT_MID), (82, (14, 20, 56)), (100, calm)], y)
        band = math.exp(-(((y - 0.16 * x - 10) / 26.0) ** 2))  # a faint milky band
        return mix(col, HAZE, 0.22 * band * smooth((96 - y) / 20.0))
    c.fill_fn(sky)

    areas = [(128, 64, 33, 33), (144, 24, 25, 17), (176, 16, 25, 17), (224, 32, 17, 25), (296, 16, 25, 25)]
    centres = [(x + cw / 2.0, y + ch / 2.0) for x, y, cw, ch in areas]

    rng = random.Random(4242)
    for _ in range(95):
        x, y = rng.uniform(2, w - 2), rng.uniform(2, 84)
        if any(ax - 8 < x < ax + aw + 8 and ay - 8 < y < ay + ah + 8 for ax, ay, aw, ah in areas):
            continue
        if math.hypot(x - SUN[0], y - SUN[1]) < 20:
            continue
        b = rng.random()
        fade = smooth((92 - y) / 14.0)
        if b > 0.93:
            c.glow(sd_circle(x, y, 0.3), STARLIGHT, 1.2, 0.45 * fade, bbox=(x - 5, y - 5, x + 5, y + 5))
            c.shape(sd_sparkle(x, y, 3.2, 0.18), STARLIGHT, alpha=0.85 * fade, bbox=(x - 4, y - 4, x + 4, y + 4))
        else:
            c.glow(sd_circle(x, y, 0.0), STARLIGHT, 0.55 + 0.25 * b, (0.25 + 0.6 * b) * fade,
                   bbox=(x - 3, y - 3, x + 3, y + 3))

    # Orbits: one squashed circle per planet around the sun, fading out near the bottom edge.
    sx, sy = SUN
    for px, py in centres:
        a = math.hypot(px - sx, (py - sy) / ORBIT_TILT)
        orbit = stroke(sd_ellipse(sx, sy, a, a * ORBIT_TILT), 0.9)
        c.shape(orbit, lambda x, y: ((150, 166, 214), 0.42 * smooth((98 - y) / 16.0)), ss=6)

    # The sun.
    c.glow(sd_circle(sx, sy, 5.0), (255, 170, 70), 9.0, 0.55, bbox=(sx - 40, sy - 36, sx + 40, sy + 36))
    c.glow(sd_circle(sx, sy, 5.0), (255, 226, 150), 3.0, 0.8, bbox=(sx - 14, sy - 14, sx + 14, sy + 14))
    c.shape(sd_circle(sx, sy, 5.5), lambda x, y: mix(GOLD_HI, (255, 255, 240), smooth(1 - math.hypot(x - sx, y - sy) / 5.5)),
            bbox=(sx - 8, sy - 8, sx + 8, sy + 8))

    def light(px, py):
        dx, dy = sx - px, sy - py
        d = math.hypot(dx, dy)
        return dx / d * 0.8, dy / d * 0.8, 0.6

    # 0: the big ocean world.
    px, py = centres[0]
    c.glow(sd_circle(px, py, 15.8), (90, 200, 230), 2.0, 0.35, inside=False, bbox=(px - 22, py - 22, px + 22, py + 22))
    c.shape(sd_circle(px, py, 15.8),
            sphere_shader(px, py, 15.8, (8, 22, 44), (52, 176, 190), light(px, py), rim=(150, 240, 255),
                          bands=(34, 110, 160), band_tilt=-12, band_freq=7.0, band_amp=0.6),
            bbox=(px - 18, py - 18, px + 18, py + 18))

    # 1: a sand-coloured ringed giant.
    px, py = centres[1]
    ringed(c, px, py, 6.9,
           sphere_shader(px, py, 6.9, (40, 26, 16), (232, 200, 140), light(px, py), rim=(255, 236, 190),
                         bands=(188, 136, 86), band_tilt=-10, band_freq=10.0, band_amp=0.7, shine=0.15),
           12.3, 4.3, -10.0, (238, 226, 196), (120, 104, 80))

    # 2: a violet world with its little moon.
    px, py = centres[2]
    bx, by = px - 3.0, py
    c.shape(sd_circle(bx, by, 7.9),
            sphere_shader(bx, by, 7.9, (22, 12, 48), (160, 128, 236), light(bx, by), rim=(214, 196, 255),
                          bands=(112, 82, 196), band_tilt=8, band_freq=6.0, band_amp=0.5),
            bbox=(bx - 10, by - 10, bx + 10, by + 10))
    mx, my = px + 9.0, py - 4.5
    c.shape(sd_circle(mx, my, 2.7), sphere_shader(mx, my, 2.7, (40, 40, 56), (214, 214, 226), light(mx, my), shine=0.0),
            bbox=(mx - 4, my - 4, mx + 4, my + 4))

    # 3: a mint ice world with an upright ring.
    px, py = centres[3]
    ringed(c, px, py, 7.0,
           sphere_shader(px, py, 7.0, (10, 36, 34), (126, 214, 160), light(px, py), rim=(210, 255, 226),
                         bands=(74, 166, 132), band_tilt=-72, band_freq=8.0, band_amp=0.5),
           12.4, 4.2, -74.0, (232, 250, 238), (110, 150, 136), inner=0.68)

    # 4: the rust-red banded world.
    px, py = centres[4]
    c.shape(sd_circle(px, py, 12.0),
            sphere_shader(px, py, 12.0, (36, 10, 8), (222, 112, 66), light(px, py), rim=(255, 186, 140),
                          bands=(160, 64, 44), band_tilt=14, band_freq=11.0, band_amp=0.65),
            bbox=(px - 14, py - 14, px + 14, py + 14))

    # Small numbers so the lobbies can be told apart.
    for i, (dx, dy) in enumerate([(122, 90), (139, 37), (203, 27), (243, 52), (323, 37)]):
        draw_digit(c, str(i), dx, dy, MIST, 0.8)
    return c.rgb()


# ---------------------------------------------------------------- the hut

HUT_W, HUT_H = 129, 145
HUT_INTERIOR = (18, 20, 48)


def hut_canvas():
    c = Canvas(HUT_W, HUT_H)
    c.fill_fn(lobby_sky(8, 112))
    peak = (64.5, 0.6)

    # Inside of the tent: dark, warmed from below by a lantern's light.
    def interior(x, y):
        col = ramp([(30, (24, 24, 58)), (145, HUT_INTERIOR)], y)
        warm = math.exp(-(((x - 64.5) / 60.0) ** 2 + ((y - 132) / 50.0) ** 2))
        col = mix(col, (86, 52, 40), 0.35 * warm)
        edge = smooth((abs(x - 64.5) - 44) / 20.0)
        return mix(col, INK, 0.5 * edge)
    c.shape(sd_box(-2, 28, 131, 147), interior)

    # Rug on the floor.
    rug = sd_ellipse(64.5, 134.5, 54, 8.5)
    c.shape(rug, lambda x, y: mix((92, 36, 48), (60, 22, 40), smooth((y - 128) / 14.0)))
    c.shape(stroke(sd_ellipse(64.5, 134.5, 50, 6.6), 0.8), AMBER, alpha=0.55)
    c.shape(stroke(rug, 0.9), AMBER_DEEP, alpha=0.9)

    # Tent poles.
    for x0 in (1.5, 122.5):
        c.shape(sd_box(x0, 26, x0 + 5, 150, 1.5),
                lambda x, y, x0=x0: mix((120, 70, 24), (224, 160, 70), smooth(1 - abs(x - x0 - 1.8) / 2.5)))

    # Canopy: striped cloth fanning out from the peak, scalloped hem.
    hem_y = 31.0
    roof = sd_poly([(-3, 12.0), peak, (132, 12.0), (132, hem_y), (-3, hem_y)])
    scallops = union(*[sd_circle(3.0 + 8.1 * i, hem_y, 4.1) for i in range(16)])
    canopy = union(roof, inter(scallops, sd_halfplane(0, -1, -hem_y + 0.01)))

    def cloth(x, y):
        ang = math.degrees(math.atan2(x - peak[0], y - peak[1] + 6.0))
        k = math.floor(ang / 11.0)
        col = (50, 40, 104) if k % 2 == 0 else (38, 30, 84)
        frac = (ang / 11.0) - k
        seam = smooth(1 - abs(frac - 0.0) * 14) + smooth(1 - abs(frac - 1.0) * 14)
        col = mix(col, AMBER, 0.35 * seam)
        return mix(col, (18, 14, 44), 0.45 * smooth((y - 8) / 30.0))
    c.shape(canopy, cloth)
    c.shape(stroke(sd_poly([(-3, 12.0), peak, (132, 12.0), (132, -8), (-3, -8)]), 1.6),
            GOLD, alpha=0.95, bbox=(0, 0, HUT_W, 16))
    hem = minus(stroke(union(scallops, sd_halfplane(0, 1, hem_y)), 1.0), sd_halfplane(0, 1, hem_y - 1.5))
    c.shape(hem, AMBER, alpha=0.9, bbox=(0, hem_y - 2, HUT_W, hem_y + 6))
    c.shape(sd_circle(peak[0], 2.6, 2.0), GOLD_HI, bbox=(58, 0, 71, 8))
    return c


# ---------------------------------------------------------------- strip with the places

BGM_X, BGM_Y = 16, 40
SLOT_ROW_TOP, SLOT_ROW_BOTTOM = 1.5, 26.5


def slot_colour(y):
    return ramp([(SLOT_ROW_TOP, (30, 34, 76)), (SLOT_ROW_BOTTOM, (16, 18, 46))], y)


def draw_bgm(hut):
    c = Canvas(105, 28)
    c.paste(hut.crop(BGM_X, BGM_Y, 105, 28))
    strip = sd_box(0.5, 0.5, 104.5, 27.5, 7.0)
    c.shape(strip, lambda x, y: ramp([(0, (16, 18, 44)), (28, (8, 9, 26))], y))
    c.shape(stroke(strip, 1.0), AMBER, alpha=0.6)
    # The row the four figures stand in: colour changes only downwards, so one
    # figure picture fits every place.
    c.shape(sd_box(3.0, SLOT_ROW_TOP, 74.0, SLOT_ROW_BOTTOM, 3.0), lambda x, y: slot_colour(y))
    for gap in (22, 38, 54):
        c.shape(sd_box(gap + 0.5, 5, gap + 1.5, 23), AMBER, alpha=0.22)
    c.shape(sd_box(76.5, 4, 77.5, 24), AMBER, alpha=0.45)

    # Exit: an open door with an arrow leaving it.
    door = sd_box(83.5, 5.5, 94.5, 22.5, 1.0)
    c.shape(sd_box(84.5, 6.5, 93.5, 21.5, 0.5), (6, 6, 18))
    c.shape(stroke(door, 1.4), GOLD)
    c.shape(sd_poly([(84.5, 6.5), (90.5, 8.5), (90.5, 23.0), (84.5, 21.5)]), (120, 72, 22))
    c.shape(sd_circle(89.2, 15.2, 0.8), GOLD_HI)
    arrow = union(sd_segment(92.5, 14.0, 99.0, 14.0, 1.0),
                  sd_poly([(102.0, 14.0), (97.8, 9.6), (97.8, 18.4)]))
    c.shape(grow(arrow, 0.8), (6, 6, 18), alpha=0.9)
    c.shape(arrow, GOLD_HI)
    return c


def draw_place(bgm, w, h, taken, contested=False):
    c = Canvas(w, h)
    c.paste(bgm.crop(8, 3, w, h))
    cx = w / 2.0
    if taken:
        head = sd_circle(cx, 4.7, 3.5)
        body = inter(sd_box(1.3, 9.6, w - 1.3, 30, 4.6), sd_halfplane(0, 1, 21.3))
        figure = union(head, body)
        # A place two players claim: the same figure in ember, marked with a "!".
        hi, mid, low, foot, deep = ((EMBER_HI, (250, 120, 96), EMBER, (180, 44, 36), EMBER_DEEP) if contested
                                    else (GOLD_HI, GOLD, AMBER, (204, 124, 30), AMBER_DEEP))
        c.glow(figure, low, 1.0, 0.2, inside=False)

        def fill(x, y):
            col = ramp([(1, hi), (7, mid), (14, low), (21, foot)], y)
            return mix(col, hi, 0.4 * smooth((cx - x) / 5.0) * smooth((14 - y) / 8.0))
        c.shape(figure, fill, ss=8)
        c.shape(stroke(figure, 0.8), deep, alpha=0.55, ss=8)
        if contested:
            mark = union(sd_box(cx - 0.8, 11.0, cx + 0.8, 16.4, 0.6), sd_circle(cx, 18.5, 1.0))
            c.shape(mark, STARLIGHT, ss=8)
    else:
        # Outlines sit on pixel centres so the 1-pixel lines stay sharp.
        head = sd_circle(cx, 4.5, 3.5)
        body = inter(sd_box(1.5, 9.5, w - 1.5, 30, 4.0), sd_halfplane(0, 1, 20.5))
        figure = union(head, body)
        c.shape(figure, STEEL, alpha=0.12, ss=8)
        c.shape(stroke(head, 1.0), STEEL, alpha=0.9, ss=8)
        c.shape(stroke(body, 1.0), STEEL, alpha=0.9, ss=8)
    return c.rgb()


# ---------------------------------------------------------------- buttons

def amber_body(c, box, radius):
    x0, y0, x1, y1 = box
    shape = sd_box(x0, y0, x1, y1, radius)
    c.shape(shape, lambda x, y: ramp([(y0, GOLD), (y0 + (y1 - y0) * 0.45, AMBER), (y1, (178, 100, 24))], y))
    gloss = sd_box(x0 + 3, y0 + 1.6, x1 - 3, y0 + (y1 - y0) * 0.46, radius * 0.7)
    c.shape(gloss, lambda x, y: ((255, 250, 232), 0.55 - 0.45 * (y - y0) / ((y1 - y0) * 0.46)))
    c.shape(stroke(sd_box(x0 + 1.2, y0 + 1.2, x1 - 1.2, y1 - 1.2, radius - 1), 0.8),
            lambda x, y: ((255, 236, 180), 0.35 * smooth((y - (y0 + y1) / 2) / 6.0)))
    c.shape(stroke(shape, 1.0), (116, 62, 14))


def draw_button(hut):
    c = Canvas(105, 28)
    c.paste(hut.crop(16, 80, 105, 28))
    amber_body(c, (0.5, 0.5, 104.5, 27.5), 8.0)
    return c.rgb()


def draw_refresh(hut):
    c = Canvas(27, 28)
    c.paste(hut.crop(94, 8, 27, 28))
    cx, cy, r = 13.5, 14.0, 12.6
    plate = sd_circle(cx, cy, r)
    c.glow(plate, (0, 0, 0), 1.0, 0.35, inside=False)
    c.shape(plate, lambda x, y: mix((40, 44, 98), (12, 14, 38), smooth(math.hypot(x - 10, y - 10) / 15.0)))
    c.shape(stroke(grow(plate, -0.6), 1.3), GOLD, alpha=0.95)

    # Two arrows chasing each other round.
    ar, width = 6.7, 2.1
    parts = []
    for a0, a1 in ((200.0, 330.0), (20.0, 150.0)):
        parts.append(sd_arc(cx, cy, ar, a0, a1, width))
        e = math.radians(a1 + 6.0)
        ex, ey = cx + ar * math.cos(e), cy + ar * math.sin(e)
        tx, ty = -math.sin(e), math.cos(e)
        nx, ny = math.cos(e), math.sin(e)
        parts.append(sd_poly([(ex + tx * 3.4, ey + ty * 3.4),
                              (ex - tx * 0.6 + nx * 3.2, ey - ty * 0.6 + ny * 3.2),
                              (ex - tx * 0.6 - nx * 3.2, ey - ty * 0.6 - ny * 3.2)]))
    arrows = union(*parts)
    c.shape(grow(arrows, 0.7), (6, 6, 20), alpha=0.7, ss=6)
    c.shape(arrows, lambda x, y: mix(GOLD_HI, AMBER, smooth((y - 7) / 14.0)), ss=6)
    return c.rgb()


# ---------------------------------------------------------------- chat frame

def lantern(c, cx, top, glass_top, glass_bottom):
    chain = union(*[stroke(sd_ellipse(cx, y, 1.2, 1.9), 0.7) for y in range(int(top) + 2, int(glass_top) - 7, 3)])
    c.shape(chain, (150, 110, 60), alpha=0.9)
    c.glow(sd_box(cx - 7, glass_top, cx + 7, glass_bottom, 3), (255, 170, 70), 12.0, 0.28, inside=False,
           bbox=(cx - 40, glass_top - 30, cx + 40, glass_bottom + 36))
    # hook ring and cap
    c.shape(stroke(sd_circle(cx, glass_top - 8.5, 2.2), 1.1), GOLD)
    cap = sd_poly([(cx - 3, glass_top - 6.5), (cx + 3, glass_top - 6.5), (cx + 10, glass_top - 1),
                   (cx + 10, glass_top + 1), (cx - 10, glass_top + 1), (cx - 10, glass_top - 1)])
    c.shape(cap, lambda x, y: mix(GOLD, AMBER_DEEP, smooth((x - cx + 6) / 16.0)))
    # warm glass
    glass = sd_box(cx - 8, glass_top + 1, cx + 8, glass_bottom, 2.5)
    c.shape(glass, lambda x, y: mix((255, 236, 170), (236, 128, 40),
                                    smooth(math.hypot((x - cx) / 9.0, (y - (glass_top + glass_bottom) / 2) / 16.0))))
    c.shape(sd_ellipse(cx, (glass_top + glass_bottom) / 2 + 2, 2.2, 4.0), (255, 252, 236), alpha=0.9)
    for bx in (cx - 4, cx + 4):
        c.shape(sd_box(bx - 0.6, glass_top + 1, bx + 0.6, glass_bottom), AMBER_DEEP, alpha=0.85)
    c.shape(stroke(glass, 1.2), (132, 76, 20))
    base = sd_poly([(cx - 10, glass_bottom - 0.5), (cx + 10, glass_bottom - 0.5), (cx + 6, glass_bottom + 4),
                    (cx - 6, glass_bottom + 4)])
    c.shape(base, lambda x, y: mix(GOLD, AMBER_DEEP, smooth((x - cx + 6) / 16.0)))
    c.shape(sd_circle(cx, glass_bottom + 5.5, 1.6), AMBER)


def draw_gfx1():
    w, h = 296, 230
    c = Canvas(w, h)
    c.fill_fn(lobby_sky(144, 8))
    panel = sd_box(5, 5, 291, 225, 14)
    c.glow(panel, AMBER, 3.2, 0.5, inside=False)
    c.shape(panel, lambda x, y: mix(ramp([(5, PANEL_TOP), (225, PANEL_LOW)], y), (34, 30, 80),
                                    0.35 * math.exp(-(((x - 265) / 40.0) ** 2 + ((y - 70) / 70.0) ** 2))))
    c.shape(stroke(panel, 1.5), GOLD, alpha=0.95)
    c.shape(stroke(sd_box(9, 9, 287, 221, 10.5), 0.8), AMBER, alpha=0.28)

    # Bed for the chat box (24, 24, 209x177).
    bed = sd_box(20.5, 20.5, 236.5, 204.5, 4)
    c.glow(sd_box(24, 26, 233, 203), (0, 0, 0), 3.0, 0.6, inside=False, bbox=(14, 14, 244, 214))
    c.shape(bed, (8, 9, 26))
    c.shape(stroke(bed, 1.0), AMBER, alpha=0.65)

    for x, y in ((12.5, 12.5), (283.5, 12.5), (12.5, 217.5), (283.5, 217.5)):
        c.shape(sd_poly([(x, y - 3), (x + 3, y), (x, y + 3), (x - 3, y)]), GOLD, bbox=(x - 5, y - 5, x + 5, y + 5))

    lantern(c, 263.5, 6, 52, 88)

    rng = random.Random(77)
    for _ in range(9):
        x, y = rng.uniform(244, 284), rng.uniform(118, 212)
        b = rng.random()
        if b > 0.6:
            c.shape(sd_sparkle(x, y, 2.6, 0.2), GOLD_HI, alpha=0.7, bbox=(x - 4, y - 4, x + 4, y + 4))
        else:
            c.glow(sd_circle(x, y, 0.0), STARLIGHT, 0.6, 0.35 + 0.4 * b, bbox=(x - 3, y - 3, x + 3, y + 3))
    logo_planet(c, 263.5, 178.0, 8.0, 15.0, 4.2, -16.0)
    return c.rgb()


# ---------------------------------------------------------------- room message board

def draw_news_bg():
    w, h = 177, 111
    c = Canvas(w, h)
    c.fill_fn(lambda x, y: ramp([(0, (26, 26, 66)), (111, (12, 12, 34))], y + 0.25 * x))
    frame = sd_box(2, 2, 175, 109, 7)
    c.shape(stroke(frame, 1.4), GOLD, alpha=0.95)
    c.shape(stroke(sd_box(5.5, 5.5, 171.5, 105.5, 4.5), 0.7), AMBER, alpha=0.4)

    # The black message area sits over the middle-left; keep it plain black.
    board = sd_box(28, 14.5, 126, 89.5, 2.5)
    c.glow(board, (0, 0, 0), 2.5, 0.6, inside=False)
    c.shape(board, (0, 0, 0))
    c.shape(stroke(grow(board, 1.6), 0.9), AMBER, alpha=0.8)
    for x, y in ((27, 13.5), (127, 13.5), (27, 90.5), (127, 90.5)):
        c.shape(sd_circle(x, y, 2.2), lambda px, py, x=x, y=y: mix(GOLD_HI, AMBER_DEEP, smooth((px - x + py - y + 2) / 4.0)),
                bbox=(x - 4, y - 4, x + 4, y + 4))

    logo_planet(c, 151.0, 44.0, 10.0, 18.5, 5.2, -16.0)
    for sx, sy, s in ((139, 22, 3.0), (166, 66, 2.4), (140, 74, 1.8), (164, 18, 1.6)):
        c.shape(sd_sparkle(sx, sy, s), GOLD_HI, alpha=0.8, bbox=(sx - 4, sy - 4, sx + 4, sy + 4))
    for x, y in ((14, 52), (151, 92)):
        c.shape(sd_poly([(x, y - 3.5), (x + 2.5, y), (x, y + 3.5), (x - 2.5, y)]), GOLD, alpha=0.8,
                bbox=(x - 4, y - 5, x + 4, y + 5))
    return c.rgb()


# ---------------------------------------------------------------- application icon

def draw_icon(size):
    """Transparent-cornered tile with the ringed planet; also returns an opaque copy."""
    s = float(size)
    tile = sd_box(0.5, 0.5, s - 0.5, s - 0.5, s * 0.2)
    layer = Canvas(size, size)
    layer.fill_fn(lambda x, y: ramp([(0, NIGHT_MID), (s, NIGHT_TOP)], y + 0.3 * x))
    cx, cy = s / 2.0, s / 2.0
    r = s * 0.27
    body = sphere_shader(cx, cy, r, LOGO_PLANET["dark"], LOGO_PLANET["lit"], (-0.6, -0.7, 0.55),
                         rim=LOGO_PLANET["rim"], bands=LOGO_PLANET["bands"], band_tilt=-20,
                         band_freq=6.0, band_amp=0.4, shine=0.2)
    layer.glow(sd_circle(cx, cy, r), (255, 190, 90), r * 0.4, 0.25, inside=False)
    ringed(layer, cx, cy, r, body, s * 0.45, s * 0.135, -20.0, GOLD, AMBER_DEEP, inner=0.7, gap=None)
    layer.shape(sd_sparkle(s * 0.2, s * 0.2, s * 0.1), GOLD_HI, alpha=0.9)
    layer.shape(stroke(grow(tile, -0.5), 1.0), AMBER, alpha=0.55)
    opaque = layer.rgb()

    # Cut the tile out for the PNG.
    mask = Canvas(size, size, fill=(0, 0, 0))
    mask.shape(tile, (255, 255, 255))
    icon = layer.img.copy()
    icon.putalpha(mask.img.convert("L"))
    return icon, opaque


# ---------------------------------------------------------------- output

def save_bmp(img, path):
    img = img.convert("RGB")
    img.save(path, "BMP")


def write_qrc(names):
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/pictures">']
    for name in names:
        lines.append('    <file alias="%s.bmp">pictures/%s.bmp</file>' % (name, name))
    lines.append('</qresource>')
    lines.append('<qresource prefix="/icons">')
    for size in (32, 48):
        lines.append('    <file alias="app-icon-%d.png">app-icon-%d.png</file>' % (size, size))
    lines.append('</qresource>')
    lines.append('</RCC>')
    (HERE / "artwork.qrc").write_text("\n".join(lines) + "\n", encoding="ascii")


def main():
    PICTURES.mkdir(parents=True, exist_ok=True)
    hut = hut_canvas()
    bgm = draw_bgm(hut)
    pictures = {
        "BG": draw_bg(),
        "LOGO": draw_logo(),
        "LobbySelect": draw_lobby_select(),
        "HUTIMAGE": hut.rgb(),
        "BGM": bgm.rgb(),
        "PlayerOUT": draw_place(bgm, 13, 21, taken=False),
        "PlayerIN": draw_place(bgm, 14, 22, taken=True),
        "PlayerContested": draw_place(bgm, 14, 22, taken=True, contested=True),
        "Button": draw_button(hut),
        "Refresh": draw_refresh(hut),
        "GFX1": draw_gfx1(),
        "NewsBG": draw_news_bg(),
    }
    for name, img in sorted(pictures.items()):
        save_bmp(img, PICTURES / (name + ".bmp"))
    for size in (32, 48):
        icon, opaque = draw_icon(size)
        icon.save(HERE / ("app-icon-%d.png" % size), "PNG", optimize=False)
        save_bmp(opaque, HERE / ("app-icon-%d.bmp" % size))
    write_qrc(sorted(pictures))


if __name__ == "__main__":
    main()
