#!/usr/bin/env python3
"""Draws the installer skin's PNG images (standard library only).

usage: make_skin_images.py OUTPUT_FOLDER

Shapes are sampled 4 x 4 per pixel for smooth edges. The output is deterministic, so running it again
gives the committed files byte for byte.
"""
import math
import os
import struct
import sys
import zlib

TEAL = (0x05, 0xD4, 0xBE)
TEAL_HOT = (0x2E, 0xE0, 0xCC)
TEAL_PRESSED = (0x03, 0xAE, 0x9C)
GREY_DISABLED = (0xC4, 0xC9, 0xC8)
INK = (0x33, 0x3B, 0x40)
GREY = (0x8A, 0x93, 0x98)
BORDER = (0xD0, 0xD4, 0xD6)
WHITE = (0xFF, 0xFF, 0xFF)
SS = 4  # samples per pixel along each axis


class Canvas:
    def __init__(self, w, h, fill=None):
        self.w, self.h = w, h
        c = (0.0, 0.0, 0.0, 0.0) if fill is None else tuple(v / 255.0 for v in fill) + (1.0,)
        self.px = [list(c) for _ in range(w * h)]

    def blend(self, x, y, rgb, alpha):
        if alpha <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        sr, sg, sb = (v / 255.0 for v in rgb)
        da = p[3]
        oa = alpha + da * (1 - alpha)
        if oa <= 0:
            return
        for i, s in enumerate((sr, sg, sb)):
            p[i] = (s * alpha + p[i] * da * (1 - alpha)) / oa
        p[3] = oa

    def shape(self, inside, rgb, box=None, opacity=1.0):
        """inside(x, y) -> bool for a point in pixel units; colour may be a function of (x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                if hits:
                    colour = rgb(x + 0.5, y + 0.5) if callable(rgb) else rgb
                    self.blend(x, y, colour, opacity * hits / (SS * SS))

    def png(self, path):
        rows = bytearray()
        for y in range(self.h):
            rows.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                rows += bytes((round(r * 255), round(g * 255), round(b * 255), round(a * 255)))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        head = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
        data += chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(data)


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def capsule(ax, ay, bx, by, width):
    """A line from a to b with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9
    half = width / 2.0

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return inside


