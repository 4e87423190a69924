#!/usr/bin/env python3
"""Draws the program's pictures: icons, handheld bitmaps and the drag cursor.

Pure standard library (struct, zlib, math). Run from anywhere:

    python3 resources/generate_art.py

Writes into resources/art/ next to this script:
  icon130.ico                 application icon
  icon132..icon166.ico        toolbar icons, enabled and disabled
  handheld153.bmp / 154.bmp   handheld drawing, connected / disconnected look
  cursor1018.cur              closed-hand drag cursor
  preview/*.png               enlarged previews for looking only (not shipped)

Every shape is a signed distance function; a pixel whose centre lies well
inside or outside a shape is decided at once, the pixels along an edge are
sampled 4 x 4 and averaged. The output is the same, byte for byte, on every
run.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "art")
PREVIEW = os.path.join(ART, "preview")

# ---------------------------------------------------------------------------
# Colours: tuples (r, g, b, a) of floats 0..1.


def C(hexstr, a=1.0):
    h = hexstr.lstrip("#")
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0,
            int(h[4:6], 16) / 255.0, a)


def mix(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(4))


def shade(c, k):
    """k < 0 darkens toward black, k > 0 lightens toward white."""
    if k < 0:
        return (c[0] * (1 + k), c[1] * (1 + k), c[2] * (1 + k), c[3])
    return (c[0] + (1 - c[0]) * k, c[1] + (1 - c[1]) * k,
            c[2] + (1 - c[2]) * k, c[3])


def alpha(c, a):
    return (c[0], c[1], c[2], c[3] * a)


def _clamp01(t):
    return 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)


def _stops_at(stops, t):
    t = _clamp01(t)
    if t <= stops[0][0]:
        return stops[0][1]
    for i in range(1, len(stops)):
        if t <= stops[i][0]:
            t0, c0 = stops[i - 1]
            t1, c1 = stops[i]
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 1.0)
    return stops[-1][1]


def linear(x0, y0, x1, y1, *stops):
    """Linear gradient paint; stops are colours spread evenly or (t, colour)."""
    if not isinstance(stops[0][0], float) or len(stops[0]) != 2:
        n = len(stops)
        stops = [(i / (n - 1), c) for i, c in enumerate(stops)]
    dx, dy = x1 - x0, y1 - y0
    L2 = dx * dx + dy * dy

    def paint(x, y):
        return _stops_at(stops, ((x - x0) * dx + (y - y0) * dy) / L2)
    return paint


def radial(cx, cy, r, *stops):
    if not isinstance(stops[0][0], float) or len(stops[0]) != 2:
        n = len(stops)
        stops = [(i / (n - 1), c) for i, c in enumerate(stops)]

    def paint(x, y):
        return _stops_at(stops, math.hypot(x - cx, y - cy) / r)
    return paint


# ---------------------------------------------------------------------------
# Shapes: signed distance (negative inside) in design units plus a bounding box.


class Shape(object):
    __slots__ = ("f", "bb")

    def __init__(self, f, bb):
        self.f = f
        self.bb = bb


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r,
                 (cx - r, cy - r, cx + r, cy + r))


def rrect(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) * 0.5, (y0 + y1) * 0.5
    r = min(r, (x1 - x0) * 0.5, (y1 - y0) * 0.5)
    hx, hy = (x1 - x0) * 0.5 - r, (y1 - y0) * 0.5 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        if qx > 0 and qy > 0:
            return math.hypot(qx, qy) - r
        return max(qx, qy) - r
    return Shape(f, (x0, y0, x1, y1))


def seg(x0, y0, x1, y1, w):
    """Line of width w with round caps."""
    dx, dy = x1 - x0, y1 - y0
    L2 = dx * dx + dy * dy or 1e-9
    h = w * 0.5

    def f(x, y):
        t = _clamp01(((x - x0) * dx + (y - y0) * dy) / L2)
        return math.hypot(x - x0 - dx * t, y - y0 - dy * t) - h
    return Shape(f, (min(x0, x1) - h, min(y0, y1) - h,
                     max(x0, x1) + h, max(y0, y1) + h))


def poly(pts):
    pts = list(pts)
    n = len(pts)

    def f(x, y):
        d = 1e18
        s = 1.0
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            L2 = ex * ex + ey * ey
            t = _clamp01((wx * ex + wy * ey) / L2) if L2 else 0.0
            bx, by = wx - ex * t, wy - ey * t
            dd = bx * bx + by * by
            if dd < d:
                d = dd
            c1 = y >= yi
            c2 = y < yj
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return Shape(f, (min(xs), min(ys), max(xs), max(ys)))


def polyline(pts, w):
    return union(*[seg(pts[i][0], pts[i][1], pts[i + 1][0], pts[i + 1][1], w)
                   for i in range(len(pts) - 1)])


def union(*ss):
    fs = [s.f for s in ss]

    def f(x, y):
        return min(g(x, y) for g in fs)
    return Shape(f, (min(s.bb[0] for s in ss), min(s.bb[1] for s in ss),
                     max(s.bb[2] for s in ss), max(s.bb[3] for s in ss)))


def inter(a, b):
    fa, fb = a.f, b.f
    return Shape(lambda x, y: max(fa(x, y), fb(x, y)),
                 (max(a.bb[0], b.bb[0]), max(a.bb[1], b.bb[1]),
                  min(a.bb[2], b.bb[2]), min(a.bb[3], b.bb[3])))


def sub(a, b):
    fa, fb = a.f, b.f
    return Shape(lambda x, y: max(fa(x, y), -fb(x, y)), a.bb)


def grow(a, r):
    fa = a.f
    return Shape(lambda x, y: fa(x, y) - r,
                 (a.bb[0] - r, a.bb[1] - r, a.bb[2] + r, a.bb[3] + r))


def ring(a, w):
    """Stroke of width w centred on the outline."""
    fa = a.f
    h = w * 0.5
    return Shape(lambda x, y: abs(fa(x, y)) - h,
                 (a.bb[0] - h, a.bb[1] - h, a.bb[2] + h, a.bb[3] + h))


def inner(a, w):
    """Stroke of width w lying just inside the outline."""
    fa = a.f

    def f(x, y):
        d = fa(x, y)
        return max(d, -d - w)
    return Shape(f, a.bb)


def halfplane(nx, ny, c):
    """Inside where nx*x + ny*y < c (n normalised here)."""
    L = math.hypot(nx, ny)
    nx, ny, c = nx / L, ny / L, c / L
    return Shape(lambda x, y: nx * x + ny * y - c, (-1e4, -1e4, 1e4, 1e4))


class Xf(object):
    """Rotation by `deg` about (cx, cy) followed by a move (dx, dy)."""

    def __init__(self, deg=0.0, cx=0.0, cy=0.0, dx=0.0, dy=0.0):
        a = math.radians(deg)
        self.c, self.s = math.cos(a), math.sin(a)
        self.cx, self.cy, self.dx, self.dy = cx, cy, dx, dy

    def fwd(self, x, y):
        x -= self.cx
        y -= self.cy
        return (self.cx + x * self.c - y * self.s + self.dx,
                self.cy + x * self.s + y * self.c + self.dy)

    def inv(self, x, y):
        x -= self.cx + self.dx
        y -= self.cy + self.dy
        return (self.cx + x * self.c + y * self.s,
                self.cy - x * self.s + y * self.c)

    def shape(self, a):
        fa, inv = a.f, self.inv

        def f(x, y):
            u, v = inv(x, y)
            return fa(u, v)
        x0, y0, x1, y1 = a.bb
        if x1 - x0 > 1e3:
            return Shape(f, a.bb)
        pts = [self.fwd(x0, y0), self.fwd(x1, y0), self.fwd(x0, y1),
               self.fwd(x1, y1)]
        return Shape(f, (min(p[0] for p in pts), min(p[1] for p in pts),
                         max(p[0] for p in pts), max(p[1] for p in pts)))

    def paint(self, p):
        if not callable(p):
            return p
        inv = self.inv

        def q(x, y):
            u, v = inv(x, y)
            return p(u, v)
        return q


IDENT = Xf()

# ---------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats, `scale` pixels per design unit.

SUB = [(i + 0.5) / 4.0 for i in range(4)]


class Canvas(object):
    def __init__(self, w, h, scale=1.0, bg=None):
        self.w, self.h, self.s = w, h, float(scale)
        if bg is None:
            self.p = [0.0] * (w * h * 4)
        else:
            self.p = [bg[0] * bg[3], bg[1] * bg[3], bg[2] * bg[3], bg[3]] * (w * h)

    def coverage(self, shape):
        """Yields (index, ux, uy, coverage) for the pixels the shape touches."""
        s = self.s
        f = shape.f
        x0, y0, x1, y1 = shape.bb
        px0 = max(0, int(math.floor(x0 * s)) - 1)
        py0 = max(0, int(math.floor(y0 * s)) - 1)
        px1 = min(self.w, int(math.ceil(x1 * s)) + 1)
        py1 = min(self.h, int(math.ceil(y1 * s)) + 1)
        inv = 1.0 / s
        for py in range(py0, py1):
            for px in range(px0, px1):
                ux = (px + 0.5) * inv
                uy = (py + 0.5) * inv
                d = f(ux, uy) * s
                if d >= 0.75:
                    continue
                if d <= -0.75:
                    cov = 1.0
                else:
                    n = 0
                    for sy in SUB:
                        vy = (py + sy) * inv
                        for sx in SUB:
                            if f((px + sx) * inv, vy) < 0.0:
                                n += 1
                    if n == 0:
                        continue
                    cov = n / 16.0
                yield (py * self.w + px) * 4, ux, uy, cov

    def fill(self, shape, paint, opacity=1.0):
        p = self.p
        const = not callable(paint)
        for i, ux, uy, cov in self.coverage(shape):
            c = paint if const else paint(ux, uy)
            a = c[3] * cov * opacity
            if a <= 0.0:
                continue
            k = 1.0 - a
            p[i] = c[0] * a + p[i] * k
            p[i + 1] = c[1] * a + p[i + 1] * k
            p[i + 2] = c[2] * a + p[i + 2] * k
            p[i + 3] = a + p[i + 3] * k

    def erase(self, shape, amount=1.0):
        """Clears what lies under the shape (keeps edges separate)."""
        p = self.p
        for i, _, _, cov in self.coverage(shape):
            k = 1.0 - cov * amount
            p[i] *= k
            p[i + 1] *= k
            p[i + 2] *= k
            p[i + 3] *= k

    def copy(self):
        c = Canvas(self.w, self.h, self.s)
        c.p = list(self.p)
        return c

    def alpha_plane(self):
        return self.p[3::4]

    def under(self, color, plane, opacity):
        """Composites this canvas over a layer of `color` with the alpha `plane`."""
        p = self.p
        for j, a in enumerate(plane):
            sa = a * opacity * color[3]
            if sa <= 0.0:
                continue
            i = j * 4
            k = 1.0 - p[i + 3]
            p[i] += color[0] * sa * k
            p[i + 1] += color[1] * sa * k
            p[i + 2] += color[2] * sa * k
            p[i + 3] += sa * k

    def over_canvas(self, top):
        p, q = self.p, top.p
        for i in range(0, len(p), 4):
            a = q[i + 3]
            if a <= 0.0:
                continue
            k = 1.0 - a
            p[i] = q[i] + p[i] * k
            p[i + 1] = q[i + 1] + p[i + 1] * k
            p[i + 2] = q[i + 2] + p[i + 2] * k
            p[i + 3] = a + p[i + 3] * k

    def rgba8(self):
        """Straight (not premultiplied) RGBA bytes, top row first."""
        out = bytearray(self.w * self.h * 4)
        p = self.p
        for i in range(0, len(p), 4):
            a = p[i + 3]
            if a <= 0.0:
                continue
            a = min(a, 1.0)
            out[i] = min(255, int(p[i] / a * 255.0 + 0.5))
            out[i + 1] = min(255, int(p[i + 1] / a * 255.0 + 0.5))
            out[i + 2] = min(255, int(p[i + 2] / a * 255.0 + 0.5))
            out[i + 3] = int(a * 255.0 + 0.5)
        return out


def blur_plane(plane, w, h, radius, passes=3):
    """Box blur repeated `passes` times (close to a Gaussian)."""
    if radius <= 0:
        return list(plane)
    cur = list(plane)
    n = 2 * radius + 1
    for _ in range(passes):
        tmp = [0.0] * (w * h)
        for y in range(h):
            row = y * w
            acc = 0.0
            for x in range(-radius, radius + 1):
                if 0 <= x < w:
                    acc += cur[row + x]
            for x in range(w):
                tmp[row + x] = acc / n
                xo, xi = x - radius, x + radius + 1
                if 0 <= xo < w:
                    acc -= cur[row + xo]
                if 0 <= xi < w:
                    acc += cur[row + xi]
        out = [0.0] * (w * h)
        for x in range(w):
            acc = 0.0
            for y in range(-radius, radius + 1):
                if 0 <= y < h:
                    acc += tmp[y * w + x]
            for y in range(h):
                out[y * w + x] = acc / n
                yo, yi = y - radius, y + radius + 1
                if 0 <= yo < h:
                    acc -= tmp[yo * w + x]
                if 0 <= yi < h:
                    acc += tmp[yi * w + x]
        cur = out
    return cur


def kernel_blur(plane, w, h, kernel):
    """Separable blur with a small odd-length kernel (weights sum to 1)."""
    r = len(kernel) // 2
    tmp = [0.0] * (w * h)
    for y in range(h):
        for x in range(w):
            acc = 0.0
            for k, wt in enumerate(kernel):
                xx = x + k - r
                if 0 <= xx < w:
                    acc += plane[y * w + xx] * wt
            tmp[y * w + x] = acc
    out = [0.0] * (w * h)
    for y in range(h):
        for x in range(w):
            acc = 0.0
            for k, wt in enumerate(kernel):
                yy = y + k - r
                if 0 <= yy < h:
                    acc += tmp[yy * w + x] * wt
            out[y * w + x] = acc
    return out


def shift_plane(plane, w, h, dx, dy):
    out = [0.0] * (w * h)
    for y in range(h):
        sy = y - dy
        if not 0 <= sy < h:
            continue
        for x in range(w):
            sx = x - dx
            if 0 <= sx < w:
                out[y * w + x] = plane[sy * w + sx]
    return out


# ---------------------------------------------------------------------------
# File writers.


def png_bytes(w, h, rgba):
    raw = bytearray()
    stride = w * 4
    for y in range(h):
        raw.append(0)
        raw += rgba[y * stride:(y + 1) * stride]

    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def dib32(w, h, rgba):
    """BITMAPINFOHEADER + bottom-up BGRA + AND mask, as stored in .ico/.cur."""
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            i = (y * w + x) * 4
            xor += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(w):
            if rgba[(y * w + x) * 4 + 3] < 64:
                row[x >> 3] |= 0x80 >> (x & 7)
        mask += row
    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0,
                      len(xor) + len(mask), 0, 0, 0, 0)
    return hdr + bytes(xor) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, rgba bytes)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, rgba in images:
        blob = dib32(size, size, rgba)
        entries += struct.pack("<BBBBHHII", size & 0xFF, size & 0xFF, 0, 0,
                               1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return head + entries + blobs


def cur_mono_bytes(rows, hotspot):
    """Monochrome 32x32 cursor from text rows: 'X' black, 'o' white, else clear."""
    w = h = 32
    rows = [r.ljust(w, ".") for r in rows] + ["." * w] * (h - len(rows))
    stride = 4
    xor = bytearray()
    andm = bytearray()
    for y in range(h - 1, -1, -1):
        xr = bytearray(stride)
        ar = bytearray(stride)
        for x in range(w):
            ch = rows[y][x]
            bit = 0x80 >> (x & 7)
            if ch == "o":
                xr[x >> 3] |= bit
            elif ch != "X":
                ar[x >> 3] |= bit
        xor += xr
        andm += ar
    palette = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 1, 0,
                      len(xor) + len(andm), 0, 0, 2, 0)
    blob = hdr + palette + bytes(xor) + bytes(andm)
    return (struct.pack("<HHH", 0, 2, 1)
            + struct.pack("<BBBBHHII", w, h, 2, 0, hotspot[0], hotspot[1],
                          len(blob), 22)
            + blob)


def bmp24_bytes(w, h, rgba):
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            i = (y * w + x) * 4
            row += bytes((rgba[i + 2], rgba[i + 1], rgba[i]))
        row += bytes(stride - len(row))
        data += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data),
                       2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    return head + info + bytes(data)


def write(path, data):
    with open(path, "wb") as fh:
        fh.write(data)


# ---------------------------------------------------------------------------
# Icon family. Drawings are made on a 32-unit square; the 16-pixel image is
# drawn from the same description at half scale with a relatively heavier
# stroke so that it stays readable.

PAL = {
    "outline": C("#26344a"),
    "blue_hi": C("#6fb0f5"), "blue": C("#2f78d6"), "blue_lo": C("#1b4f9c"),
    "green_hi": C("#8ee06a"), "green": C("#3fa535"), "green_lo": C("#22711f"),
    "red_hi": C("#ff8a78"), "red": C("#dd3b2c"), "red_lo": C("#9c1d13"),
    "gold_hi": C("#ffe48a"), "gold": C("#f5c343"), "gold_lo": C("#c98a16"),
    "paper_hi": C("#ffffff"), "paper_lo": C("#dfe6ee"),
    "body_hi": C("#6b7684"), "body": C("#454e5a"), "body_lo": C("#262c34"),
    "steel_hi": C("#f2f5f8"), "steel": C("#b9c2cc"), "steel_lo": C("#7c8792"),
    "sky_top": C("#3d8de0"), "sky_low": C("#b4e0ff"),
    "hill_back": C("#6fbf5a"), "hill_front": C("#2e8b2c"),
    "sun": C("#ffd23a"),
    "white": C("#ffffff"),
}


class Pen(object):
    """Drawing context for one icon image: canvas, stroke weight, detail level."""

    def __init__(self, cv, small):
        self.cv = cv
        self.small = small
        # outline weight in design units: 1.25 px at 32, 1 px at 16
        self.sw = 1.25 / cv.s if not small else 1.0 / cv.s
        self.px = 1.0 / cv.s

    def fill(self, shape, paint, opacity=1.0, xf=IDENT):
        self.cv.fill(xf.shape(shape), xf.paint(paint), opacity)

    def body(self, shape, paint, outline, xf=IDENT, gloss=True):
        """Filled shape with an inner outline and, at 32 px, a soft top gloss."""
        self.fill(shape, paint, xf=xf)
        if gloss and not self.small:
            x0, y0, x1, y1 = shape.bb
            gl = inner(grow(shape, -self.sw), self.px * 1.0)
            self.fill(gl, linear(0, y0, 0, y1, alpha(PAL["white"], 0.55),
                                 alpha(PAL["white"], 0.0)), xf=xf)
        self.fill(inner(shape, self.sw), outline, xf=xf)


def v_grad(y0, y1, c0, c1):
    return linear(0, y0, 0, y1, c0, c1)


def draw_photo(pen, x0, y0, x1, y1, xf=IDENT, frame=True):
    """A small photograph: white frame, sky, sun and green hills."""
    small = pen.small
    if frame:
        card = rrect(x0, y0, x1, y1, 1.0)
        pen.fill(card, v_grad(y0, y1, PAL["paper_hi"], PAL["paper_lo"]), xf=xf)
        m = pen.sw + (1.0 if not small else 1.0 * pen.px)
        ix0, iy0, ix1, iy1 = x0 + m, y0 + m, x1 - m, y1 - m
    else:
        ix0, iy0, ix1, iy1 = x0, y0, x1, y1
    w, h = ix1 - ix0, iy1 - iy0
    view = rrect(ix0, iy0, ix1, iy1, 0.0)
    pen.fill(view, v_grad(iy0, iy1, PAL["sky_top"], PAL["sky_low"]), xf=xf)
    sr = max(h * 0.16, 1.1 * pen.px)
    sun = circle(ix0 + w * 0.74, iy0 + h * 0.30, sr)
    if not small:
        pen.fill(inter(circle(ix0 + w * 0.74, iy0 + h * 0.30, sr * 2.0), view),
                 radial(ix0 + w * 0.74, iy0 + h * 0.30, sr * 2.0,
                        alpha(PAL["sun"], 0.55), alpha(PAL["sun"], 0.0)), xf=xf)
    pen.fill(sun, PAL["sun"], xf=xf)
    back = poly([(ix0 - 1, iy1 + 1), (ix0 - 1, iy0 + h * 0.62),
                 (ix0 + w * 0.30, iy0 + h * 0.40), (ix0 + w * 0.62, iy0 + h * 0.70),
                 (ix1 + 1, iy0 + h * 0.55), (ix1 + 1, iy1 + 1)])
    pen.fill(inter(back, view), PAL["hill_back"], xf=xf)
    front = poly([(ix0 - 1, iy1 + 1), (ix0 - 1, iy0 + h * 0.86),
                  (ix0 + w * 0.45, iy0 + h * 0.62), (ix0 + w * 0.80, iy0 + h * 0.80),
                  (ix1 + 1, iy0 + h * 0.74), (ix1 + 1, iy1 + 1)])
    pen.fill(inter(front, view),
             v_grad(iy0 + h * 0.6, iy1, PAL["hill_front"], shade(PAL["hill_front"], -0.25)),
             xf=xf)
    if frame:
        pen.fill(inner(rrect(x0, y0, x1, y1, 1.0), pen.sw), shade(PAL["steel_lo"], -0.35), xf=xf)
        if not small:
            pen.fill(ring(view, pen.px * 0.8), alpha(PAL["outline"], 0.35), xf=xf)


def draw_handheld(pen, x0, y0, x1, y1, xf=IDENT):
    """Landscape handheld: graphite body, picture on the screen, keys below."""
    small = pen.small
    w, h = x1 - x0, y1 - y0
    body = rrect(x0, y0, x1, y1, h * 0.2)
    pen.body(body, v_grad(y0, y1, PAL["body_hi"], PAL["body_lo"]), C("#1a1f26"), xf=xf)
    # screen with a picture
    bz = pen.sw + (1.0 if not small else 2 * pen.px)
    sx0, sy0, sx1, sy1 = x0 + bz + w * 0.04, y0 + bz, x1 - bz - w * 0.04, y0 + h * 0.70
    if not small:
        pen.fill(rrect(sx0 - 0.8, sy0 - 0.8, sx1 + 0.8, sy1 + 0.8, 0.8), C("#11151a"), xf=xf)
    draw_photo(pen, sx0, sy0, sx1, sy1, xf=xf, frame=False)
    # keys
    ky = (sy1 + y1) * 0.5
    if small:
        pen.fill(rrect(x0 + w * 0.5 - 1.6 * pen.px, ky - 0.9 * pen.px,
                       x0 + w * 0.5 + 1.6 * pen.px, ky + 0.9 * pen.px, 0.4), PAL["steel"], xf=xf)
    else:
        kr = (y1 - sy1) * 0.22
        pen.fill(circle(x0 + w * 0.5, ky, kr * 1.35), PAL["steel_lo"], xf=xf)
        pen.fill(circle(x0 + w * 0.5, ky, kr * 1.35 - pen.px),
                 radial(x0 + w * 0.5 - kr * 0.4, ky - kr * 0.5, kr * 1.6,
                        PAL["steel_hi"], PAL["steel"]), xf=xf)
        for fx in (0.2, 0.32, 0.68, 0.8):
            pen.fill(circle(x0 + w * fx, ky, kr * 0.8), PAL["steel_lo"], xf=xf)
            pen.fill(circle(x0 + w * fx, ky, kr * 0.8 - pen.px * 0.9),
                     radial(x0 + w * fx - kr * 0.3, ky - kr * 0.3, kr, PAL["steel_hi"],
                            PAL["steel"]), xf=xf)


def icon_app(pen):
    # a print of the picture behind the handheld, tilted
    draw_photo(pen, 13.5, 1.0, 30.0, 14.0, xf=Xf(10.0, 21.75, 7.5))
    draw_handheld(pen, 1.0, 9.5, 27.5, 29.5)


def icon_send_to_device(pen):
    top = 12.5 if not pen.small else 14.0
    draw_handheld(pen, 1.5, top, 30.5, 29.5)
    # green arrow coming down into the screen, cut free of the device
    cx = 16.0
    hw = 3.0
    tip = 17.0 if not pen.small else 15.0
    head = [(cx - 8.0, tip - 9.0), (cx + 8.0, tip - 9.0), (cx, tip)]
    shape = union(rrect(cx - hw, 0.8, cx + hw, tip - 8.0, 0.8), poly(head))
    pen.cv.erase(grow(shape, 1.2 * pen.px if not pen.small else 1.0 * pen.px))
    pen.body(shape, linear(cx - 8, 0, cx + 8, 18, PAL["green_hi"], PAL["green"],
                           PAL["green_lo"]), shade(PAL["green_lo"], -0.4))


def icon_open(pen):
    gold, hi, lo = PAL["gold"], PAL["gold_hi"], PAL["gold_lo"]
    out = shade(lo, -0.45)
    # back of the folder with its tab
    back = union(rrect(2.0, 8.0, 27.5, 28.0, 1.5), rrect(2.0, 5.0, 12.5, 10.0, 1.5))
    pen.body(back, v_grad(5, 28, shade(gold, -0.05), lo), out, gloss=False)
    # the picture sticking out
    xf = Xf(-8.0, 17.0, 14.0)
    draw_photo(pen, 8.5, 4.0, 26.5, 19.0, xf=xf)
    # open front flap
    front = poly([(5.0, 14.5), (30.8, 14.5), (27.5, 28.0), (2.0, 28.0), (0.9, 18.0)])
    front = inter(grow(rrect(3.0, 15.5, 29.0, 27.0, 0.0), 1.0), front)
    pen.body(front, v_grad(14, 28, hi, gold), out)


def icon_image_size(pen):
    draw_photo(pen, 2.0, 2.0, 22.0, 20.0)
    col = PAL["blue_lo"]
    # lines sit on whole pixels at both sizes: 2 px wide at 32, 1 px at 16
    lw = 2.0
    hs = 3.2 if not pen.small else 4.2
    hl = hs * 1.2
    # width: horizontal dimension line under the picture
    y = 25.0
    pen.fill(seg(3.5, y, 20.5, y, lw), col)
    pen.fill(poly([(1.6, y), (1.6 + hl, y - hs), (1.6 + hl, y + hs)]), col)
    pen.fill(poly([(22.4, y), (22.4 - hl, y - hs), (22.4 - hl, y + hs)]), col)
    # height: vertical dimension line right of the picture
    x = 27.0
    pen.fill(seg(x, 3.5, x, 18.5, lw), col)
    pen.fill(poly([(x, 1.6), (x - hs, 1.6 + hl), (x + hs, 1.6 + hl)]), col)
    pen.fill(poly([(x, 20.4), (x - hs, 20.4 - hl), (x + hs, 20.4 - hl)]), col)
    if not pen.small:
        # extension ticks
        tick = alpha(col, 0.5)
        pen.fill(seg(2.0, 21.5, 2.0, 28.5, 1.0), tick)
        pen.fill(seg(22.0, 21.5, 22.0, 28.5, 1.0), tick)
        pen.fill(seg(23.5, 2.0, 30.5, 2.0, 1.0), tick)
        pen.fill(seg(23.5, 20.0, 30.5, 20.0, 1.0), tick)


def icon_mail(pen):
    # the picture tucked into the envelope
    draw_photo(pen, 7.5, 2.0, 25.5, 17.0, xf=Xf(6.0, 16.5, 9.5))
    x0, y0, x1, y1 = 1.5, 11.0, 30.5, 29.0
    env = rrect(x0, y0, x1, y1, 1.5)
    out = PAL["outline"]
    pen.body(env, v_grad(y0, y1, PAL["paper_hi"], PAL["paper_lo"]), out)
    # flap fold lines
    lw = pen.sw * 0.9
    mx, my = (x0 + x1) * 0.5, y0 + (y1 - y0) * 0.58
    pen.fill(polyline([(x0 + 1.0, y0 + 1.0), (mx, my), (x1 - 1.0, y0 + 1.0)], lw),
             alpha(out, 0.85))
    if not pen.small:
        pen.fill(seg(x0 + 1.2, y1 - 1.2, mx - 4.0, my - 0.5, lw * 0.8), alpha(out, 0.35))
        pen.fill(seg(x1 - 1.2, y1 - 1.2, mx + 4.0, my - 0.5, lw * 0.8), alpha(out, 0.35))
    # blue "send" accent on the envelope
    pen.fill(inter(env, rrect(x0, y1 - (2.2 if not pen.small else 3.0), x1, y1, 0)),
             alpha(PAL["blue"], 0.9))
    pen.fill(inner(env, pen.sw), out)


def draw_magnifier(pen, sign):
    cx, cy, r = 13.0, 13.0, 7.6
    steel_out = shade(PAL["steel_lo"], -0.5)
    # handle
    hw = 4.4 if not pen.small else 4.6
    handle = seg(cx + r * 0.80, cy + r * 0.80, 24.9, 24.9, hw)
    pen.body(handle, linear(18, 26, 26, 18, PAL["body_lo"], PAL["body_hi"]),
             C("#14181d"), gloss=False)
    # rim
    rim = circle(cx, cy, r + 1.9)
    pen.fill(rim, linear(cx - r, cy - r, cx + r, cy + r, PAL["steel_hi"], PAL["steel"],
                         PAL["steel_lo"]))
    pen.fill(inner(rim, pen.sw), steel_out)
    # glass
    glass = circle(cx, cy, r)
    pen.fill(glass, radial(cx - 2.5, cy - 3.0, r * 1.6, C("#ffffff"), C("#d6ecff"),
                           C("#9cc8f0")))
    pen.fill(ring(glass, pen.px), alpha(steel_out, 0.8))
    if not pen.small:
        hl = inter(ring(circle(cx, cy, r - 2.0), 1.4), halfplane(1, 1, cx + cy - 6.0))
        pen.fill(hl, alpha(PAL["white"], 0.9))
    # sign
    col = PAL["blue_lo"]
    lw = 2.4 if not pen.small else 2.2
    a = 4.2 if not pen.small else 4.0
    pen.fill(seg(cx - a, cy, cx + a, cy, lw), col)
    if sign > 0:
        pen.fill(seg(cx, cy - a, cx, cy + a, lw), col)


def icon_zoom_in(pen):
    draw_magnifier(pen, +1)


def icon_zoom_out(pen):
    draw_magnifier(pen, -1)


def draw_plug_pair(pen, gap, hi, mid, lo):
    """Plug (from the lower left) and socket (to the upper right) on the diagonal."""
    xf = Xf(-45.0, 16.0, 16.0)
    # in the unrotated frame the axis runs along y = 16, plug on the left
    cab = PAL["body"]
    cab_out = C("#1a1f26")
    lwc = 3.4 if not pen.small else 3.6
    g = gap * 0.5
    # cables
    for xa, xb in ((-2.6 + g * 0.3, 6.0 - g), (26.0 + g, 34.6 - g * 0.3)):
        pen.fill(seg(xa, 16.0, xb, 16.0, lwc), cab_out, xf=xf)
        pen.fill(seg(xa, 16.0, xb, 16.0, lwc - 2 * pen.sw), cab, xf=xf)
    # prongs
    pw = 1.6 if not pen.small else 2.0
    for dy in (-2.8, 2.8):
        pr = rrect(13.0 - g, 16.0 + dy - pw / 2, 19.0 - g, 16.0 + dy + pw / 2, 0.4)
        pen.fill(pr, linear(0, 16 + dy - pw, 0, 16 + dy + pw, PAL["steel_hi"],
                            PAL["steel_lo"]), xf=xf)
        pen.fill(inner(pr, pen.px * (0.8 if not pen.small else 1.0)),
                 shade(PAL["steel_lo"], -0.4), xf=xf)
    grad = linear(0, 9.6, 0, 22.4, hi, mid, lo)
    out = shade(lo, -0.4)
    # plug body
    plug = rrect(5.5 - g, 10.0, 14.0 - g, 22.0, 1.8)
    if not pen.small:
        plug = union(plug, rrect(3.0 - g, 12.6, 6.5 - g, 19.4, 1.0))
    pen.body(plug, grad, out, xf=xf)
    # socket body
    sock = rrect(18.0 + g, 9.6, 26.5 + g, 22.4, 1.8)
    if not pen.small:
        sock = union(sock, rrect(25.5 + g, 12.6, 29.0 + g, 19.4, 1.0))
    pen.body(sock, grad, out, xf=xf)
    if not pen.small:
        for dy in (-2.8, 2.8):
            pen.fill(rrect(18.0 + g, 16 + dy - 0.9, 19.4 + g, 16 + dy + 0.9, 0.3),
                     alpha(out, 0.8), xf=xf)


def icon_connect(pen):
    draw_plug_pair(pen, -0.0, PAL["green_hi"], PAL["green"], PAL["green_lo"])


def icon_disconnect(pen):
    draw_plug_pair(pen, 6.0, PAL["red_hi"], PAL["red"], PAL["red_lo"])
    # small sparks in the gap
    if not pen.small:
        xf = Xf(-45.0, 16.0, 16.0)
        col = PAL["gold"]
        for (xa, ya, xb, yb) in ((16.0, 8.2, 16.0, 5.2), (14.0, 8.8, 12.2, 6.8),
                                 (18.0, 8.8, 19.8, 6.8)):
            pen.fill(seg(xa, ya, xb, yb, 1.3), shade(col, -0.1), xf=xf)


ICONS = [
    # (enabled id, disabled id, drawing, what for)
    (146, 149, icon_connect, "Connect (1002)"),
    (147, 150, icon_disconnect, "Disconnect (1003)"),
    (137, 156, icon_open, "Open picture (1004)"),
    (132, 157, icon_image_size, "Image size (1005)"),
    (133, 148, icon_send_to_device, "Send picture to device (1006)"),
    (166, 165, icon_mail, "Send by mail (1008)"),
    (142, 158, icon_zoom_in, "Zoom in (1031)"),
    (143, 159, icon_zoom_out, "Zoom out (1030)"),
]

GAUSS3 = [0.25, 0.5, 0.25]
TIGHT3 = [0.15, 0.7, 0.15]


def with_shadow(cv, size, opacity):
    """Adds a soft drop shadow below and right of the drawing."""
    plane = cv.alpha_plane()
    k = GAUSS3 if size >= 32 else TIGHT3
    sh = kernel_blur(plane, size, size, k)
    sh = shift_plane(sh, size, size, 1, 1)
    out = cv.copy()
    out.under(C("#0a1424"), sh, opacity)
    return out


def greyed(cv):
    """Disabled look: desaturated, lighter and slightly faded."""
    out = cv.copy()
    p = out.p
    for i in range(0, len(p), 4):
        a = p[i + 3]
        if a <= 0.0:
            continue
        r, g, b = p[i] / a, p[i + 1] / a, p[i + 2] / a
        lum = 0.299 * r + 0.587 * g + 0.114 * b
        v = 0.40 + 0.56 * lum
        na = a * 0.88
        p[i] = (v - 0.010) * na
        p[i + 1] = (v - 0.004) * na
        p[i + 2] = (v + 0.010 if v < 0.99 else v) * na
        p[i + 3] = na
    return out


def render_icon(draw, size):
    cv = Canvas(size, size, size / 32.0)
    draw(Pen(cv, size < 24))
    return cv


def build_icons():
    """Returns {id: {size: rgba}} for the application icon and all buttons."""
    result = {}
    jobs = [(130, None, icon_app, "application")] + ICONS
    for en, dis, draw, _ in jobs:
        for size in (32, 16):
            base = render_icon(draw, size)
            op = 0.40 if size >= 32 else 0.26
            result.setdefault(en, {})[size] = with_shadow(base, size, op).rgba8()
            if dis is not None:
                result.setdefault(dis, {})[size] = with_shadow(
                    greyed(base), size, op * 0.45).rgba8()
    return result


# ---------------------------------------------------------------------------
# Handheld bitmaps (324 x 270, screen hole at 39, 58, 248 x 159).

BMP_W, BMP_H = 324, 270
SCREEN = (39, 58, 39 + 248, 58 + 159)
DIALOG_GREY = C("#f0f0f0")        # standard dialog face colour
SCREEN_FILL = C("#0c0f13")        # the hole; matches the inner bezel edge


def draw_device(connected):
    cv = Canvas(BMP_W, BMP_H, 1.0, DIALOG_GREY)
    bx0, by0, bx1, by1 = 7.0, 5.0, 317.0, 262.0
    body = rrect(bx0, by0, bx1, by1, 30.0)

    # soft shadow on the dialog
    mask = Canvas(BMP_W, BMP_H, 1.0)
    mask.fill(body, C("#000000"))
    sh = blur_plane(mask.alpha_plane(), BMP_W, BMP_H, 3, 3)
    sh = shift_plane(sh, BMP_W, BMP_H, 0, 3)
    shadow = Canvas(BMP_W, BMP_H, 1.0)
    shadow.under(C("#1a2330"), sh, 0.38)
    cv.over_canvas(shadow)

    # metal rim
    cv.fill(body, linear(0, by0, 0, by1, (0.0, C("#9aa4b1")), (0.25, C("#6d7785")),
                         (1.0, C("#343b45"))))
    cv.fill(inner(body, 1.0), C("#1c2128"))
    cv.fill(inner(grow(body, -1.0), 1.0),
            linear(0, by0, 0, by1, (0.0, C("#ffffff", 0.55)), (0.5, C("#ffffff", 0.08)),
                   (1.0, C("#ffffff", 0.0))))

    # face panel
    face = rrect(bx0 + 5, by0 + 5, bx1 - 5, by1 - 5, 25.5)
    cv.fill(face, linear(0, by0, 0, by1, (0.0, C("#4f5866")), (0.45, C("#3a424d")),
                         (1.0, C("#262c34"))))
    cv.fill(inner(face, 1.0), C("#1f242b", 0.9))
    cv.fill(inner(grow(face, -1.0), 1.0), linear(0, by0, 0, by1, C("#ffffff", 0.14),
                                                 C("#ffffff", 0.0)))
    # faint diagonal sheen over the face
    sheen = inter(face, poly([(bx0, by0), (170, by0), (90, by1), (bx0, by1)]))
    cv.fill(sheen, linear(bx0, 0, 170, 0, C("#ffffff", 0.05), C("#ffffff", 0.0)))

    # screen bezel (glossy black glass)
    sx0, sy0, sx1, sy1 = SCREEN
    bez = rrect(sx0 - 11, sy0 - 11, sx1 + 11, sy1 + 10, 9.0)
    cv.fill(grow(bez, 1.0), C("#59626e", 0.6))
    cv.fill(bez, linear(0, sy0 - 11, 0, sy1 + 10, C("#23272d"), C("#121418")))
    cv.fill(inner(bez, 1.0), C("#0b0d10"))
    gloss = inter(bez, poly([(sx0 - 12, sy0 - 12), (sx0 + 130, sy0 - 12),
                             (sx0 + 40, sy1 + 12), (sx0 - 12, sy1 + 12)]))
    cv.fill(gloss, C("#ffffff", 0.045))
    # recessed edge directly around the screen
    well = rrect(sx0 - 3, sy0 - 3, sx1 + 3, sy1 + 3, 2.0)
    cv.fill(well, C("#07080a"))
    if connected:
        # glow of the lit screen on the bezel
        glow = rrect(sx0 - 9, sy0 - 9, sx1 + 9, sy1 + 9, 8.0)
        scr = rrect(sx0, sy0, sx1, sy1, 0.0)
        f = scr.f

        def glow_paint(x, y):
            d = max(f(x, y), 0.0)
            a = 0.9 * math.exp(-d / 3.4)
            return (0.42, 0.86, 1.0, a)
        cv.fill(glow, glow_paint)
    # the screen itself: one flat colour (a hole in the window)
    cv.fill(rrect(sx0, sy0, sx1, sy1, 0.0), SCREEN_FILL)

    # speaker slot above the screen
    sp = rrect(132.0, 23.0, 192.0, 30.0, 3.5)
    cv.fill(grow(sp, 1.0), C("#6a7380", 0.55))
    cv.fill(sp, C("#0e1014"))
    for i in range(9):
        x = 138.0 + i * 6.0
        cv.fill(rrect(x, 25.0, x + 2.5, 28.0, 1.2), C("#2a3038"))

    # status LED (left of the speaker)
    lx, ly = 54.0, 26.5
    cv.fill(circle(lx, ly, 5.0), C("#1b1f25"))
    cv.fill(ring(circle(lx, ly, 5.0), 1.0), C("#6e7784", 0.6))
    if connected:
        cv.fill(circle(lx, ly, 14.0), radial(lx, ly, 14.0, C("#6dff6a", 0.45),
                                             C("#6dff6a", 0.0)))
        cv.fill(circle(lx, ly, 3.8), radial(lx - 1.0, ly - 1.2, 4.5, C("#eaffd8"),
                                            C("#5cf04a"), C("#1f9a1a")))
    else:
        cv.fill(circle(lx, ly, 3.8), radial(lx - 1.0, ly - 1.2, 4.5, C("#4d5a4c"),
                                            C("#253024"), C("#151a15")))
    cv.fill(circle(lx - 1.2, ly - 1.4, 1.1), C("#ffffff", 0.55 if connected else 0.22))
    # small camera/sensor dot next to it
    cv.fill(circle(70.0, 26.5, 2.2), C("#0c0e12"))
    cv.fill(circle(69.4, 25.9, 0.7), C("#7fa0c8", 0.6))

    # power key (right of the speaker)
    px, py = 270.0, 26.5
    key = circle(px, py, 6.0)
    cv.fill(grow(key, 1.0), C("#1a1e24"))
    cv.fill(key, radial(px - 2.0, py - 2.5, 9.0, C("#8b95a2"), C("#4c5561"), C("#2c323a")))
    arc = sub(ring(circle(px, py, 2.8), 1.2), rrect(px - 1.3, py - 5.0, px + 1.3, py, 0))
    pymark = C("#9ff59a") if connected else C("#c3cad3")
    cv.fill(arc, alpha(pymark, 0.9))
    cv.fill(seg(px, py - 4.0, px, py - 0.8, 1.2), alpha(pymark, 0.9))

    # keys below the screen
    ky = 245.0
    # d-pad: round base with an embossed cross
    dc = 162.0
    base = circle(dc, ky, 13.0)
    cv.fill(grow(base, 1.0), C("#14171c"))
    cv.fill(base, radial(dc - 4, ky - 5, 18.0, C("#59626f"), C("#343b45"), C("#22272e")))
    cross = union(rrect(dc - 10.5, ky - 3.6, dc + 10.5, ky + 3.6, 2.0),
                  rrect(dc - 3.6, ky - 10.5, dc + 3.6, ky + 10.5, 2.0))
    cv.fill(grow(cross, 0.8), C("#15181d", 0.8))
    cv.fill(cross, linear(0, ky - 10.5, 0, ky + 10.5, C("#a6afbb"), C("#6a7481"),
                          C("#4a525d")))
    cv.fill(inner(grow(cross, -0.6), 0.9), linear(0, ky - 11, 0, ky + 11,
                                                   C("#ffffff", 0.45), C("#ffffff", 0.0)))
    cv.fill(circle(dc, ky, 2.2), C("#2f353e", 0.9))
    for ax, ay in ((dc, ky - 7.0), (dc, ky + 7.0), (dc - 7.0, ky), (dc + 7.0, ky)):
        cv.fill(circle(ax, ay, 0.9), C("#3c444f", 0.8))

    # two application keys on each side
    glyph = C("#cfd6de", 0.85)
    for i, kx in enumerate((82.0, 118.0, 206.0, 242.0)):
        k = circle(kx, ky, 9.0)
        cv.fill(grow(k, 1.0), C("#15181d"))
        cv.fill(k, radial(kx - 3.0, ky - 3.5, 13.0, C("#7d8795"), C("#4a5360"),
                          C("#2b3139")))
        cv.fill(inner(grow(k, -0.5), 0.9), linear(0, ky - 9, 0, ky + 9,
                                                   C("#ffffff", 0.35), C("#ffffff", 0.0)))
        if i == 0:      # home
            cv.fill(union(poly([(kx - 4.2, ky - 0.2), (kx, ky - 4.2), (kx + 4.2, ky - 0.2)]),
                          rrect(kx - 2.8, ky - 0.8, kx + 2.8, ky + 3.6, 0.3)), glyph)
        elif i == 1:    # calendar-like grid
            cv.fill(ring(rrect(kx - 3.6, ky - 3.2, kx + 3.6, ky + 3.6, 0.6), 1.0), glyph)
            cv.fill(seg(kx - 3.6, ky - 1.2, kx + 3.6, ky - 1.2, 1.0), glyph)
        elif i == 2:    # picture
            cv.fill(ring(rrect(kx - 4.0, ky - 3.2, kx + 4.0, ky + 3.4, 0.6), 1.0), glyph)
            cv.fill(poly([(kx - 3.5, ky + 3.0), (kx - 1.0, ky - 0.2), (kx + 1.0, ky + 1.6),
                          (kx + 2.2, ky + 0.6), (kx + 3.6, ky + 3.0)]), glyph)
        else:           # menu lines
            for dy in (-2.6, 0.0, 2.6):
                cv.fill(seg(kx - 3.4, ky + dy, kx + 3.4, ky + dy, 1.1), glyph)

    return cv


def check_screen(rgba):
    """The screen rectangle must be one flat colour; the device must sit inside."""
    sx0, sy0, sx1, sy1 = SCREEN
    ref = bytes(rgba[(sy0 * BMP_W + sx0) * 4:(sy0 * BMP_W + sx0) * 4 + 3])
    for y in range(sy0, sy1):
        for x in range(sx0, sx1):
            i = (y * BMP_W + x) * 4
            if bytes(rgba[i:i + 3]) != ref:
                raise SystemExit("screen not flat at %d,%d" % (x, y))
    return ref


# ---------------------------------------------------------------------------
# Drag cursor: a closed hand, black outline and white fill, hotspot in the palm.

HAND = [
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "..........XX.XX.XX..............",
    ".........XooXooXooXX............",
    ".........XooXooXooXoX...........",
    "........XXooXooXooXoX...........",
    ".......XooXooXooXooXoX..........",
    ".......XoooooooooooooX..........",
    "......XXoooooooooooooX..........",
    ".....XooXooooooooooooX..........",
    ".....XoooooooooooooooX..........",
    "......XooooooooooooooX..........",
    ".......XooooooooooooX...........",
    "........XoooooooooooX...........",
    ".........XooooooooooX...........",
    ".........XooooooooX.............",
    ".........XooooooooX.............",
    ".........XXXXXXXXXX.............",
]
HAND_HOTSPOT = (15, 14)


# ---------------------------------------------------------------------------
# Previews (for looking only).

DIGITS = {
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
}


class Sheet(object):
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = bytearray(bytes((int(bg[0] * 255), int(bg[1] * 255),
                                   int(bg[2] * 255), 255)) * (w * h))

    def rect(self, x0, y0, x1, y1, rgb):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                i = (y * self.w + x) * 4
                self.px[i:i + 4] = bytes((rgb[0], rgb[1], rgb[2], 255))

    def blit(self, rgba, w, h, ox, oy, zoom=1, clip=None):
        for y in range(h * zoom):
            for x in range(w * zoom):
                sx, sy = x // zoom, y // zoom
                if clip and not (clip[0] <= sx < clip[2] and clip[1] <= sy < clip[3]):
                    continue
                dx, dy = ox + x, oy + y
                if not (0 <= dx < self.w and 0 <= dy < self.h):
                    continue
                j = (sy * w + sx) * 4
                a = rgba[j + 3] / 255.0
                if a <= 0:
                    continue
                i = (dy * self.w + dx) * 4
                for c in range(3):
                    self.px[i + c] = int(rgba[j + c] * a + self.px[i + c] * (1 - a) + 0.5)

    def text(self, s, x, y, zoom=2, rgb=(60, 60, 60)):
        for ch in s:
            g = DIGITS.get(ch)
            if g:
                for r, row in enumerate(g):
                    for c, bit in enumerate(row):
                        if bit == "1":
                            self.rect(x + c * zoom, y + r * zoom, x + (c + 1) * zoom,
                                      y + (r + 1) * zoom, rgb)
            x += 4 * zoom

    def png(self):
        return png_bytes(self.w, self.h, self.px)


def button_texture(w, h):
    """Approximates the toolbar button face (soft bump, no noise) for previews."""
    S, F, L = (160, 160, 160), (240, 240, 240), (255, 255, 255)
    pal = []
    for i in range(256):
        if i <= 128:
            pal.append(tuple(((128 - i) * S[c] + i * F[c]) // 128 for c in range(3)))
        else:
            j = i - 127
            pal.append(tuple(((128 - j) * F[c] + j * L[c]) // 128 for c in range(3)))
    pal = [tuple(int(p[c] + ((12, 0, 0)[c] - p[c]) * 0.12) for c in range(3)) for p in pal]
    g = 12
    out = bytearray(w * h * 4)

    def cube(c):
        return int(c * c * c / 16384.0)
    for y in range(h):
        r = h - 1 - y
        for x in range(w):
            cy = r * 255 // h - 127
            cx = (w - x) * 255 // w - 127
            v = int(((128 - g) * (cube(cy) + cube(cx))) / 128) + 128
            v = max(g, min(255 - g, v))
            i = (y * w + x) * 4
            out[i:i + 4] = bytes(pal[v] + (255,))
    return out


def write_previews(icons, bmps, hand_rows):
    os.makedirs(PREVIEW, exist_ok=True)
    order = [130] + [i for pair in ICONS for i in pair[:2]]
    # per-icon enlarged previews
    for iid in order:
        sh = Sheet(32 * 4 + 16 * 4 + 24, 32 * 4 + 16, DIALOG_GREY)
        sh.blit(icons[iid][32], 32, 32, 8, 8, 4)
        sh.blit(icons[iid][16], 16, 16, 32 * 4 + 16, 8, 4)
        write(os.path.join(PREVIEW, "icon%d.png" % iid), sh.png())
    # contact sheet: one row per button: enabled/disabled at 4x, then 1x
    rows = [(130, None, "app")] + [(e, d, n) for e, d, _, n in ICONS]
    rh = 32 * 4 + 20
    W = 8 + (128 + 12) * 2 + (64 + 12) * 2 + 8 + 4 * 40 + 8
    sh = Sheet(W, 10 + rh * len(rows), DIALOG_GREY)
    for r, (e, d, _) in enumerate(rows):
        y = 10 + r * rh
        x = 8
        for iid in (e, d):
            if iid is None:
                x += 128 + 12
                continue
            sh.blit(icons[iid][32], 32, 32, x, y, 4)
            sh.text(str(iid), x, y + 130)
            x += 128 + 12
        for iid in (e, d):
            if iid is None:
                x += 64 + 12
                continue
            sh.blit(icons[iid][16], 16, 16, x, y, 4)
            x += 64 + 12
        for iid in (e, d):
            if iid is None:
                x += 80
                continue
            sh.blit(icons[iid][32], 32, 32, x, y + 8)
            sh.blit(icons[iid][16], 16, 16, x + 40, y + 16)
            x += 80
    write(os.path.join(PREVIEW, "contact_sheet.png"), sh.png())
    # the 16-pixel images at 8x, enabled above disabled
    sh = Sheet(len(order) // 2 * 136 + 8, 2 * 136 + 8, DIALOG_GREY)
    for n, (e, d, _, _) in enumerate(ICONS):
        sh.blit(icons[e][16], 16, 16, 8 + n * 136, 8, 8)
        sh.blit(icons[d][16], 16, 16, 8 + n * 136, 144, 8)
    write(os.path.join(PREVIEW, "icons16_8x.png"), sh.png())
    # toolbar at real size on the textured buttons, then at 3x
    tb = Sheet(8 * 50 + 20, 2 * 60 + 10, DIALOG_GREY)
    tex = button_texture(48, 50)
    ztex = button_texture(25, 26)
    x = 6
    for e, d, _, _ in ICONS[:6]:
        for row, iid in enumerate((e, d)):
            tb.blit(tex, 48, 50, x, 6 + row * 60)
            tb.blit(icons[iid][32], 32, 32, x + 8, 6 + row * 60 + 9)
        x += 50
    for e, d, _, _ in ICONS[6:]:
        for row, iid in enumerate((e, d)):
            tb.blit(ztex, 25, 26, x, 6 + row * 60)
            # centred 32x32 icon on a 25x26 button is clipped by the button
            tb.blit(icons[iid][32], 32, 32, x - 3, 6 + row * 60 - 3,
                    clip=(3, 3, 28, 29))
        x += 28
    write(os.path.join(PREVIEW, "toolbar_1x.png"), tb.png())
    big = Sheet(tb.w * 3, tb.h * 3, DIALOG_GREY)
    big.blit(tb.px, tb.w, tb.h, 0, 0, 3)
    write(os.path.join(PREVIEW, "toolbar_3x.png"), big.png())
    # bitmaps at 1x, as drawn and as seen with a picture in the screen hole
    sx0, sy0, sx1, sy1 = SCREEN
    pic = Canvas(sx1 - sx0, sy1 - sy0, 1.0, C("#ffffff"))
    draw_photo(Pen(pic, False), 14.0, 10.0, sx1 - sx0 - 14.0, sy1 - sy0 - 10.0, frame=False)
    pic = pic.rgba8()
    for name, rgba in sorted(bmps.items()):
        write(os.path.join(PREVIEW, name + ".png"), png_bytes(BMP_W, BMP_H, rgba))
        sh = Sheet(BMP_W + 40, BMP_H + 40, DIALOG_GREY)
        sh.blit(rgba, BMP_W, BMP_H, 20, 20)
        sh.blit(pic, sx1 - sx0, sy1 - sy0, 20 + sx0, 20 + sy0)
        write(os.path.join(PREVIEW, name + "_in_use.png"), sh.png())
    # cursor at 8x on light and dark grounds
    cur = bytearray(32 * 32 * 4)
    for y, row in enumerate(hand_rows + ["." * 32] * (32 - len(hand_rows))):
        for x, ch in enumerate(row.ljust(32, ".")):
            i = (y * 32 + x) * 4
            if ch == "X":
                cur[i:i + 4] = b"\x00\x00\x00\xff"
            elif ch == "o":
                cur[i:i + 4] = b"\xff\xff\xff\xff"
    hs = HAND_HOTSPOT
    cur[(hs[1] * 32 + hs[0]) * 4:(hs[1] * 32 + hs[0]) * 4 + 4] = b"\xff\x30\x30\xff"
    sh = Sheet(32 * 8 * 2 + 24, 32 * 8 + 16, C("#c8d0d8"))
    sh.blit(cur, 32, 32, 8, 8, 8)
    sh.rect(32 * 8 + 16, 0, sh.w, sh.h, (70, 80, 90))
    sh.blit(cur, 32, 32, 32 * 8 + 16, 8, 8)
    write(os.path.join(PREVIEW, "cursor1018.png"), sh.png())


# ---------------------------------------------------------------------------


def main():
    os.makedirs(ART, exist_ok=True)
    icons = build_icons()
    for iid in sorted(icons):
        write(os.path.join(ART, "icon%d.ico" % iid),
              ico_bytes([(32, icons[iid][32]), (16, icons[iid][16])]))
    bmps = {}
    for num, connected in ((153, True), (154, False)):
        rgba = draw_device(connected).rgba8()
        check_screen(rgba)
        bmps["handheld%d" % num] = rgba
        write(os.path.join(ART, "handheld%d.bmp" % num), bmp24_bytes(BMP_W, BMP_H, rgba))
    write(os.path.join(ART, "cursor1018.cur"), cur_mono_bytes(HAND, HAND_HOTSPOT))
    write_previews(icons, bmps, HAND)


if __name__ == "__main__":
    main()
