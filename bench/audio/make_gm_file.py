#!/usr/bin/env python3
"""Writes a 16-channel General MIDI file for the audio benchmark: a format 1 file with a
conductor track (tempo 120, then two tempo changes) and one track per channel, each with its
own instrument; channel 10 plays drums. Every channel plays for the whole piece, so the synth
carries a full orchestra's load (about 50-90 voices at once).

Usage: make_gm_file.py OUT.mid [BARS]   (default 32 bars of 4 beats, about 64 s)
"""
import struct
import sys

DIVISION = 480


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(events):
    """events: (tick, bytes) in any order; written sorted, with end of track."""
    data, now = b"", 0
    for tick, ev in sorted(events, key=lambda e: e[0]):
        data += vlq(tick - now) + ev
        now = tick
    data += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def main():
    out = sys.argv[1]
    bars = int(sys.argv[2]) if len(sys.argv) > 2 else 32
    beats = bars * 4
    conductor = [(0, b"\xff\x51\x03" + (500000).to_bytes(3, "big")),
                 (0, b"\xff\x58\x04\x04\x02\x18\x08"),
                 (beats // 2 * DIVISION, b"\xff\x51\x03" + (450000).to_bytes(3, "big")),
                 (beats * 3 // 4 * DIVISION, b"\xff\x51\x03" + (520000).to_bytes(3, "big"))]
    tracks = [track(conductor)]
    # One GM program per melodic channel: pianos, organ, guitars, bass, strings, brass, reeds,
    # pipes, pads.
    programs = [0, 4, 16, 24, 33, 48, 49, 56, 61, 0, 65, 71, 73, 89, 52, 11]
    chords = [[0, 4, 7], [5, 9, 12], [7, 11, 14], [-3, 0, 4]]
    for ch in range(16):
        ev = []
        if ch == 9:  # drums: kick, snare, hats in eighths
            for b in range(beats):
                t = b * DIVISION
                ev += [(t, bytes([0x99, 36 if b % 2 == 0 else 38, 110])),
                       (t + 120, bytes([0x89, 36 if b % 2 == 0 else 38, 0]))]
                for h in (0, 240):
                    ev += [(t + h, bytes([0x99, 42, 80])), (t + h + 60, bytes([0x89, 42, 0]))]
        else:
            ev += [(0, bytes([0xB0 | ch, 7, 90])), (0, bytes([0xB0 | ch, 10, (ch * 8) & 0x7F])),
                   (0, bytes([0xC0 | ch, programs[ch]]))]
            base = 36 + (ch % 5) * 7
            step = DIVISION // (1 + ch % 4)  # quarters, eighths, triplets or sixteenths
            for b in range(beats):
                chord = chords[(b // 4) % 4]
                for k in range(DIVISION // step):
                    t = b * DIVISION + k * step
                    note = base + chord[(b * 3 + k + ch) % 3]
                    vel = 60 + (b * 7 + ch * 13 + k * 5) % 50
                    # running status: the note-off reuses the note-on's status byte (velocity 0)
                    ev += [(t, bytes([0x90 | ch, note, vel])), (t + step - 10, bytes([note, 0]))]
        tracks.append(track(ev))
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), DIVISION)
    with open(out, "wb") as f:
        f.write(header + b"".join(tracks))


if __name__ == "__main__":
    main()
