#!/usr/bin/env python3
"""Synthesises Prism's sound effects as 16-bit mono WAV files in OUT/SOUNDS.

    make_sounds.py OUT

Each sound is a sum of a few oscillators with envelopes, plus filtered noise where a knock or a
rush is wanted. The host plays one effect at a time (a new one cuts the last), so the frequent
ones are short. Noise comes from a seeded generator: every run writes the same files.
"""

import math
import os
import random
import struct
import sys
import wave

RATE = 22050


def seconds(n):
    return int(n * RATE)


def envelope(i, n, attack=0.004, decay=None):
    """A quick linear attack, then an exponential decay (time constant `decay` seconds) or a
    linear fade to the end."""
    t = i / RATE
    a = min(1.0, t / attack) if attack else 1.0
    if decay:
        return a * math.exp(-t / decay)
    return a * (1 - i / n)


def tone(length, freq, shape="sine", decay=None, glide_to=None, vibrato=0.0):
    """One oscillator; freq may glide (exponentially) to glide_to over the length."""
    n = seconds(length)
    out = []
    phase = 0.0
    for i in range(n):
        f = freq if glide_to is None else freq * (glide_to / freq) ** (i / n)
        f *= 1 + vibrato * math.sin(2 * math.pi * 6 * i / RATE)
        phase += f / RATE
        p = phase % 1.0
        if shape == "sine":
            v = math.sin(2 * math.pi * p)
        elif shape == "square":  # softened: a square's first three partials
            v = sum(math.sin(2 * math.pi * p * k) / k for k in (1, 3, 5)) * 0.8
        else:  # triangle
            v = 4 * abs(p - 0.5) - 1
        out.append(v * envelope(i, n, decay=decay))
    return out


def noise(length, decay, brightness=0.5, seed=1):
    """White noise through a one-pole low-pass filter (brightness 0..1)."""
    rnd = random.Random(seed)
    n = seconds(length)
    out, y = [], 0.0
    for i in range(n):
        y += brightness * (rnd.uniform(-1, 1) - y)
        out.append(y * envelope(i, n, attack=0.001, decay=decay))
    return out


def mix(*parts):
    """Sums (start seconds, gain, samples) parts."""
    n = max(seconds(start) + len(s) for start, _, s in parts)
    out = [0.0] * n
    for start, gain, s in parts:
        o = seconds(start)
        for i, v in enumerate(s):
            out[o + i] += v * gain
    return out


def notes(keys, each, shape, gain=0.5, hold=None, decay=0.12):
    """A quick arpeggio of MIDI keys, each `each` seconds apart; the last may ring on."""
    parts = []
    for k, key in enumerate(keys):
        length = hold if hold and k == len(keys) - 1 else each * 1.6
        parts.append((k * each, gain, tone(length, 440 * 2 ** ((key - 69) / 12), shape,
                                            decay=decay)))
    return mix(*parts)


def write_wav(path, samples, level):
    peak = max(1e-9, max(abs(v) for v in samples))
    fade = seconds(0.005)  # never end on a click
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        frames = bytearray()
        for i, v in enumerate(samples):
            if i >= len(samples) - fade:
                v *= (len(samples) - i) / fade
            frames += struct.pack("<h", int(v / peak * level * 32767))
        w.writeframes(bytes(frames))


# name: (peak level, how it is made). The frequent sounds sit lower, under the music.
SOUNDS = {
    # the paddle: a round, falling pop
    "paddle": (0.5, lambda: mix(
        (0, 1, tone(0.10, 620, "square", decay=0.03, glide_to=420)),
        (0, 0.3, noise(0.02, 0.004, 0.3)))),
    # the walls: a soft tick, so that it rarely hides a brick
    "wall": (0.3, lambda: tone(0.05, 330, "sine", decay=0.012)),
    # glass bricks: a bright ring of inharmonic partials over a small crack of noise
    "brick": (0.55, lambda: mix(
        (0, 0.9, tone(0.28, 1568, decay=0.07)),
        (0, 0.5, tone(0.28, 2637, decay=0.05)),
        (0, 0.35, tone(0.2, 3951, decay=0.03)),
        (0, 0.5, noise(0.04, 0.008, 0.8, seed=2)))),
    # reinforced glass taking its first hit: duller and lower
    "crack": (0.5, lambda: mix(
        (0, 1, tone(0.18, 784, decay=0.04)),
        (0, 0.4, tone(0.18, 1245, decay=0.03)),
        (0, 0.8, noise(0.06, 0.015, 0.5, seed=3)))),
    # steel: a metallic clank
    "steel": (0.5, lambda: mix(
        (0, 0.8, tone(0.22, 523, decay=0.05)),
        (0, 0.6, tone(0.22, 1231, decay=0.04)),
        (0, 0.5, tone(0.22, 1962, decay=0.03)),
        (0, 0.4, tone(0.22, 2873, decay=0.02)),
        (0, 0.6, noise(0.03, 0.006, 0.9, seed=4)))),
    # catching an item: a rising major arpeggio
    "item": (0.6, lambda: notes([72, 76, 79, 84, 88], 0.055, "square", hold=0.25)),
    # serving the ball: a short upward rush
    "launch": (0.5, lambda: mix(
        (0, 0.7, tone(0.16, 300, "triangle", decay=0.08, glide_to=900)),
        (0, 0.4, noise(0.12, 0.05, 0.4, seed=5)))),
    # a ball lost: a falling wobble
    "lose": (0.6, lambda: tone(0.7, 560, "square", glide_to=110, vibrato=0.03)),
    # a level cleared: a fanfare that rings out
    "level": (0.65, lambda: notes([67, 72, 76, 79, 84], 0.09, "square", hold=0.6, decay=0.25)),
    # the game over: four notes down, the last held
    "gameover": (0.65, lambda: notes([67, 66, 65, 64], 0.28, "triangle", hold=0.9, decay=0.4)),
    # menus and typing: a small blip
    "blip": (0.35, lambda: tone(0.045, 1320, "sine", decay=0.012)),
}


def main():
    out = os.path.join(sys.argv[1], "SOUNDS")
    os.makedirs(out, exist_ok=True)
    for name, (level, make) in SOUNDS.items():
        write_wav(os.path.join(out, name + ".wav"), make(), level)


if __name__ == "__main__":
    main()
