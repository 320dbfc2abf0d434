#!/usr/bin/python3
"""Writes the KTX samples (no Debian package writes KTX): the headers and
level layout as the Khronos KTX 1 and KTX 2 file formats lay them out, the
pixel data zero.

  /usr/bin/python3 make_ktx.py [FOLDER]      into FOLDER (default: this script's folder)
"""
import os
import struct
import sys

os.chdir(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))

KTX1 = b"\xabKTX 11\xbb\r\n\x1a\n"
KTX2 = b"\xabKTX 20\xbb\r\n\x1a\n"


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def key_values(pairs, order):
    out = b""
    for key, value in pairs:
        pair = key.encode() + b"\0" + value.encode() + b"\0"
        out += pad4(struct.pack(order + "I", len(pair)) + pair)
    return out


def ktx1(name, order, gl_type, gl_format, internal, base, width, height, levels, faces=1,
         block=None, pairs=()):
    kv = key_values(pairs, order)
    head = KTX1 + struct.pack(order + "13I", 0x04030201, gl_type, 1 if gl_type else 1, gl_format,
                              internal, base, width, height, 0, 0, faces, levels, len(kv))
    body = b""
    for level in range(max(levels, 1)):
        w, h = max(1, width >> level), max(1, height >> level)
        size = block(w, h)
        body += struct.pack(order + "I", size) + pad4(b"\0" * size) * (6 if faces == 6 else 1)
    open(name, "wb").write(head + kv + body)


def ktx2(name, vk_format, width, height, levels, scheme, model, samples, level_bytes, transfer=1,
         pairs=()):
    # The data format descriptor: one basic block, 16 bytes a sample.
    block_size = 24 + 16 * len(samples)
    dfd = struct.pack("<I", 4 + block_size) + struct.pack("<IIBBBB", 0, (block_size << 16) | 2, model, 1,
                                                            transfer, 0)
    dfd += bytes([0, 0, 0, 0]) + bytes(8)
    for offset, bits, channel in samples:
        dfd += struct.pack("<HBB", offset, bits - 1, channel) + bytes(12)
    kv = key_values(pairs, "<")
    index_end = 80 + 24 * levels
    dfd_at = index_end
    kv_at = dfd_at + len(dfd)
    data_at = kv_at + len(kv)
    data_at += -data_at % 16
    index, data = b"", b""
    for level in range(levels):
        size = level_bytes(max(1, width >> level), max(1, height >> level))
        index += struct.pack("<QQQ", data_at + len(data), size, size)
        data += b"\0" * size + b"\0" * (-size % 16)
    head = KTX2 + struct.pack("<9I", vk_format, 1, width, height, 0, 0, 1, levels, scheme)
    head += struct.pack("<4I2Q", dfd_at, len(dfd), kv_at, len(kv), 0, 0)
    body = head + index + dfd + kv
    body += b"\0" * (data_at - len(body))
    open(name, "wb").write(body + data)


GL_UNSIGNED_BYTE, GL_RGB, GL_RGBA, GL_RGBA8, GL_RGB8 = 0x1401, 0x1907, 0x1908, 0x8058, 0x8051
DXT1 = 0x83F0
ktx1("rgba8_mips.ktx", "<", GL_UNSIGNED_BYTE, GL_RGBA, GL_RGBA8, GL_RGBA, 16, 8, 5,
     block=lambda w, h: 4 * w * h, pairs=[("KTXorientation", "S=r,T=u"), ("KTXwriter", "make_ktx.py")])
ktx1("dxt1_be.ktx", ">", 0, 0, DXT1, GL_RGB, 8, 8, 1, block=lambda w, h: 8 * ((w + 3) // 4) * ((h + 3) // 4))
ktx1("cube.ktx", "<", GL_UNSIGNED_BYTE, GL_RGB, GL_RGB8, GL_RGB, 4, 4, 1, faces=6, block=lambda w, h: 3 * w * h)
ktx2("srgba8.ktx2", 43, 8, 4, 2, 0, 1, [(0, 8, 0), (8, 8, 1), (16, 8, 2), (24, 8, 15)],
     lambda w, h: 4 * w * h, transfer=2, pairs=[("KTXwriter", "make_ktx.py")])
ktx2("bc5_zstd.ktx2", 141, 16, 16, 1, 2, 132, [(0, 64, 0), (64, 64, 1)],
     lambda w, h: 16 * ((w + 3) // 4) * ((h + 3) // 4))
