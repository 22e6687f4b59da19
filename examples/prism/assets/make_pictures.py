#!/usr/bin/env python3
"""Draws Prism's pictures into OUT/PICTURES: the play-field background and the brick sheet as
BMP, the paddle, ball, falling items and title emblem as PNG with alpha.

    make_pictures.py OUT

Everything is drawn from shapes and formulas here; the output is the same on every run.
The sizes and frame orders below are the ones the program (prism.qxs, defs.inc) relies on.
"""

import math
import os
import random
import sys

from picture import Canvas, clamp, mix, rgb, write_bmp, write_png

FIELD_W, FIELD_H = 1000, 600
HUD_H = 40           # the score bar across the top
WALL = 20            # side walls; the top wall is 10 high, under the score bar
TOP_WALL = 10
BRICK_W, BRICK_H = 64, 24

# The spectrum that names the game: the six colours of the ordinary bricks, red to violet.
SPECTRUM = [0xE8404A, 0xF58C28, 0xF0D23C, 0x46C864, 0x3C8CF0, 0xA050E6]
KEY = (1.0, 0.0, 1.0, 1.0)  # magenta: made transparent by the program (SetAlpha with a key)


# ---------------------------------------------------------------------------------------------
# Background: a night sky fanned by faint prism light, framed by bevelled walls.

def hue_colour(t):
    """A colour along the spectrum, t from 0 (red) to 1 (violet)."""
    t = clamp(t) * (len(SPECTRUM) - 1)
    i = min(int(t), len(SPECTRUM) - 2)
    return mix(rgb(SPECTRUM[i]), rgb(SPECTRUM[i + 1]), t - i)


def background():
    w, h = FIELD_W, FIELD_H
    out = bytearray(w * h * 4)
    # Light falls from a point high above the middle and fans out in the spectrum's colours.
    sx, sy = w / 2, -520.0
    beams = [(math.radians(90 + a), hue_colour(i / 5)) for i, a in
             enumerate((-21, -13, -5, 4, 12, 20))]
    for y in range(h):
        for x in range(w):
            if y < HUD_H:
                c = mix((0.055, 0.05, 0.12), (0.09, 0.08, 0.19), y / HUD_H)
                if y == HUD_H - 1:
                    c = (0.32, 0.28, 0.55)
            elif x < WALL or x >= w - WALL or y < HUD_H + TOP_WALL:
                c = wall_colour(x, y)
            else:
                t = (y - HUD_H) / (h - HUD_H)
                r, g, b = mix((0.05, 0.03, 0.16), (0.02, 0.09, 0.16), t)
                angle = math.atan2(y - sy, x - sx)
                fade = (0.55 * (1 - t) + 0.12) * 0.16
                for centre, colour in beams:
                    d = (angle - centre) / 0.035
                    if -3 < d < 3:
                        k = math.exp(-d * d) * fade
                        r, g, b = r + colour[0] * k, g + colour[1] * k, b + colour[2] * k
                # A darker rim toward the corners keeps the eye on the middle.
                dx, dy = (x - w / 2) / (w / 2), (y - h / 2) / (h / 2)
                dim = 1 - 0.35 * (dx * dx + dy * dy) / 2
                c = (r * dim, g * dim, b * dim)
            i = (y * w + x) * 4
            out[i:i + 4] = bytes((int(clamp(c[0]) * 255), int(clamp(c[1]) * 255),
                                  int(clamp(c[2]) * 255), 255))
    # Stars, the brightest with a faint glow around them.
    rnd = random.Random(7)
    for _ in range(260):
        x, y = rnd.randrange(WALL + 1, w - WALL - 1), rnd.randrange(HUD_H + TOP_WALL + 1, h - 1)
        s = rnd.uniform(0.25, 1.0)
        glow = [(0, 0, s)] + ([(1, 0, s * 0.3), (-1, 0, s * 0.3), (0, 1, s * 0.3),
                                (0, -1, s * 0.3)] if s > 0.8 else [])
        for ox, oy, k in glow:
            i = ((y + oy) * w + x + ox) * 4
            for ch, m in enumerate((0.9, 0.9, 1.0)):
                v = out[i + ch]
                out[i + ch] = int(v + k * (255 - v) * m)
    return out


