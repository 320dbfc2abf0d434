#!/usr/bin/python3
# Writes the hand-built PostScript samples: a DOS EPS binary header with a
# TIFF preview, a single-file DCS 2.0, an EPSI preview and a PostScript file
# whose comments are deferred to its trailer.
import io
import struct

from PIL import Image


def eps(width, height, extra=b"", body=b"0 0 moveto 10 10 lineto stroke\n"):
    return (b"%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: make_samples.py\r\n%%Title: (sample)\r\n"
            b"%%BoundingBox: 0 0 " + b"%d %d" % (width, height) + b"\r\n" + extra +
            b"%%EndComments\r\n" + body + b"%%EOF\r\n")


def dos_eps():
    postscript = eps(40, 30, b"%%HiResBoundingBox: 0 0 39.6 30.4\r\n")
    tiff = io.BytesIO()
    Image.new("L", (40, 30), 128).save(tiff, "TIFF")
    tiff = tiff.getvalue()
    ps_offset = 30
    tiff_offset = ps_offset + len(postscript)
    header = struct.pack("<IIIIIIIH", 0xC6D3D0C5, ps_offset, len(postscript), 0, 0,
                         tiff_offset, len(tiff), 0xFFFF)
    return header + postscript + tiff


def dcs2_single():
    plates = [b"Cyan", b"Magenta", b"Yellow", b"Black", b"PANTONE 185 C"]
    bodies = [eps(40, 30, body=b"%% plate " + name + b"\r\n") for name in plates]
    extra = (b"%%DocumentProcessColors: Cyan Magenta Yellow Black\r\n"
             b"%%DocumentCustomColors: (PANTONE 185 C)\r\n"
             b"%%CMYKCustomColor: 0 0.91 0.76 0 (PANTONE 185 C)\r\n")

    def composite(offsets):
        lines = b"".join(b"%%PlateFile: (" + name + b") EPS #" + b"%010d %010d" % (at, len(body)) + b"\r\n"
                         for name, body, at in zip(plates, bodies, offsets))
        return eps(40, 30, extra + lines)

    # the composite's length does not depend on the numbers written in it
    offset = len(composite([0] * len(plates)))
    offsets = []
    for body in bodies:
        offsets.append(offset)
        offset += len(body)
    return composite(offsets) + b"".join(bodies)


def epsi():
    preview = (b"%%BeginPreview: 16 8 1 8\r\n" +
               b"".join(b"% " + (b"F0F0" if row % 2 else b"0F0F") + b"\r\n" for row in range(8)) +
               b"%%EndPreview\r\n")
    text = eps(16, 8)
    at = text.index(b"%%EndComments\r\n") + len(b"%%EndComments\r\n")
    return text[:at] + preview + text[at:]


def multipage_atend():
    return (b"%!PS-Adobe-3.0\n%%Creator: make_samples.py\n%%Title: Deferred\n%%BoundingBox: (atend)\n"
            b"%%HiResBoundingBox: (atend)\n%%Pages: (atend)\n%%DocumentCustomColors: (atend)\n"
            b"%%EndComments\n" +
            b"".join(b"%%%%Page: %d %d\n0 0 moveto 100 100 lineto stroke showpage\n" % (n, n) for n in (1, 2, 3)) +
            b"%%Trailer\n%%BoundingBox: 0 0 300 201\n%%HiResBoundingBox: 0 0 299.5 200.6\n%%Pages: 3\n"
            b"%%DocumentCustomColors: (Spot Orange)\n%%+ (Spot Green)\n%%EOF\n")


for name, data in [("dos_tiff_preview.eps", dos_eps()), ("dcs2_single.eps", dcs2_single()),
                   ("epsi_preview.epsi", epsi()), ("multipage_atend.ps", multipage_atend())]:
    with open(name, "wb") as f:
        f.write(data)
