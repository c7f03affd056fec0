#!/usr/bin/env python3
"""Draws Scrivane's icons and splash picture and writes them as .ico and .bmp.

Run by the build (src/resources/CMakeLists.txt) into the build tree; the binaries are never kept
in the repository, so every image here is whatever this file says. Only the standard library is
used, and nothing depends on the machine (no fonts, no clock, no randomness), so two runs give
the same bytes.

    gen_resources.py OUTPUT_DIR
    gen_resources.py --wizard OUTPUT_DIR    the installer's two wizard pictures, from the splash

Icons and the splash are drawn with signed distance functions: each shape says how far a point is
from its edge, which gives smooth edges at every icon size from one description. (The cursors are
drawn by the program itself, at the size the system asks for; see src/overlay/tool_cursors.cpp.)
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Canvas with straight (not premultiplied) RGBA floats and "over" compositing.


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, rgb, a):
        if a <= 0.0:
            return
        p = self.px[y * self.w + x]
        da = p[3]
        oa = a + da * (1.0 - a)
        if oa <= 0.0:
            return
        for i in range(3):
            p[i] = (rgb[i] * a + p[i] * da * (1.0 - a)) / oa
        p[3] = oa

    def draw(self, sdf, color, scale, alpha=1.0, pad=1.0, bbox=None):
        """Fills the shape sdf(x, y) <= 0 (design units; scale = pixels per unit).

        color is an (r, g, b) tuple or a function (x, y) -> (r, g, b) in design units.
        bbox (x0, y0, x1, y1) in design units limits the work; the whole canvas otherwise.
        """
        if bbox is None:
            xs, ys, xe, ye = 0, 0, self.w, self.h
        else:
            xs = max(0, int(math.floor(bbox[0] * scale - pad)))
            ys = max(0, int(math.floor(bbox[1] * scale - pad)))
            xe = min(self.w, int(math.ceil(bbox[2] * scale + pad)) + 1)
            ye = min(self.h, int(math.ceil(bbox[3] * scale + pad)) + 1)
        fn = callable(color)
        for y in range(ys, ye):
            uy = (y + 0.5) / scale
            for x in range(xs, xe):
                ux = (x + 0.5) / scale
                d = sdf(ux, uy) * scale
                cov = 0.5 - d
                if cov <= 0.0:
                    continue
                if cov > 1.0:
                    cov = 1.0
                self.blend(x, y, color(ux, uy) if fn else color, cov * alpha)

    def rgba8(self):
        out = []
        for p in self.px:
            out.append(tuple(max(0, min(255, int(round(c * 255.0 if i == 3 else c))))
                             for i, c in enumerate(p)))
        return out


# ---------------------------------------------------------------------------------------------
# Signed distance functions (negative inside).


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_round_rect(cx, cy, hw, hh, r):
    def f(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def _seg_dist(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    wx, wy = x - ax, y - ay
    ll = vx * vx + vy * vy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, (wx * vx + wy * vy) / ll))
    return math.hypot(wx - t * vx, wy - t * vy)


def sd_capsule(ax, ay, bx, by, r):
    return lambda x, y: _seg_dist(x, y, ax, ay, bx, by) - r


def sd_polyline(pts, r):
    segs = list(zip(pts, pts[1:]))

    def f(x, y):
        return min(_seg_dist(x, y, a[0], a[1], b[0], b[1]) for a, b in segs) - r
    return f


def sd_polygon(pts):
    """Exact distance to a simple polygon (even-odd inside test)."""
    n = len(pts)

    def f(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % n]
            d = min(d, _seg_dist(x, y, ax, ay, bx, by))
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return -d if inside else d
    return f


def sd_ring(cx, cy, r, half_thickness):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half_thickness


def grown(sdf, amount):
    return lambda x, y: sdf(x, y) - amount


def intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def bbox_of(pts, r=0.0):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs) - r, min(ys) - r, max(xs) + r, max(ys) + r)


def lerp_rgb(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))


def bezier(p0, p1, p2, p3, n=16):
    pts = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


# ---------------------------------------------------------------------------------------------
# The program icon: a monitor with a highlighter stroke across its screen and the marker that
# drew it. Design units: the icon is the unit square, y downwards.

OUTLINE = (28, 32, 40)


def draw_marker(c, s, tip, tail, half, body, band, nib, outline_w):
    """A marker pen from tail to tip (tip drawn as a short cone)."""
    dx, dy = tip[0] - tail[0], tip[1] - tail[1]
    ln = math.hypot(dx, dy)
    ux, uy = dx / ln, dy / ln
    nx, ny = -uy, ux
    cone = half * 1.6
    neck = (tip[0] - ux * cone, tip[1] - uy * cone)
    cone_pts = [(neck[0] + nx * half * 0.85, neck[1] + ny * half * 0.85), tip,
                (neck[0] - nx * half * 0.85, neck[1] - ny * half * 0.85)]
    body_sdf = sd_capsule(tail[0], tail[1], neck[0], neck[1], half)
    cone_sdf = sd_polygon(cone_pts)
    bb = bbox_of([tip, tail], half + outline_w + 0.02)
    c.draw(grown(body_sdf, outline_w), OUTLINE, s, bbox=bb)
    c.draw(grown(cone_sdf, outline_w), OUTLINE, s, bbox=bb)
    c.draw(cone_sdf, nib, s, bbox=bb)
    c.draw(body_sdf, body, s, bbox=bb)
    # a coloured band near the nib end, as on a real marker's grip
    b0 = (neck[0] - ux * half * 0.2, neck[1] - uy * half * 0.2)
    b1 = (neck[0] - ux * half * 1.4, neck[1] - uy * half * 1.4)
    c.draw(intersect(sd_capsule(b0[0], b0[1], b1[0], b1[1], half * 1.2), body_sdf), band, s, bbox=bb)


def program_icon(size):
    s = float(size)
    c = Canvas(size, size)
    small = size <= 16
    # stand
    c.draw(sd_round_rect(0.5, 0.86, 0.09, 0.08, 0.01), (70, 76, 88), s)
    c.draw(sd_round_rect(0.5, 0.925, 0.25, 0.045, 0.04), (52, 58, 68), s)
    # bezel and screen
    c.draw(sd_round_rect(0.5, 0.44, 0.48, 0.36, 0.07), OUTLINE, s)
    c.draw(sd_round_rect(0.5, 0.44, 0.445, 0.325, 0.05), (62, 68, 80), s)
    top, bottom = 0.44 - 0.28, 0.44 + 0.28
    c.draw(sd_round_rect(0.5, 0.44, 0.39, 0.28, 0.02),
           lambda x, y: lerp_rgb((150, 200, 245), (60, 120, 205), (y - top) / (bottom - top)), s)
    # a few "text lines" on the screen so the stroke reads as marking up a document
    if not small:
        for i, (y, w) in enumerate(((0.30, 0.46), (0.40, 0.56), (0.50, 0.38), (0.60, 0.50))):
            c.draw(sd_capsule(0.20, y, 0.20 + w, y, 0.018), (235, 244, 252), s, alpha=0.75)
    # the highlighter stroke, translucent so the lines show through
    stroke = bezier((0.17, 0.58), (0.30, 0.32), (0.45, 0.62), (0.64, 0.36), 20)
    c.draw(sd_polyline(stroke, 0.065 if not small else 0.08), (255, 214, 10), s,
           alpha=0.85, bbox=bbox_of(stroke, 0.1))
    # the marker, its tip at the end of the stroke
    draw_marker(c, s, tip=(0.655, 0.345), tail=(0.93, 0.07), half=0.075 if not small else 0.085,
                body=(236, 96, 44), band=(255, 214, 10), nib=(255, 214, 10),
                outline_w=max(0.03, 1.0 / s))
    return c


def magnifier_icon(size):
    s = float(size)
    c = Canvas(size, size)
    cx, cy, r = 0.40, 0.40, 0.29
    ow = max(0.035, 1.0 / s)
    # handle
    c.draw(sd_capsule(0.62, 0.62, 0.90, 0.90, 0.085 + ow), OUTLINE, s)
    c.draw(sd_capsule(0.62, 0.62, 0.90, 0.90, 0.085),
           lambda x, y: lerp_rgb((120, 70, 40), (70, 38, 20), (x + y - 1.2) / 0.6), s)
    c.draw(sd_capsule(0.60, 0.60, 0.66, 0.66, 0.07), (150, 156, 166), s)
    # glass
    c.draw(sd_circle(cx, cy, r), lambda x, y: lerp_rgb((215, 236, 252), (120, 175, 230),
                                                        (x + y - 0.2) / 0.8), s)
    # glint
    if size > 16:
        glint = [(cx - 0.17 * math.cos(a), cy - 0.17 * math.sin(a)) for a in
                 [math.radians(20 + 7 * i) for i in range(8)]]
        c.draw(sd_polyline(glint, 0.03), (255, 255, 255), s, alpha=0.9, bbox=bbox_of(glint, 0.05))
    # rim
    c.draw(sd_ring(cx, cy, r, 0.055 + ow), OUTLINE, s)
    c.draw(sd_ring(cx, cy, r, 0.055),
           lambda x, y: lerp_rgb((190, 198, 210), (96, 104, 118), (x + y - 0.2) / 0.8), s)
    return c


# ---------------------------------------------------------------------------------------------
# Palette reduction for the 256-colour icon images: median cut over the opaque pixels.


def median_cut(colors, k):
    uniq = sorted(set(colors))
    if len(uniq) <= k:
        return uniq
    boxes = [uniq]
    while len(boxes) < k:
        boxes.sort(key=lambda b: max(max(p[i] for p in b) - min(p[i] for p in b) for i in range(3)),
                   reverse=True)
        box = boxes.pop(0)
        if len(box) < 2:
            boxes.append(box)
            break
        ch = max(range(3), key=lambda i: max(p[i] for p in box) - min(p[i] for p in box))
        box.sort(key=lambda p: p[ch])
        mid = len(box) // 2
        boxes += [box[:mid], box[mid:]]
    return sorted(tuple(int(round(sum(p[i] for p in b) / len(b))) for i in range(3)) for b in boxes)


# ---------------------------------------------------------------------------------------------
# File writers.


def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def and_mask(w, h, transparent):
    """1 bit per pixel, bottom-up, 1 = transparent."""
    out = bytearray()
    stride = row_bytes(w)
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if transparent(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib_32(w, h, px):
    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    bits = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[y * w + x]
            if a == 0:
                r = g = b = 0
            bits += bytes((b, g, r, a))
    return hdr + bytes(bits) + and_mask(w, h, lambda x, y: px[y * w + x][3] < 128)


def dib_8(w, h, px):
    opaque = [p[:3] for p in px if p[3] >= 128]
    pal = [(0, 0, 0)] + [c for c in median_cut(opaque, 255) if c != (0, 0, 0)]
    pal = pal[:256]
    lookup = {}

    def index(c):
        if c not in lookup:
            lookup[c] = min(range(len(pal)), key=lambda i: sum((pal[i][j] - c[j]) ** 2 for j in range(3)))
        return lookup[c]

    hdr = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal + [(0, 0, 0)] * (256 - len(pal)))
    stride = row_bytes(w * 8)
    bits = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            p = px[y * w + x]
            row[x] = index(p[:3]) if p[3] >= 128 else 0
        bits += row
    return hdr + palette + bytes(bits) + and_mask(w, h, lambda x, y: px[y * w + x][3] < 128)


def write_icon_file(path, images):
    """images: list of (width, height, bit_count, dib bytes)."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for w, h, bits, data in images:
        colors = 0 if bits >= 8 else 1 << bits
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colors, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_icon(path, painter, sizes):
    images = []
    for size in sizes:
        px = painter(size).rgba8()
        images.append((size, size, 32, dib_32(size, size, px)))
        images.append((size, size, 8, dib_8(size, size, px)))
    write_icon_file(path, images)