def wall_colour(x, y):
    """Brushed dark metal with a lit bevel, and a thin spectrum line on the inner edge."""
    w = FIELD_W
    if y < HUD_H + TOP_WALL and WALL <= x < w - WALL:
        across = (y - HUD_H) / TOP_WALL           # 0 at the outer edge, 1 at the inner
        along = (x - WALL) / (w - 2 * WALL)
        inner = y == HUD_H + TOP_WALL - 1
    else:
        across = x / WALL if x < WALL else (w - 1 - x) / WALL
        along = 1 - (y - HUD_H) / (FIELD_H - HUD_H)
        inner = x in (WALL - 1, w - WALL)
        if y < HUD_H + TOP_WALL:                   # the corner blocks
            across = min(across, (y - HUD_H) / TOP_WALL)
    if inner:
        return hue_colour(along)
    shade = 0.20 + 0.22 * math.sin(across * math.pi) + 0.02 * math.sin(along * 300)
    return (shade * 0.85, shade * 0.85, shade * 1.1)


# ---------------------------------------------------------------------------------------------
# Bricks: one strip of 64 x 24 frames, hard edges against a magenta key.

def brick(base, kind="plain"):
    c = Canvas(BRICK_W, BRICK_H, KEY)
    w, h = BRICK_W, BRICK_H
    for y in range(h):
        for x in range(w):
            # Cut 2-pixel chamfers at the corners: those stay key colour.
            if min(x, w - 1 - x) + min(y, h - 1 - y) < 2:
                continue
            t = y / (h - 1)
            col = mix(mix(base, (1, 1, 1, 1), 0.35), mix(base, (0, 0, 0, 1), 0.3), t)
            if y < 2 or x < 2:
                col = mix(col, (1, 1, 1, 1), 0.45)          # lit bevel
            elif y >= h - 2 or x >= w - 2:
                col = mix(col, (0, 0, 0, 1), 0.45)          # shaded bevel
            # A glassy diagonal sheen across the upper half.
            if 4 <= y < h // 2 and 10 < x - y * 0.8 < 22:
                col = mix(col, (1, 1, 1, 1), 0.25)
            c.put(x, y, col)
    if kind in ("hard", "cracked"):
        for y in range(3, h - 3):                           # an inner frame: reinforced glass
            for x in (4, w - 5):
                c.put(x, y, mix(c.get(x, y), (1, 1, 1, 1), 0.5))
        for x in range(4, w - 4):
            for y in (3, h - 4):
                c.put(x, y, mix(c.get(x, y), (1, 1, 1, 1), 0.5))
    if kind == "cracked":
        dark = (0.15, 0.15, 0.22, 1)
        for a, b in (((30, 2), (26, 10)), ((26, 10), (33, 15)), ((33, 15), (28, 22)),
                     ((26, 10), (14, 13)), ((33, 15), (47, 11)), ((47, 11), (55, 16))):
            line(c, a, b, dark)
    if kind == "steel":
        for rx, ry in ((6, 6), (w - 7, 6), (6, h - 7), (w - 7, h - 7)):
            for y in range(ry - 2, ry + 3):
                for x in range(rx - 2, rx + 3):
                    if (x - rx) ** 2 + (y - ry) ** 2 <= 4:
                        lit = (x - rx) + (y - ry) < 0
                        c.put(x, y, (0.85, 0.87, 0.9, 1) if lit else (0.3, 0.31, 0.35, 1))
        for x in range(12, w - 12, 6):                      # a stamped grille
            for y in range(8, h - 8):
                c.put(x, y, mix(c.get(x, y), (0, 0, 0, 1), 0.35))
    if kind == "gold":
        cx, cy = w // 2, h // 2                             # a four-pointed sparkle
        for y in range(h):
            for x in range(w):
                d = abs(x - cx) / 14 + abs(y - cy) / 8
                if abs(x - cx) * abs(y - cy) < 6 and d < 1 and c.get(x, y) != KEY:
                    c.put(x, y, mix(c.get(x, y), (1, 1, 0.9, 1), 1 - d))
    return c


