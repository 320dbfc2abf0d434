#!/usr/bin/python3
# Writes the hand-built PDF samples: cross-reference streams with a PNG
# predictor, object streams, an incremental update and a hybrid file.
import zlib


def png_up(rows, width):
    out = b""
    previous = bytes(width)
    for row in rows:
        out += b"\x02" + bytes((row[i] - previous[i]) & 0xFF for i in range(width))
        previous = row
    return out


def object_stream(objects):
    header = b""
    body = b""
    for number, text in objects:
        header += b"%d %d " % (number, len(body))
        body += text + b"\n"
    return header, body


def write_xref_stream_pdf(path, hybrid):
    out = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}

    def add(number, body):
        offsets[number] = len(out)
        out.extend(b"%d 0 obj\n" % number + body + b"\nendobj\n")

    content = b"0 0 m 100 100 l S"
    add(4, b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
    xmp = b'<x:xmpmeta xmlns:x="adobe:ns:meta/"></x:xmpmeta>'
    add(7, b"<< /Type /Metadata /Subtype /XML /Length %d >>\nstream\n" % len(xmp) + xmp + b"\nendstream")
    compressed = [
        (1, b"<< /Type /Catalog /Pages 2 0 R /Metadata 7 0 R >>"),
        (2, b"<< /Type /Pages /Kids [3 0 R 8 0 R] /Count 2 /MediaBox [0 0 419.53 595.28] /Rotate 90 >>"),
        (3, b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Rotate 270 /CropBox [10 10 400 580] >>"),
        (8, b"<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"),
        (6, b"<< /Title <FEFF004F0072006900670069006E0061006C> /Producer (make_samples.py) >>"),
    ]
    header, body = object_stream(compressed)
    data = zlib.compress(header + body)
    add(5, b"<< /Type /ObjStm /N %d /First %d /Filter /FlateDecode /Length %d >>\nstream\n"
        % (len(compressed), len(header), len(data)) + data + b"\nendstream")

    # cross-reference stream: type, offset or stream number (2 bytes), index
    rows = []
    for number in range(10):
        if number in offsets:
            rows.append(bytes([1]) + offsets[number].to_bytes(2, "big") + b"\x00")
        elif number in dict(compressed):
            index = [n for n, _ in compressed].index(number)
            rows.append(bytes([2]) + (5).to_bytes(2, "big") + bytes([index]))
        else:
            rows.append(bytes([0, 0, 0, 0xFF]))
    xref_offset = len(out)
    offsets[9] = xref_offset
    rows[9] = bytes([1]) + xref_offset.to_bytes(2, "big") + b"\x00"
    data = zlib.compress(png_up(rows, 4))
    add(9, b"<< /Type /XRef /Size 10 /W [1 2 1] /Root 1 0 R /Info 6 0 R /Filter /FlateDecode"
        b" /DecodeParms << /Predictor 12 /Columns 4 >> /Length %d >>\nstream\n" % len(data)
        + data + b"\nendstream")

    if hybrid:
        # a classic table for the plain objects that names the stream through /XRefStm
        table_offset = len(out)
        out.extend(b"xref\n0 1\n0000000000 65535 f \n4 1\n%010d 00000 n \n7 1\n%010d 00000 n \n"
                   % (offsets[4], offsets[7]))
        out.extend(b"trailer\n<< /Size 10 /Root 1 0 R /Info 6 0 R /XRefStm %d >>\n" % xref_offset)
        out.extend(b"startxref\n%d\n%%%%EOF\n" % table_offset)
    else:
        out.extend(b"startxref\n%d\n%%%%EOF\n" % xref_offset)
        # incremental update: a new document information dictionary
        info_offset = len(out)
        out.extend(b"6 0 obj\n<< /Title (Updated title) /Producer (make_samples.py) >>\nendobj\n")
        table_offset = len(out)
        out.extend(b"xref\n0 1\n0000000000 65535 f \n6 1\n%010d 00000 n \n" % info_offset)
        out.extend(b"trailer\n<< /Size 10 /Root 1 0 R /Info 6 0 R /Prev %d >>\n" % xref_offset)
        out.extend(b"startxref\n%d\n%%%%EOF\n" % table_offset)
    with open(path, "wb") as f:
        f.write(out)


write_xref_stream_pdf("xref_stream_update.pdf", hybrid=False)
write_xref_stream_pdf("hybrid.pdf", hybrid=True)


def inflate_vectors():
    # deflate streams of a text the tests rebuild: dynamic and fixed codes,
    # stored blocks, a raw stream without the zlib wrapper
    text = b"".join(b"%d 0 obj << /Type /Page /N %d >> endobj\n" % (i, i * i % 977) for i in range(1000))
    fixed = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_FIXED)
    raw = zlib.compressobj(9, zlib.DEFLATED, -15)
    streams = [zlib.compress(text, 9), fixed.compress(text) + fixed.flush(), zlib.compress(text[:4000], 0),
               raw.compress(text) + raw.flush()]
    with open("inflate_vectors.bin", "wb") as f:
        for stream in streams:
            f.write(len(stream).to_bytes(4, "big") + stream)


inflate_vectors()
