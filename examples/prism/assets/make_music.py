#!/usr/bin/env python3
"""Composes Prism's two pieces of music as standard MIDI files in OUT/MUSIC:

    title.mid   a slow, dreamy loop for the title screen (A minor, 84 beats a minute)
    play.mid    a driving loop for the game (A minor, 128 beats a minute)

    make_music.py OUT

Both are format 1 files with a tempo track and one track per instrument, General MIDI sounds,
16 bars of 4/4. The program starts a piece again when the host reports its end (one beat
after its last bar).
"""

import os
import struct
import sys

PPQ = 480           # ticks per beat
BAR = 4 * PPQ
EIGHTH = PPQ // 2


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


class Track:
    """Events at absolute ticks; written sorted, note-offs before note-ons at the same tick."""

    def __init__(self, name, channel=0, program=None):
        self.events = []  # (tick, order, bytes)
        self.channel = channel
        self.meta(0, 0x03, name.encode())
        if program is not None:
            self.events.append((0, 1, bytes((0xC0 | channel, program))))

    def meta(self, tick, kind, data):
        self.events.append((tick, 0, b"\xFF" + bytes((kind,)) + varlen(len(data)) + data))

    def control(self, tick, number, value):
        self.events.append((tick, 1, bytes((0xB0 | self.channel, number, value))))

    def note(self, tick, length, key, velocity):
        self.events.append((tick, 3, bytes((0x90 | self.channel, key, velocity))))
        self.events.append((tick + length, 2, bytes((0x80 | self.channel, key, 0))))

    def chunk(self, end):
        body = bytearray()
        now = 0
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            body += varlen(tick - now) + data
            now = tick
        body += varlen(end - now) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + body


def write_midi(path, tempo_bpm, tracks, bars):
    end = bars * BAR
    tempo = Track("tempo")
    tempo.meta(0, 0x51, struct.pack(">I", 60_000_000 // tempo_bpm)[1:])
    tempo.meta(0, 0x58, bytes((4, 2, 24, 8)))
    data = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks) + 1, PPQ)
    data += tempo.chunk(end) + b"".join(t.chunk(end) for t in tracks)
    with open(path, "wb") as f:
        f.write(data)


# Chords as MIDI note numbers (root position, around middle C), and their bass roots.
CHORDS = {
    "Am": (57, 60, 64), "F": (53, 57, 60), "C": (55, 60, 64), "G": (55, 59, 62),
    "E": (56, 59, 64), "Dm": (57, 62, 65),
}
ROOTS = {"Am": 45, "F": 41, "C": 48, "G": 43, "E": 40, "Dm": 38}


def title_music():
    """Electric piano arpeggios over a warm pad, a bell tune from the ninth bar."""
    bars = ["Am", "F", "C", "G", "Am", "F", "Dm", "E"] * 2
    arp = Track("arpeggio", 0, 4)      # Electric Piano 1
    pad = Track("pad", 1, 89)          # Pad 2 (warm)
    bass = Track("bass", 2, 33)        # Electric Bass (finger)
    bell = Track("bells", 3, 9)        # Glockenspiel
    for t in (arp, pad, bass, bell):
        t.control(0, 7, 100)           # channel volume
    pad.control(0, 7, 70)
    bell.control(0, 7, 64)
    for i, name in enumerate(bars):
        start = i * BAR
        notes = CHORDS[name]
        pattern = [notes[0], notes[1], notes[2], notes[0] + 12, notes[2], notes[1] + 12,
                   notes[2], notes[1]]
        for k, key in enumerate(pattern):
            arp.note(start + k * EIGHTH, EIGHTH - 20, key + 12, 72 if k % 2 else 84)
        for key in notes:
            pad.note(start, BAR - 10, key, 58)
        bass.note(start, 2 * PPQ - 20, ROOTS[name], 80)
        bass.note(start + 2 * PPQ, 2 * PPQ - 20, ROOTS[name] + (7 if name != "E" else 12), 70)
    tune = [(76, 3), (74, 1), (72, 2), (69, 2), (72, 3), (74, 1), (76, 4), (79, 3), (77, 1),
            (76, 2), (74, 2), (72, 2), (71, 2), (69, 4), (76, 2), (81, 2), (79, 2), (77, 2),
            (76, 4), (74, 2), (72, 2), (71, 4), (68, 2), (71, 2), (76, 8)]
    tick = 8 * BAR
    for key, eighths in tune:       # 64 eighths fill bars 9 to 16
        bell.note(tick, eighths * EIGHTH - 20, key + 12, 70)
        tick += eighths * EIGHTH
    assert tick == 16 * BAR, tick
    return [arp, pad, bass, bell]


