"""A small RGBA canvas with antialiased shapes, and the two picture files Prism loads.

Colours are (r, g, b, a) tuples of floats from 0 to 1; the canvas keeps straight (not
premultiplied) alpha and blends "over". Shapes are given as coverage functions sampled on a
4 x 4 grid per pixel, which is slow but plenty for sprites of a few thousand pixels.

PNG files are standard 8-bit RGBA. BMP files are written in Orva's own byte order: Orva moves
BMP bytes to the screen position for position, and the screen shows the first byte of a pixel
as red. So red comes first here, which is also what Orva writes when a program saves a bitmap
as BMP; an ordinary viewer shows these files with red and blue exchanged.
"""

import struct
import zlib

SUB = 4  # subsamples per pixel side for antialiased coverage


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    """Linear mix of two colours (or numbers) by t in 0..1."""
    if isinstance(a, tuple):
        return tuple(x + (y - x) * t for x, y in zip(a, b))
    return a + (b - a) * t


def rgb(hex_colour, alpha=1.0):
    """0xRRGGBB to a colour tuple."""
    return ((hex_colour >> 16 & 255) / 255, (hex_colour >> 8 & 255) / 255,
            (hex_colour & 255) / 255, alpha)


class Canvas:
    def __init__(self, width, height, fill=(0.0, 0.0, 0.0, 0.0)):
        self.width, self.height = width, height
        self.px = [list(fill) for _ in range(width * height)]

    def get(self, x, y):
        return tuple(self.px[y * self.width + x])

    def put(self, x, y, colour):
        self.px[y * self.width + x] = list(colour)

    def blend(self, x, y, colour, coverage=1.0):
        """Paints colour over pixel (x, y) with its alpha times coverage."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            return
        a = colour[3] * coverage
        if a <= 0:
            return
        d = self.px[y * self.width + x]
        out_a = a + d[3] * (1 - a)
        if out_a <= 0:
            return
        for c in range(3):
            d[c] = (colour[c] * a + d[c] * d[3] * (1 - a)) / out_a
        d[3] = out_a

    def shape(self, inside, paint, box=None):
        """Paints every pixel a shape covers. inside(x, y) tells whether a point (in pixel units,
        pixel centres at +0.5) lies in the shape; paint(x, y) gives the colour at a pixel."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.width, int(x1) + 1), min(self.height, int(y1) + 1)
        step = 1.0 / SUB
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    self.blend(x, y, paint(x, y), hits / (SUB * SUB))

    def rect(self, x, y, w, h, colour):
        for yy in range(max(0, y), min(self.height, y + h)):
            for xx in range(max(0, x), min(self.width, x + w)):
                self.blend(xx, yy, colour)

    def disc(self, cx, cy, r, colour):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, lambda x, y: colour,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))

    def polygon(self, points, colour):
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        self.shape(lambda x, y: inside_polygon(points, x, y), lambda x, y: colour,
                   (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1))

    def paste(self, other, dx, dy):
        """Copies another canvas in place, pixel for pixel (no blending)."""
        for y in range(other.height):
            for x in range(other.width):
                if 0 <= x + dx < self.width and 0 <= y + dy < self.height:
                    self.put(x + dx, y + dy, other.get(x, y))

    def bytes_rgba(self):
        out = bytearray()
        for p in self.px:
            out += bytes(int(clamp(c) * 255 + 0.5) for c in p)
        return bytes(out)


def inside_polygon(points, x, y):
    """Even-odd rule."""
    inside = False
    n = len(points)
    for i in range(n):
        (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def write_png(path, canvas):
    raw = canvas.bytes_rgba()
    stride = canvas.width * 4
    rows = b"".join(b"\0" + raw[y * stride:(y + 1) * stride] for y in range(canvas.height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
                chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def write_bmp(path, width, height, rgba, bits=24):
    """A BMP of RGBA bytes (rows top first), written with rows bottom first and red first in
    each pixel (see the module comment). 24 bits per pixel drops alpha (Orva loads such files
    opaque); 32 keeps it."""
    size = bits // 8
    row_len = (width * size + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = rgba[y * width * 4:(y + 1) * width * 4]
        if size == 3:
            row = bytes(b for i, b in enumerate(row) if i % 4 != 3)
        data += row + b"\0" * (row_len - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)