def line(c, a, b, colour):
    """A 1-pixel line, hard-edged (the brick sheet must keep exact key colours)."""
    (x0, y0), (x1, y1) = a, b
    n = max(abs(x1 - x0), abs(y1 - y0))
    for i in range(n + 1):
        x, y = round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n)
        if c.get(x, y) != KEY:
            c.put(x, y, colour)


def brick_sheet():
    frames = [brick(rgb(s)) for s in SPECTRUM]
    frames += [brick(rgb(0xAAB4CC), "hard"), brick(rgb(0xAAB4CC), "cracked"),
               brick(rgb(0x5C6270), "steel"), brick(rgb(0xF0BE3C), "gold")]
    sheet = Canvas(BRICK_W * len(frames), BRICK_H)
    for i, f in enumerate(frames):
        sheet.paste(f, i * BRICK_W, 0)
    return sheet


# ---------------------------------------------------------------------------------------------
# Sprites with alpha

def capsule_inside(w, h, pad=0.0):
    r = h / 2 - pad

    def inside(x, y):
        cx = min(max(x, h / 2), w - h / 2)
        return (x - cx) ** 2 + (y - h / 2) ** 2 <= r * r
    return inside


def paddle():
    w, h = 120, 20
    c = Canvas(w, h)
    c.shape(capsule_inside(w, h),
            lambda x, y: mix((0.86, 0.9, 1.0, 1), (0.25, 0.27, 0.4, 1), y / (h - 1)))
    # The spectrum band along the middle, and glowing ends.
    c.shape(lambda x, y: 14 <= x <= w - 14 and 8 <= y <= 12,
            lambda x, y: hue_colour((x - 14) / (w - 28))[:3] + (0.95,))
    for cx in (10, w - 10):
        c.shape(lambda x, y, cx=cx: (x - cx) ** 2 + (y - 10) ** 2 <= 20,
                lambda x, y: (0.55, 1.0, 1.0, 0.9))
    c.shape(lambda x, y: 12 <= x <= w - 12 and 2 <= y <= 4,
            lambda x, y: (1, 1, 1, 0.55))
    return c


def ball():
    c = Canvas(16, 16)

    def paint(x, y):
        d = math.hypot(x + 0.5 - 5.5, y + 0.5 - 5.0) / 11
        return mix((1, 1, 1, 1), (0.45, 0.75, 1.0, 1), clamp(d))
    c.shape(lambda x, y: (x - 8) ** 2 + (y - 8) ** 2 <= 7.6 ** 2, paint)
    c.disc(5.5, 5.0, 1.8, (1, 1, 1, 0.9))
    return c


def items():
    """Four falling capsules: wide paddle (blue), more balls (green), slow ball (amber) and an
    extra life (red), each with a white sign."""
    w, h = 40, 20
    colours = [0x3C8CF0, 0x46C864, 0xF0A028, 0xE8404A]
    sheet = Canvas(w * 4, h)
    white = (1, 1, 1, 1)
    for i, col in enumerate(colours):
        c = Canvas(w, h)
        base = rgb(col)
        c.shape(capsule_inside(w, h, 0.5),
                lambda x, y, b=base: mix(mix(b, white, 0.45), mix(b, (0, 0, 0, 1), 0.35),
                                         y / (h - 1)))
        if i == 0:      # a double arrow
            c.polygon([(9, 10), (15, 5), (15, 8), (25, 8), (25, 5), (31, 10), (25, 15),
                       (25, 12), (15, 12), (15, 15)], white)
        elif i == 1:    # three balls
            for cx in (13, 20, 27):
                c.disc(cx, 10, 3, white)
        elif i == 2:    # an hourglass
            c.polygon([(14, 4), (26, 4), (20, 10)], white)
            c.polygon([(20, 10), (26, 16), (14, 16)], white)
        else:           # a heart
            c.shape(lambda x, y: heart((x - 20) / 6.5, (10.5 - y) / 6.5), lambda x, y: white)
        sheet.paste(c, i * w, 0)
    return sheet