def write_bmp24(path, canvas):
    w, h = canvas.w, canvas.h
    px = canvas.rgba8()
    stride = row_bytes(w * 24)
    bits = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            r, g, b, _ = px[y * w + x]
            row[x * 3:x * 3 + 3] = bytes((b, g, r))
        bits += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bits)


# ---------------------------------------------------------------------------------------------
# The splash picture, 400 x 300: the name written as with a marker over a highlighter swash, on
# a dark blue ground. The lower-left corner stays dark: the splash window writes two small white
# notice lines there.

SPLASH_W, SPLASH_H = 400, 300


def glyphs():
    """Lower-case letters on a grid where the x-height is 1, baseline y = 0, y upwards.

    Each glyph is (advance, [polyline, ...]).
    """
    def arc(cx, cy, rx, ry, a0, a1, n=18):
        return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
                 cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]

    g = {}
    g["S"] = (1.0, [arc(0.48, 1.09, 0.36, 0.36, 25, 270, 18) +
                    arc(0.48, 0.365, 0.42, 0.365, 90, -155, 20)[1:]])
    g["c"] = (0.85, [arc(0.45, 0.5, 0.42, 0.5, 40, 320, 20)])
    g["r"] = (0.62, [[(0.05, 0.0), (0.05, 1.0)], arc(0.52, 0.55, 0.47, 0.45, 180, 60, 10)])
    g["i"] = (0.35, [[(0.08, 0.0), (0.08, 1.0)], [(0.08, 1.42), (0.08, 1.43)]])
    g["v"] = (0.92, [[(0.0, 1.0), (0.43, 0.0), (0.86, 1.0)]])
    g["a"] = (0.98, [arc(0.45, 0.5, 0.42, 0.5, 0, 360, 28), [(0.87, 1.0), (0.87, 0.0)]])
    g["n"] = (0.95, [[(0.05, 0.0), (0.05, 1.0)], [(0.05, 0.55)] + arc(0.45, 0.55, 0.40, 0.45, 180, 0, 12)
                     + [(0.85, 0.0)]])
    g["e"] = (0.92, [[(0.04, 0.52), (0.86, 0.52)] + arc(0.45, 0.5, 0.42, 0.5, 0, 315, 22)])
    return g


