#!/usr/bin/python3
# Writes the JPEG 2000 samples: Pillow (OpenJPEG) files, and variants of one
# of them with ICC profiles, resolution boxes, an XMP box and the JPX brand.
import struct

from PIL import Image

ICC = "/usr/share/color/icc/ghostscript/"

Image.new("RGB", (40, 30), (200, 30, 30)).save("rgb.jp2")
Image.new("L", (33, 17), 90).save("gray.j2k")
Image.new("RGBA", (20, 10), (0, 0, 255, 128)).save("rgba.jp2")


def box(kind, content):
    return struct.pack(">I4s", 8 + len(content), kind) + content


def boxes(data, start, end):
    while start < end:
        length, kind = struct.unpack(">I4s", data[start:start + 8])
        yield kind, data[start + 8:start + length]
        start += length


def rebuild(brand, icc, resolution):
    data = open("rgb.jp2", "rb").read()
    out = b""
    for kind, content in boxes(data, 0, len(data)):
        if kind == b"ftyp":
            content = brand + content[4:8] + brand
        elif kind == b"jp2h":
            inner = b""
            for child, body in boxes(content, 0, len(content)):
                if child == b"colr":
                    body = b"\x02\x00\x00" + open(ICC + icc, "rb").read()
                inner += box(child, body)
            if resolution:
                # capture 300 dpi as 11811 / 1 pixels per metre, display 2835 ppm
                inner += box(b"res ", box(b"resc", struct.pack(">HHHHbb", 11811, 1, 11811, 1, 0, 0)) +
                             box(b"resd", struct.pack(">HHHHbb", 2835, 100, 2835, 100, 2, 2)))
            content = inner
        out += box(kind, content)
    xmp = bytes.fromhex("BE7ACFCB97A942E89C71999491E3AFAC") + b"<x:xmpmeta xmlns:x='adobe:ns:meta/'/>"
    return out + box(b"uuid", xmp)


open("jpx_icc_res.jpx", "wb").write(rebuild(b"jpx ", "a98.icc", True))
open("icc_v4.jp2", "wb").write(rebuild(b"jp2 ", "ps_rgb.icc", False))
