#!/usr/bin/env python3
"""Synthesises the reader's "tada" chime: a rising three-note arpeggio of soft
bell tones, 16-bit mono at 22050 Hz, about 0.45 s long.

Usage: scripts/make-tada.py [OUTPUT]  (default src/platform/sounds/tada.wav)
Only the standard library is used, so the sound can be rebuilt anywhere; the
output is deterministic, so regenerating it changes nothing in git.
"""
import math
import os
import struct
import sys
import wave

RATE = 22050
LENGTH = 0.45  # seconds
# (start in seconds, frequency in Hz, loudness): C6, E6, G6.
NOTES = [(0.00, 1046.50, 0.55), (0.07, 1318.51, 0.50), (0.14, 1567.98, 0.60)]
# A bell: the fundamental, a soft octave and a faint inharmonic partial.
PARTIALS = [(1.0, 1.0), (2.0, 0.30), (2.76, 0.10)]
PEAK = 0.7  # of full scale, leaves headroom


def note(t, freq, loudness):
    if t < 0:
        return 0.0
    attack = min(1.0, t / 0.004)  # 4 ms, no click
    decay = math.exp(-t * 9.0)
    tone = sum(a * math.sin(2 * math.pi * freq * m * t) * math.exp(-t * 6.0 * (m - 1))
               for m, a in PARTIALS)
    return loudness * attack * decay * tone


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "platform", "sounds", "tada.wav")
    n = int(RATE * LENGTH)
    samples = []
    for i in range(n):
        t = i / RATE
        v = sum(note(t - start, f, a) for start, f, a in NOTES)
        fade = min(1.0, (n - i) / (RATE * 0.03))  # last 30 ms fade to silence
        samples.append(v * fade)
    scale = PEAK / max(abs(s) for s in samples)
    data = b"".join(struct.pack("<h", int(round(s * scale * 32767))) for s in samples)
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)


if __name__ == "__main__":
    main()