def word_polylines(text, x0, base, size, slant, spacing):
    gl = glyphs()
    out = []
    x = x0
    for ch in text:
        adv, lines = gl[ch]
        for line in lines:
            out.append([(x + (px + py * slant) * size, base - py * size) for px, py in line])
        x += (adv + spacing) * size
    return out, x


def splash():
    c = Canvas(SPLASH_W, SPLASH_H, (0, 0, 0, 1))
    s = 1.0  # design units are pixels here

    def ground(x, y):
        t = (x / SPLASH_W) * 0.6 + (1 - y / SPLASH_H) * 0.4
        return lerp_rgb((12, 18, 34), (36, 58, 104), t)
    c.draw(lambda x, y: -1.0, ground, s)

    # a faint screen frame, the thing Scrivane writes on
    frame = sd_round_rect(200, 128, 172, 98, 10)
    c.draw(lambda x, y: abs(frame(x, y)) - 1.5, (120, 150, 210), s, alpha=0.35,
           bbox=(24, 26, 376, 230))

    # highlighter swash behind the name
    swash = bezier((34, 150), (120, 130), (230, 152), (344, 126), 30)
    c.draw(sd_polyline(swash, 19), (255, 208, 20), s, alpha=0.82, bbox=bbox_of(swash, 22))

    # the name
    lines, end_x = word_polylines("Scrivane", 36, 160, 40, 0.18, 0.10)
    for line in lines:
        c.draw(sd_polyline(line, 7.5), (10, 16, 30), s, alpha=0.35,
               bbox=bbox_of(line, 12))     # soft shadow under the ink
    for line in lines:
        c.draw(sd_polyline(line, 5.2), (250, 250, 252), s, bbox=bbox_of(line, 7))

    # a small pen at the end of the name, as if it had just written it
    draw_marker(c, s, tip=(end_x - 2, 164), tail=(end_x + 36, 120), half=7,
                body=(236, 96, 44), band=(255, 214, 10), nib=(250, 250, 252), outline_w=2)
    return c


