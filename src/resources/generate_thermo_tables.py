#!/usr/bin/env python3
"""Writes the two built-in thermo tables of the library.

thermo_normal_114.bin (normal range) and thermo_high_115.bin (high range) are
blocks of the bare layout: a 32-bit point count, then one record per raw level
0..16383 of a 32-bit signed level and a 32-bit float in degrees Celsius, all
little-endian (131,076 bytes each).

The calibration curve runs through measured anchor levels with a monotone
piecewise cubic (Fritsch-Carlson), so it rises smoothly between them. The
sensor's first levels sit below the usable range and fall steeply towards the
table's minimum at level 10; the two extreme levels carry -999.0 (no reading).
Measurement noise left a fixed number of equal neighbours and of small falls
(under 0.1 degree) in the rising part; they are placed by a fixed-seed
generator, so the output is byte-for-byte the same on every run.

Usage: generate_thermo_tables.py [output directory]   (default: this directory)
"""

import os
import struct
import sys

LEVELS = 16384
NO_READING = -999.0
FIRST_RISING = 10  # the table's minimum
LAST_RISING = LEVELS - 2  # the table's maximum

TABLES = [
    {
        "id": 114,
        "file": "thermo_normal_114.bin",
        "first": -68.30,
        "anchors": [(10, -270.72), (1000, -217.38), (6000, 5.60), (10000, 118.57), (16382, 178.23)],
        "falls": 90,
        "repeats": 259,
        "seed": 114,
    },
    {
        "id": 115,
        "file": "thermo_high_115.bin",
        "first": -55.29,
        "anchors": [(10, -219.15), (1000, -120.34), (6000, 361.23), (10000, 540.24), (16382, 825.87)],
        "falls": 63,
        "repeats": 55,
        "seed": 115,
    },
]


def f32(value):
    """The value rounded to single precision, as it is stored."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


class Lcg:
    """A fixed 32-bit linear congruential generator (no platform dependence)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state

    def below(self, bound):
        return (self.next() >> 8) % bound

    def unit(self):
        return (self.next() >> 8) / float(1 << 24)


def pchip_slopes(xs, ys):
    """Fritsch-Carlson derivatives: the cubic pieces stay monotone."""
    n = len(xs)
    h = [xs[k + 1] - xs[k] for k in range(n - 1)]
    d = [(ys[k + 1] - ys[k]) / h[k] for k in range(n - 1)]
    m = [0.0] * n
    for k in range(1, n - 1):
        if d[k - 1] * d[k] <= 0.0:
            m[k] = 0.0
        else:
            w1 = 2.0 * h[k] + h[k - 1]
            w2 = h[k] + 2.0 * h[k - 1]
            m[k] = (w1 + w2) / (w1 / d[k - 1] + w2 / d[k])

    def end_slope(h0, h1, d0, d1):
        # The three-point estimate, kept between half and three times the end
        # piece's secant: the curve still rises at both ends of the range.
        s = ((2.0 * h0 + h1) * d0 - h0 * d1) / (h0 + h1)
        return min(max(s, 0.5 * d0), 3.0 * d0)

    m[0] = end_slope(h[0], h[1], d[0], d[1])
    m[-1] = end_slope(h[-1], h[-2], d[-1], d[-2])
    return m


def curve(anchors):
    """Values for every level from the first to the last anchor."""
    xs = [float(x) for x, _ in anchors]
    ys = [y for _, y in anchors]
    m = pchip_slopes(xs, ys)
    values = {}
    for k in range(len(xs) - 1):
        x0, x1 = int(xs[k]), int(xs[k + 1])
        h = xs[k + 1] - xs[k]
        for level in range(x0, x1):
            t = (level - xs[k]) / h
            h00 = (1.0 + 2.0 * t) * (1.0 - t) * (1.0 - t)
            h10 = t * (1.0 - t) * (1.0 - t)
            h01 = t * t * (3.0 - 2.0 * t)
            h11 = t * t * (t - 1.0)
            values[level] = h00 * ys[k] + h10 * h * m[k] + h01 * ys[k + 1] + h11 * h * m[k + 1]
    for x, y in anchors:
        values[x] = y
    return values


def noise_positions(rng, count, taken, anchors):
    """Levels well inside the rising part, never an anchor, never next to
    another chosen level (so every level after one of them rises again)."""
    anchor_levels = {x for x, _ in anchors}
    chosen = []
    while len(chosen) < count:
        level = FIRST_RISING + 10 + rng.below(LAST_RISING - FIRST_RISING - 20)
        if level in anchor_levels or any(abs(level - other) < 2 for other in taken):
            continue
        taken.add(level)
        chosen.append(level)
    return chosen


def build(table):
    anchors = table["anchors"]
    rng = Lcg(table["seed"])
    values = [0.0] * LEVELS
    values[0] = f32(NO_READING)
    values[LEVELS - 1] = f32(NO_READING)

    low = anchors[0][1]
    for level in range(1, FIRST_RISING):
        share = (FIRST_RISING - level) / float(FIRST_RISING - 1)
        values[level] = f32(low + (table["first"] - low) * share * share)
    values[1] = f32(table["first"])

    rising = curve(anchors)
    for level in range(FIRST_RISING, LAST_RISING + 1):
        values[level] = f32(rising[level])

    taken = set()
    for level in noise_positions(rng, table["repeats"], taken, anchors):
        values[level] = values[level - 1]
    for level in noise_positions(rng, table["falls"], taken, anchors):
        drop = 0.002 + 0.078 * rng.unit()
        values[level] = f32(values[level - 1] - drop)

    check(table, values)
    return values


def check(table, values):
    for level, value in [(0, NO_READING), (1, table["first"]), (LEVELS - 1, NO_READING)] + table["anchors"]:
        assert values[level] == f32(value), (table["id"], level)
    for level in range(2, FIRST_RISING + 1):
        assert values[level] < values[level - 1], (table["id"], level)
    falls = repeats = 0
    for level in range(FIRST_RISING + 1, LAST_RISING + 1):
        step = values[level] - values[level - 1]
        if step == 0.0:
            repeats += 1
        elif step < 0.0:
            falls += 1
            assert -step <= 0.1, (table["id"], level)
    assert (falls, repeats) == (table["falls"], table["repeats"]), (table["id"], falls, repeats)
    inner = values[1:LEVELS - 1]
    assert min(inner) == values[FIRST_RISING] and inner.count(values[FIRST_RISING]) == 1
    assert max(inner) == values[LAST_RISING] and inner.count(values[LAST_RISING]) == 1


def encode(values):
    out = bytearray(struct.pack("<i", LEVELS))
    for level, value in enumerate(values):
        out += struct.pack("<if", level, value)
    assert len(out) == 4 + 8 * LEVELS
    return bytes(out)


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for table in TABLES:
        with open(os.path.join(directory, table["file"]), "wb") as out:
            out.write(encode(build(table)))


if __name__ == "__main__":
    main()