def heart(x, y):
    return (x * x + y * y - 1) ** 3 - x * x * y ** 3 <= 0


def emblem():
    """The title's emblem: the ball, trailing the spectrum, just burst through a glass brick."""
    w, h = 300, 180
    c = Canvas(w, h)
    rnd = random.Random(3)
    ball_x, ball_y, slope = 252, 40, -0.59

    def along(x):  # the ball's path, from the lower left up to the ball
        return ball_y + (x - ball_x) * slope

    # The trail: six bands, red on top, fading toward the tail.
    for i in range(6):
        col = rgb(SPECTRUM[i])
        off = (i - 2.5) * 3.4
        c.shape(lambda x, y, off=off: 24 <= x <= ball_x and abs(y - along(x) - off) <= 1.8,
                lambda x, y, col=col: col[:3] + (0.1 + 0.85 * clamp((x - 24) / (ball_x - 24)),),
                (24, along(ball_x) - 12, ball_x, along(24) + 12))
    # The brick, broken where the path crosses it, its halves pushed apart.
    glass = (0.72, 0.84, 1.0, 0.42)
    rim = (0.92, 0.97, 1.0, 0.95)
    left_half = [(92, 76), (160, 76), (152, 96), (164, 118), (92, 118)]
    right_half = [(176, 84), (244, 84), (244, 126), (180, 126), (168, 104)]
    for half in (left_half, right_half):
        c.polygon(half, glass)
        for i in range(len(half)):
            edge(c, half[i], half[(i + 1) % len(half)], 1.6, rim)
    # Shards fly on with the ball, in the spectrum's colours.
    for i in range(14):
        angle = math.radians(rnd.uniform(-85, 5))
        dist = rnd.uniform(26, 80)
        cx, cy = 166 + math.cos(angle) * dist, 96 + math.sin(angle) * dist * 0.9
        size = rnd.uniform(3.5, 7)
        spin = rnd.uniform(0, math.pi)
        pts = [(cx + math.cos(spin + k * 2.2) * size, cy + math.sin(spin + k * 2.2) * size)
               for k in range(3)]
        c.polygon(pts, rgb(SPECTRUM[i % 6], 0.95))
    c.shape(lambda x, y: (x - ball_x) ** 2 + (y - ball_y) ** 2 <= 14 ** 2,
            lambda x, y: mix((1, 1, 1, 1), (0.45, 0.75, 1.0, 1),
                             clamp(math.hypot(x - ball_x + 5, y - ball_y + 5) / 24)),
            (ball_x - 15, ball_y - 15, ball_x + 15, ball_y + 15))
    return c


def edge(c, a, b, width, colour):
    (x0, y0), (x1, y1) = a, b
    length = math.hypot(x1 - x0, y1 - y0)
    nx, ny = (y1 - y0) / length * width / 2, -(x1 - x0) / length * width / 2
    c.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)],
              colour)


def main():
    out = os.path.join(sys.argv[1], "PICTURES")
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "background.bmp"), FIELD_W, FIELD_H, background())
    sheet = brick_sheet()
    write_bmp(os.path.join(out, "bricks.bmp"), sheet.width, sheet.height, sheet.bytes_rgba())
    for name, canvas in (("paddle", paddle()), ("ball", ball()), ("items", items()),
                         ("emblem", emblem())):
        write_png(os.path.join(out, name + ".png"), canvas)


if __name__ == "__main__":
    main()
