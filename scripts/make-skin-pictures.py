#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the program's own skin pictures: small abstract gradients as PNG files.

Run from the repository root: python3 scripts/make-skin-pictures.py
The pictures are stretched to the window, so 160 x 100 pixels are plenty.
"""
import math
import struct
import zlib

WIDTH, HEIGHT = 160, 100


def png(path, pixel):
    rows = bytearray()
    for y in range(HEIGHT):
        rows.append(0)  # no filter
        for x in range(WIDTH):
            rows.extend(bytes(max(0, min(255, int(c))) for c in pixel(x / (WIDTH - 1), y / (HEIGHT - 1))))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) +
                  chunk(b"IEND", b""))


def mix(a, b, t):
    return [a[i] + (b[i] - a[i]) * t for i in range(3)]


def background(x, y):  # the default: the dark theme's own colours, a faint diagonal
    return mix((27, 29, 34), (18, 19, 23), (x + y) / 2)


def dusk(x, y):
    return mix(mix((40, 20, 60), (150, 50, 60), x), (10, 10, 25), y * 0.7)


def ember(x, y):
    glow = math.exp(-((x - 0.7) ** 2 + (y - 0.8) ** 2) * 6)
    return mix((20, 12, 10), (230, 90, 30), glow)


def tide(x, y):
    wave = 0.5 + 0.5 * math.sin(x * 9 + math.sin(y * 5) * 2)
    return mix((10, 30, 50), (30, 120, 140), wave * (1 - y * 0.5))


def moss(x, y):
    rings = 0.5 + 0.5 * math.cos(math.hypot(x - 0.3, y - 0.4) * 22)
    return mix((15, 30, 20), (60, 110, 60), rings * 0.6)


for name, pixel in (("common/background.png", background), ("skins/dusk.png", dusk), ("skins/ember.png", ember),
                    ("skins/tide.png", tide), ("skins/moss.png", moss)):
    png("skin/" + name, pixel)
