#!/usr/bin/python3
"""Samples no tool here writes as wanted, built byte by byte (called by make_samples.sh):

  make_special.py exif-jpeg OUT       JPEG with EXIF (orientation 6, 180 dpi) and a real 8x6 JPEG thumbnail
  make_special.py xcf OUT             XCF version 3, grey 16x12 at 300x150 ppi, two layers
  make_special.py rotated-pdf OUT     one 200x100 page with /Rotate 90
  make_special.py rotated-heif IN OUT HEIC with IN's coding configuration, 64x40, a quarter turn (irot)
  make_special.py qoi OUT             QOI 6x4 RGB
"""
import io
import os
import struct
import sys

from PIL import Image

# the box writers of the HEIF reader's samples
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "formats", "heif"))
from make_samples import box, find, full  # noqa: E402


def exif_jpeg(out):
    thumb = io.BytesIO()
    Image.new("RGB", (8, 6), "red").save(thumb, "JPEG", quality=60)
    thumb = thumb.getvalue()
    entries0 = [(0x0112, 3, 1, 6), (0x011A, 5, 1, None), (0x011B, 5, 1, None), (0x0128, 3, 1, 2)]
    # IFD0 at 8: count, 4 entries, next; then two rationals; IFD1 after them
    ifd0_size = 2 + 12 * len(entries0) + 4
    rationals = 8 + ifd0_size
    ifd1 = rationals + 16
    ifd1_size = 2 + 12 * 3 + 4
    thumb_at = ifd1 + ifd1_size
    tiff = b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", len(entries0))
    rational_at = rationals
    for tag, kind, count, value in entries0:
        if value is None:
            value = rational_at
            rational_at += 8
        packed = struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value)
        tiff += struct.pack("<HHI", tag, kind, count) + packed
    tiff += struct.pack("<I", ifd1)
    tiff += struct.pack("<IIII", 180, 1, 180, 1)
    tiff += struct.pack("<H", 3)
    tiff += struct.pack("<HHIHH", 0x0103, 3, 1, 6, 0)
    tiff += struct.pack("<HHII", 0x0201, 4, 1, thumb_at)
    tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb))
    tiff += struct.pack("<I", 0) + thumb
    app1 = b"Exif\0\0" + tiff
    main = io.BytesIO()
    Image.linear_gradient("L").resize((40, 30)).convert("RGB").save(main, "JPEG", quality=70)
    main = main.getvalue()
    segment = b"\xFF\xE1" + struct.pack(">H", len(app1) + 2) + app1
    open(out, "wb").write(main[:2] + segment + main[2:])


def string(s):
    b = s.encode() + b"\0"
    return struct.pack(">I", len(b)) + b


def xcf(out):
    # one tile per level; identify reads whole 64x64 tiles of 4 bytes a
    # pixel past the last one's data, so the file is padded for two
    width, height, bpp = 16, 12, 2  # grey with alpha
    props = struct.pack(">II", 19, 8) + struct.pack(">ff", 300.0, 150.0) + struct.pack(">II", 17, 1) + b"\0"
    head = b"gimp xcf v003\0" + struct.pack(">III", width, height, 1) + props + struct.pack(">II", 0, 0)
    layers = [("Top", 8, 6), ("Background", 16, 12)]
    at = len(head) + 4 * (len(layers) + 1) + 4
    pointers, blobs = [], []
    for name, w, h in layers:
        pointers.append(at)
        hier = at + 12 + len(string(name)) + 8 + 8
        level = hier + 12 + 8
        tile = level + 8 + 8
        blob = struct.pack(">III", w, h, 3) + string(name) + struct.pack(">II", 0, 0)
        blob += struct.pack(">II", hier, 0)
        blob += struct.pack(">III", w, h, bpp) + struct.pack(">II", level, 0)
        blob += struct.pack(">II", w, h) + struct.pack(">II", tile, 0)
        blob += bytes([0x80] * (w * h * bpp))
        blobs.append(blob)
        at += len(blob)
    body = head + b"".join(struct.pack(">I", p) for p in pointers) + struct.pack(">I", 0) + struct.pack(">I", 0)
    open(out, "wb").write(body + b"".join(blobs) + bytes(2 * 64 * 64 * 4))


def rotated_pdf(out):
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Rotate 90 /Contents 4 0 R >>",
               b"<< /Length 0 >>\nstream\n\nendstream"]
    pdf = b"%PDF-1.4\n"
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(pdf))
        pdf += b"%d 0 obj\n%s\nendobj\n" % (n, body)
    xref = len(pdf)
    pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    pdf += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    open(out, "wb").write(pdf)


def rotated_heif(source, out):
    ipco = find(open(source, "rb").read(), [b"meta", b"iprp", b"ipco"])
    hvcc = box(b"hvcC", find(ipco, [b"hvcC"]))
    properties = [hvcc, full(b"ispe", 0, 0, struct.pack(">II", 64, 40)), box(b"irot", b"\x03")]
    ftyp = box(b"ftyp", b"heic\0\0\0\0mif1heic")
    iinf = full(b"iinf", 0, 0, struct.pack(">H", 1) + full(b"infe", 2, 0, struct.pack(">HH4s", 1, 0, b"hvc1") + b"\0"))
    ipma = full(b"ipma", 0, 0, struct.pack(">IHB", 1, 1, 3) + bytes([0x81, 2, 3]))

    def meta(offset):
        iloc = full(b"iloc", 0, 0, b"\x44\x00" + struct.pack(">HHHHII", 1, 1, 0, 1, offset, 11))
        return full(b"meta", 0, 0, full(b"hdlr", 0, 0, b"\0\0\0\0pict" + b"\0" * 13) +
                    full(b"pitm", 0, 0, struct.pack(">H", 1)) + iloc + iinf +
                    box(b"iprp", box(b"ipco", b"".join(properties)) + ipma))
    offset = len(ftyp) + len(meta(0)) + 8
    open(out, "wb").write(ftyp + meta(offset) + box(b"mdat", b"placeholder"))


def qoi(out):
    width, height = 6, 4
    # one RGB pixel, then a run over the rest
    body = bytes([0xFE, 200, 30, 10, 0xC0 | (width * height - 2)])
    open(out, "wb").write(b"qoif" + struct.pack(">IIBB", width, height, 3, 0) + body + bytes(7) + b"\x01")


if __name__ == "__main__":
    kind = sys.argv[1]
    if kind == "exif-jpeg":
        exif_jpeg(sys.argv[2])
    elif kind == "xcf":
        xcf(sys.argv[2])
    elif kind == "rotated-pdf":
        rotated_pdf(sys.argv[2])
    elif kind == "rotated-heif":
        rotated_heif(sys.argv[2], sys.argv[3])
    elif kind == "qoi":
        qoi(sys.argv[2])
    else:
        sys.exit(__doc__)