# ---------------------------------------------------------------------------------------------
# The installer's wizard pictures: the splash artwork rearranged for NSIS's fixed frames, the
# tall one on the left of the welcome and finish pages (164 x 314) and the small one in the
# header of the other pages (150 x 57). Same ground, swash, lettering and pen as the splash, with
# the program icon, so the installer looks like the program it installs.

WIZARD_W, WIZARD_H = 164, 314
HEADER_W, HEADER_H = 150, 57


def paste(dst, src, x0, y0):
    """Composites canvas src over dst with its top-left corner at (x0, y0)."""
    for y in range(src.h):
        for x in range(src.w):
            p = src.px[y * src.w + x]
            if 0 <= x0 + x < dst.w and 0 <= y0 + y < dst.h:
                dst.blend(x0 + x, y0 + y, p[:3], p[3])


def splash_ground(c):
    def ground(x, y):
        t = (x / c.w) * 0.6 + (1 - y / c.h) * 0.4
        return lerp_rgb((12, 18, 34), (36, 58, 104), t)
    c.draw(lambda x, y: -1.0, ground, 1.0)


def signature(c, x0, base, size, swash_half, pen_half):
    """The name over a highlighter swash with the pen at its end, as on the splash."""
    width = sum(adv + 0.10 for adv, _ in (glyphs()[ch] for ch in "Scrivane")) * size
    swash = bezier((x0 - 0.05 * width, base - 0.25 * size), (x0 + 0.25 * width, base - 0.75 * size),
                   (x0 + 0.55 * width, base - 0.2 * size), (x0 + 0.95 * width, base - 0.85 * size), 30)
    c.draw(sd_polyline(swash, swash_half), (255, 208, 20), 1.0, alpha=0.82,
           bbox=bbox_of(swash, swash_half + 3))
    lines, end_x = word_polylines("Scrivane", x0, base, size, 0.18, 0.10)
    ink = size * 0.13
    for line in lines:
        c.draw(sd_polyline(line, ink * 1.45), (10, 16, 30), 1.0, alpha=0.35, bbox=bbox_of(line, ink * 2.5))
    for line in lines:
        c.draw(sd_polyline(line, ink), (250, 250, 252), 1.0, bbox=bbox_of(line, ink * 2))
    if pen_half > 0:
        draw_marker(c, 1.0, tip=(end_x - 0.05 * size, base + 0.1 * size),
                    tail=(end_x + 0.9 * size, base - size), half=pen_half,
                    body=(236, 96, 44), band=(255, 214, 10), nib=(250, 250, 252),
                    outline_w=max(1.0, pen_half * 0.28))


