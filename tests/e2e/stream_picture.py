#!/usr/bin/env python3
"""Writes a W x H test picture as a binary PPM to stdout, one row at a time,
so that a JPEG encoder reading the pipe (cjpeg) makes a photo of any size
without any tool holding the whole picture. Red grows to the right, green
downwards, blue is a checkerboard of 16-pixel squares: the mean colour of a
piece tells where it lies, the squares' edges tell it to the pixel.

Usage: stream_picture.py WIDTH HEIGHT | cjpeg > picture.jpg
"""
import sys

w, h = int(sys.argv[1]), int(sys.argv[2])
out = sys.stdout.buffer
out.write(b"P6\n%d %d\n255\n" % (w, h))
row = bytearray(3 * w)
row[0::3] = bytes(x * 255 // max(1, w - 1) for x in range(w))
blue = [bytes(255 if ((x >> 4) + k) & 1 else 0 for x in range(w)) for k in (0, 1)]
for y in range(h):
    row[1::3] = bytes([y * 255 // max(1, h - 1)]) * w
    row[2::3] = blue[(y >> 4) & 1]
    out.write(row)
