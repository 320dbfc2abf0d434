#!/usr/bin/python3
# Writes hand-built HEIF/AVIF files: item, property and reference boxes around
# the coding configuration of an ImageMagick-written file (im.heic / im.avif).
# The coded data is a placeholder: only the headers are read.
import struct
import sys


def box(kind, content):
    return struct.pack(">I4s", 8 + len(content), kind) + content


def full(kind, version, flags, content):
    return box(kind, struct.pack(">I", (version << 24) | flags) + content)


def find(data, path):
    # the content of the first box along a path of box types
    start, end = 0, len(data)
    for kind in path:
        while start < end:
            length, found = struct.unpack(">I4s", data[start:start + 8])
            if found == kind:
                start, end = start + 8, start + length
                if kind == b"meta":
                    start += 4
                break
            start += length
        else:
            raise KeyError(kind)
    return data[start:end]


def config(path, kind):
    ipco = find(open(path, "rb").read(), [b"meta", b"iprp", b"ipco"])
    return box(kind, find(ipco, [kind]))


def infe(item, kind, name=b"", content_type=b""):
    body = struct.pack(">HH4s", item, 0, kind) + name + b"\0"
    if kind == b"mime":
        body += content_type + b"\0"
    return full(b"infe", 2, 0, body)


def heif(brands, items, properties, associations, references, primary=1):
    ftyp = box(b"ftyp", brands[0] + b"\0\0\0\0" + b"".join(brands))
    iinf = full(b"iinf", 0, 0, struct.pack(">H", len(items)) + b"".join(items))
    ipco = box(b"ipco", b"".join(properties))
    ipma_body = struct.pack(">I", len(associations))
    for item, indices in associations:
        ipma_body += struct.pack(">HB", item, len(indices)) + bytes(indices)
    ipma = full(b"ipma", 0, 0, ipma_body)
    iref = full(b"iref", 0, 0, b"".join(box(kind, struct.pack(">HH", source, len(targets)) +
                                            b"".join(struct.pack(">H", t) for t in targets))
                                        for kind, source, targets in references))
    # every item's data is the same placeholder at the end of the file
    def meta(offset):
        iloc = full(b"iloc", 0, 0, b"\x44\x00" + struct.pack(">H", len(items)) +
                    b"".join(struct.pack(">HHHII", n + 1, 0, 1, offset, 11) for n in range(len(items))))
        return full(b"meta", 0, 0, full(b"hdlr", 0, 0, b"\0\0\0\0pict" + b"\0" * 13) +
                    full(b"pitm", 0, 0, struct.pack(">H", primary)) + iloc + iinf + iref + box(b"iprp", ipco + ipma))
    offset = len(ftyp) + len(meta(0)) + 8
    return ftyp + meta(offset) + box(b"mdat", b"placeholder")


def ispe(width, height):
    return full(b"ispe", 0, 0, struct.pack(">II", width, height))


def main():
    hvcc = config("im.heic", b"hvcC")
    av1c = config("im.avif", b"av1C")
    av1c = av1c[:10] + bytes([av1c[10] | 0x40]) + av1c[11:]  # high bit depth: 10 bits
    alpha = full(b"auxC", 0, 0, b"urn:mpeg:hevc:2015:auxid:1\0")
    nclx = box(b"colr", b"nclx" + struct.pack(">HHHB", 1, 13, 0, 0x80))
    icc = box(b"colr", b"prof" + open("/usr/share/color/icc/ghostscript/a98.icc", "rb").read())

    # 640x480 HEVC primary turned a quarter anticlockwise, then mirrored left to
    # right; a 160x120 thumbnail; a premultiplied alpha; Exif and XMP items
    rotated = heif(
        [b"heic", b"mif1", b"heic"],
        [infe(1, b"hvc1"), infe(2, b"hvc1"), infe(3, b"hvc1"), infe(4, b"Exif"),
         infe(5, b"mime", b"XMP", b"application/rdf+xml")],
        [hvcc, ispe(640, 480), box(b"irot", b"\x01"), box(b"imir", b"\x00"), ispe(160, 120), alpha, icc],
        [(1, [0x81, 2, 7, 3, 4]), (2, [0x81, 5]), (3, [0x81, 2, 6])],
        [(b"thmb", 2, [1]), (b"auxl", 3, [1]), (b"prem", 1, [3]), (b"cdsc", 4, [1]), (b"cdsc", 5, [1])])

    # 10-bit AVIF, nclx colour with an identity matrix, a 300x200 preview
    avif = heif(
        [b"avif", b"mif1", b"miaf"],
        [infe(1, b"av01"), infe(2, b"av01")],
        [av1c, ispe(1200, 800), box(b"pixi", b"\0\0\0\0\x03\x0a\x0a\x0a"), nclx, ispe(300, 200), box(b"irot", b"\x02")],
        [(1, [0x81, 2, 3, 4]), (2, [0x81, 5, 6])],
        [(b"thmb", 2, [1])])

    for name, data in [("rotated_thumb_alpha.heic", rotated), ("avif_preview.avif", avif)]:
        with open(name, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