# The game's tune, by bar: (key, length in eighths). Each bar holds eight eighths.
PLAY_TUNE = [
    [(76, 2), (81, 2), (79, 1), (76, 1), (74, 1), (76, 1)],
    [(72, 2), (69, 2), (72, 1), (74, 1), (76, 2)],
    [(79, 2), (76, 2), (72, 2), (74, 1), (76, 1)],
    [(74, 3), (71, 1), (74, 2), (79, 2)],
    [(76, 2), (81, 2), (83, 2), (84, 1), (83, 1)],
    [(81, 2), (77, 2), (81, 1), (79, 1), (77, 1), (76, 1)],
    [(74, 2), (79, 2), (83, 2), (86, 2)],
    [(88, 4), (80, 2), (83, 2)],
    [(81, 1), (81, 1), (84, 1), (81, 1), (76, 2), (81, 2)],
    [(77, 1), (77, 1), (81, 1), (77, 1), (72, 2), (77, 2)],
    [(79, 1), (79, 1), (84, 1), (79, 1), (76, 2), (79, 2)],
    [(83, 2), (81, 2), (79, 2), (74, 2)],
    [(84, 2), (83, 2), (81, 2), (76, 2)],
    [(77, 2), (81, 2), (84, 2), (81, 2)],
    [(83, 2), (86, 2), (83, 2), (79, 2)],
    [(80, 2), (83, 2), (88, 4)],
]


def play_music():
    """Square lead, synth bass in pumping eighths, string stabs and a four-on-the-floor kit."""
    bars = ["Am", "F", "C", "G", "Am", "F", "G", "E"] * 2
    lead = Track("lead", 0, 80)        # Lead 1 (square)
    bass = Track("bass", 1, 38)        # Synth Bass 1
    chords = Track("chords", 2, 50)    # Synth Strings 1
    drums = Track("drums", 9)          # channel 10: percussion
    lead.control(0, 7, 84)
    chords.control(0, 7, 76)
    for i, name in enumerate(bars):
        start = i * BAR
        tick = start
        for key, eighths in PLAY_TUNE[i]:
            lead.note(tick, eighths * EIGHTH - 30, key, 96)
            tick += eighths * EIGHTH
        assert tick == start + BAR, (i, tick)
        root = ROOTS[name]
        for k in range(8):
            bass.note(start + k * EIGHTH, EIGHTH - 40, root + (12 if k % 2 else 0), 100)
        for beat in (0, 1.5, 2, 3.5):  # syncopated stabs
            for key in CHORDS[name]:
                chords.note(start + int(beat * PPQ), PPQ // 2, key + 12, 70)
        for k in range(8):
            drums.note(start + k * EIGHTH, 60, 42, 70 if k % 2 else 90)      # closed hi-hat
        for beat in range(4):
            drums.note(start + beat * PPQ, 100, 36, 110)                    # bass drum
        for beat in (1, 3):
            drums.note(start + beat * PPQ, 100, 38, 100)                    # snare
        if i % 8 == 0:
            drums.note(start, 400, 49, 100)                                 # crash
        if i % 8 == 7:
            for k, tom in enumerate((50, 48, 47, 45)):                      # a tom fill
                drums.note(start + 3 * PPQ + k * PPQ // 4, 60, tom, 90)
    return [lead, bass, chords, drums]


def main():
    out = os.path.join(sys.argv[1], "MUSIC")
    os.makedirs(out, exist_ok=True)
    write_midi(os.path.join(out, "title.mid"), 84, title_music(), 16)
    write_midi(os.path.join(out, "play.mid"), 128, play_music(), 16)


if __name__ == "__main__":
    main()
