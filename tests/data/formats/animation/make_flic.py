#!/usr/bin/python3
"""Writes the FLI and FLC samples (no Debian package writes Autodesk
animations): the 128-byte header, a colour chunk in the first frame, a
black or empty delta in the others, and the ring frame.

  /usr/bin/python3 make_flic.py [FOLDER]     into FOLDER (default: this script's folder)
"""
import os
import struct
import sys

os.chdir(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))


def chunk(kind, payload):
    return struct.pack("<IH", 6 + len(payload), kind) + payload


def frame(subchunks):
    body = b"".join(subchunks)
    return struct.pack("<IHH8s", 16 + len(body), 0xF1FA, len(subchunks), b"\0" * 8) + body


def palette(kind, scale):
    # One packet: skip 0, copy 256 (stored as 0) entries.
    colours = bytes(c * scale // 255 for i in range(256) for c in (i, 255 - i, i // 2))
    return chunk(kind, struct.pack("<HBB", 1, 0, 0) + colours)


def flic(name, flc, width, height, frames, speed, prefix=False):
    colour = palette(4, 255) if flc else palette(11, 63)  # COLOR_256, COLOR_64
    body = b""
    if prefix:
        body += chunk(0xF100, struct.pack("<H8s", 0, b"\0" * 8))
    first = len(body) + 128
    body += frame([colour, chunk(13, b"")])  # BLACK
    second = len(body) + 128
    for _ in range(frames):  # the other frames, then the ring frame
        body += frame([])
    head = struct.pack("<IHHHHHHI", 128 + len(body), 0xAF12 if flc else 0xAF11, frames, width, height, 8,
                       3 if flc else 0, speed)
    head = head.ljust(80, b"\0")
    if flc:
        head = head[:38] + struct.pack("<HH", 1, 1) + head[42:]
        head += struct.pack("<II", first, second)
    open(name, "wb").write(head.ljust(128, b"\0") + body)


flic("anim.fli", False, 320, 200, 3, 5)
flic("anim.flc", True, 64, 48, 4, 70, prefix=True)
# A frame chunk of the third frame overwritten: two frames remain readable.
flic("damaged.flc", True, 40, 30, 5, 100)
data = bytearray(open("damaged.flc", "rb").read())
third = 128 + struct.unpack_from("<I", data, 128)[0] + 16
data[third:third + 6] = b"\xde\xad\xbe\xef\x00\x00"
open("damaged.flc", "wb").write(bytes(data))