def polyline(points, width):
    parts = [capsule(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def outline_rect(x0, y0, x1, y1, r, width):
    outer = round_rect(x0, y0, x1, y1, r)
    inner = round_rect(x0 + width, y0 + width, x1 - width, y1 - width, max(0.0, r - width))
    return lambda x, y: outer(x, y) and not inner(x, y)


# A 5 x 7 letter set for the word mark.
FONT = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}


def word(canvas, text, left, top, cell, rgb, gap=1):
    """Draws text with each font pixel a square of cell pixels; neighbours overlap so strokes are solid."""
    x = left
    for ch in text:
        rows = FONT[ch]
        for j, row in enumerate(rows):
            for i, bit in enumerate(row):
                if bit == "1":
                    px, py = x + i * cell, top + j * cell
                    canvas.shape(round_rect(px - 0.25, py - 0.25, px + cell + 0.25, py + cell + 0.25, 0.4), rgb,
                                 (px - 1, py - 1, px + cell + 1, py + cell + 1))
        x += (5 + gap) * cell
    return x


def mark(canvas, cx, cy, r):
    """The product mark: a teal ring with a tail, like a Q."""
    canvas.shape(ring(cx, cy, r, r * 0.58), TEAL, (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))
    canvas.shape(capsule(cx + r * 0.35, cy + r * 0.35, cx + r * 0.95, cy + r * 0.95, r * 0.36), TEAL_PRESSED,
                 (cx, cy, cx + r + 2, cy + r + 2))


def small_logo():
    c = Canvas(108, 32)
    mark(c, 15, 15, 11)
    word(c, "QUORVANE", 31, 11, 1.5, INK, gap=1)
    return c


def logo():
    c = Canvas(407, 52)
    mark(c, 26, 26, 23)
    word(c, "QUORVANE", 64, 8, 5, INK, gap=1.2)
    return c


def title_button(kind, hot):
    c = Canvas(20, 20)
    if hot:
        c.shape(disc(10, 10, 10), (0xE6, 0xFA, 0xF7))
    rgb = TEAL_PRESSED if hot else GREY
    if kind == "min":
        c.shape(capsule(5.5, 10, 14.5, 10, 1.8), rgb)
    else:
        c.shape(capsule(6, 6, 14, 14, 1.8), rgb)
        c.shape(capsule(14, 6, 6, 14, 1.8), rgb)
    return c


def big_button(face):
    c = Canvas(168, 46)
    c.shape(round_rect(0, 0, 168, 46, 7), face)
    return c


def small_button(hot):
    c = Canvas(90, 32)
    c.shape(round_rect(0, 0, 90, 32, 4), WHITE)
    c.shape(outline_rect(0, 0, 90, 32, 4, 1.2), TEAL if hot else BORDER)
    return c


def check_box(checked):
    c = Canvas(14, 14)
    if checked:
        c.shape(round_rect(0, 0, 14, 14, 2.5), TEAL)
        c.shape(polyline([(3.3, 7.2), (5.9, 9.8), (10.8, 4.3)], 1.8), WHITE)
    else:
        c.shape(round_rect(0, 0, 14, 14, 2.5), WHITE)
        c.shape(outline_rect(0, 0, 14, 14, 2.5, 1.2), (0xA8, 0xB0, 0xB4))
    return c


def agree_mark(agreed):
    c = Canvas(14, 14)
    if agreed:
        c.shape(disc(7, 7, 7), TEAL)
        c.shape(polyline([(3.6, 7.2), (6.0, 9.6), (10.5, 4.6)], 1.7), WHITE)
    else:
        c.shape(ring(7, 7, 7, 5.8), (0xA8, 0xB0, 0xB4))
    return c


def chevron(direction):
    c = Canvas(14, 14)
    points = {
        "right": [(5, 3), (9.5, 7), (5, 11)],
        "left": [(9, 3), (4.5, 7), (9, 11)],
        "down": [(3, 5), (7, 9.5), (11, 5)],
    }[direction]
    c.shape(polyline(points, 1.8), TEAL_PRESSED)
    return c


def dot(selected):
    c = Canvas(16, 16)
    if selected:
        c.shape(disc(8, 8, 8), TEAL)
    else:
        c.shape(disc(8, 8, 8), WHITE, opacity=0.85)
        c.shape(ring(8, 8, 8, 6.5), (0x9A, 0xA4, 0xA8), opacity=0.8)
    return c


def progress(reverse):
    c = Canvas(191, 74)

    def colour(x, y):
        t = x / 191.0
        if reverse:
            t = 1 - t
        return tuple(round(a + (b - a) * t) for a, b in zip((0x3A, 0xE6, 0xD3), TEAL_PRESSED))
    c.shape(lambda x, y: True, colour)
    return c


def banner():
    w, h = 650, 290
    c = Canvas(w, h)

    def sky(x, y):
        t = y / h
        top, bottom = (0xF4, 0xFB, 0xFA), (0xDD, 0xF3, 0xEF)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    c.shape(lambda x, y: True, sky)
    # Soft hills and circles in the mark's colours, then the mark in the middle.
    c.shape(lambda x, y: y > h - 70 - 35 * math.sin(x / 110.0), (0xC4, 0xEC, 0xE5), (0, 150, w, h))
    c.shape(lambda x, y: y > h - 40 - 25 * math.sin(x / 80.0 + 2), (0xA6, 0xE4, 0xDA), (0, 200, w, h))
    c.shape(disc(90, 70, 38), WHITE, (50, 30, 130, 110), opacity=0.7)
    c.shape(disc(560, 60, 24), WHITE, (534, 34, 586, 86), opacity=0.7)
    mark(c, w / 2, 118, 46)
    return c


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    images = {
        "left_log.png": small_logo(),
        "logo.png": logo(),
        "minzoom-df.png": title_button("min", False),
        "minzoom-ho.png": title_button("min", True),
        "close-df.png": title_button("close", False),
        "close-ho.png": title_button("close", True),
        "button_normal.png": big_button(TEAL),
        "button_hover.png": big_button(TEAL_HOT),
        "button_pressing.png": big_button(TEAL_PRESSED),
        "button_disable.png": big_button(GREY_DISABLED),
        "browse-df.png": small_button(False),
        "browse-ho.png": small_button(True),
        "hide-df.png": small_button(False),
        "hide-ho.png": small_button(True),
        "checked.png": check_box(True),
        "unchecked.png": check_box(False),
        "fold.png": chevron("right"),
        "fold_rtl.png": chevron("left"),
        "unfold.png": chevron("down"),
        "agreed.png": agree_mark(True),
        "not_agreed.png": agree_mark(False),
        "banner_normal.png": dot(False),
        "banner_selected.png": dot(True),
        "progress.png": progress(False),
        "progress_rtl.png": progress(True),
        "default.png": banner(),
    }
    for name, canvas in images.items():
        canvas.png(os.path.join(out, name))
    print("wrote %d images to %s" % (len(images), out))


if __name__ == "__main__":
    main()
