"""Writes small uncompressed XCF files: python3 make_xcf.py (run in this folder).

Each layer is a full-size layer with one tile per level (images up to 64 x 64).
"""
import struct


def string(s):
    b = s.encode() + b"\0"
    return struct.pack(">I", len(b)) + b


def xcf(version, width, height, base, layers, precision=None, props=b"", channels=0):
    wide = version >= 11
    ptr = (lambda v: struct.pack(">Q", v)) if wide else (lambda v: struct.pack(">I", v))
    psize = 8 if wide else 4
    magic = b"gimp xcf file\0" if version == 0 else b"gimp xcf v%03d\0" % version
    head = magic + struct.pack(">III", width, height, base)
    if version >= 4:
        head += struct.pack(">I", precision)
    head += props + struct.pack(">II", 17, 1) + b"\0"  # no compression
    head += struct.pack(">II", 0, 0)
    bpp = {0: 4, 1: 2, 2: 2}[base]  # with alpha
    layer_type = base * 2 + 1
    start = len(head) + psize * (len(layers) + 1) + psize * (channels + 1)
    blobs = []
    pointers = []
    at = start
    for name, (w, h) in layers:
        pointers.append(at)
        layer_head_len = 12 + len(string(name)) + 8 + 2 * psize
        hier = at + layer_head_len
        level = hier + 12 + 2 * psize
        tile = level + 8 + 2 * psize
        blob = struct.pack(">III", w, h, layer_type) + string(name) + struct.pack(">II", 0, 0)
        blob += ptr(hier) + ptr(0)
        blob += struct.pack(">III", w, h, bpp) + ptr(level) + ptr(0)
        blob += struct.pack(">II", w, h) + ptr(tile) + ptr(0)
        blob += bytes([0x80] * (w * h * bpp))
        blobs.append(blob)
        at += len(blob)
    body = head + b"".join(ptr(p) for p in pointers) + ptr(0)
    body += ptr(0) * (channels + 1) if channels else ptr(0)
    return body + b"".join(blobs)


resolution = struct.pack(">II", 19, 8) + struct.pack(">ff", 300.0, 150.0)
open("two_layers_v0.xcf", "wb").write(
    xcf(0, 16, 12, 0, [("Top", (8, 6)), ("Background", (16, 12))], props=resolution))
open("gray_v3.xcf", "wb").write(xcf(3, 10, 7, 1, [("Background", (10, 7))]))
open("float_v11.xcf", "wb").write(
    xcf(11, 9, 5, 0, [("A", (9, 5)), ("B", (9, 5)), ("C", (9, 5))], precision=650))