def wizard_side():
    c = Canvas(WIZARD_W, WIZARD_H, (0, 0, 0, 1))
    splash_ground(c)
    frame = sd_round_rect(82, 104, 66, 66, 8)
    c.draw(lambda x, y: abs(frame(x, y)) - 1.2, (120, 150, 210), 1.0, alpha=0.35, bbox=(12, 34, 152, 174))
    paste(c, program_icon(96), 34, 56)
    signature(c, 14, 226, 16.5, 8, 3.6)
    return c


def wizard_header():
    c = Canvas(HEADER_W, HEADER_H, (0, 0, 0, 1))
    splash_ground(c)
    paste(c, program_icon(40), 6, 8)
    signature(c, 52, 36, 10, 5, 0)
    return c


# ---------------------------------------------------------------------------------------------

def main(argv):
    if len(argv) == 3 and argv[1] == "--wizard":
        out = argv[2]
        os.makedirs(out, exist_ok=True)
        write_bmp24(os.path.join(out, "wizard.bmp"), wizard_side())
        write_bmp24(os.path.join(out, "header.bmp"), wizard_header())
        return 0
    if len(argv) != 2:
        sys.stderr.write("usage: gen_resources.py [--wizard] OUTPUT_DIR\n")
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    write_icon(os.path.join(out, "scrivane.ico"), program_icon, (48, 32, 24, 16))
    write_icon(os.path.join(out, "magnifier.ico"), magnifier_icon, (48, 32, 24, 16))
    write_bmp24(os.path.join(out, "splash.bmp"), splash())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
