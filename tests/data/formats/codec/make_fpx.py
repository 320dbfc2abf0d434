#!/usr/bin/python3
"""Writes FlashPix samples: compound documents (512-byte sectors, the small
streams in the mini stream) holding an "Image Contents" property set and a
subimage header, as FlashPix writers lay them out.  No tool on Debian writes
FlashPix; python3-olefile reads the result back.

  /usr/bin/python3 make_fpx.py
"""
import struct

FREE, END, FATSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
FPX_CLSID = bytes.fromhex("0067615654C1CE118553 00AA00A1F95B".replace(" ", ""))


def property_set(properties):
    """A property set stream of one section; properties: (id, type, bytes)."""
    values, offsets = b"", []
    header_size = 8 + 8 * len(properties)
    for pid, vtype, data in properties:
        offsets.append((pid, header_size + len(values)))
        values += struct.pack("<I", vtype) + data + b"\0" * (-len(data) % 4)
    section = struct.pack("<II", header_size + len(values), len(properties))
    section += b"".join(struct.pack("<II", pid, off) for pid, off in offsets) + values
    head = struct.pack("<HHI", 0xFFFE, 0, 0x00020005) + b"\0" * 16 + struct.pack("<I", 1)
    head += b"\x11" * 16 + struct.pack("<I", 48)
    return head + section


def u32(v):
    return struct.pack("<I", v)


def r4(v):
    return struct.pack("<f", v)


def blob(channels, space):
    content = u32(0) + u32(channels) + struct.pack("<HH", 0, space) * channels
    return u32(len(content)) + content


def compound(streams):
    """streams: [(name, bytes)] below the root storage, all under 4096 bytes."""
    mini = b""
    minifat = []
    entries = []
    for name, data in streams:
        start = len(mini) // 64
        count = max(1, (len(data) + 63) // 64)
        minifat += [start + i + 1 for i in range(count - 1)] + [END]
        mini += data + b"\0" * (count * 64 - len(data))
        entries.append((name, 2, start, len(data)))
    mini += b"\0" * (-len(mini) % 512)
    minifat_bytes = b"".join(u32(v) for v in minifat)
    minifat_bytes += u32(FREE) * ((-len(minifat_bytes) // 4) % 128)
    # sectors: 0 FAT, 1 directory, 2 mini FAT, 3.. mini stream
    mini_sectors = len(mini) // 512
    fat = [FATSECT, END, END] + [4 + i for i in range(mini_sectors - 1)] + [END]
    fat += [FREE] * (128 - len(fat))

    def entry(name, etype, start, size, child=FREE, right=FREE, clsid=b"\0" * 16):
        units = name.encode("utf-16-le") + b"\0\0"
        return (units + b"\0" * (64 - len(units)) + struct.pack("<HBB", len(units), etype, 1) +
                struct.pack("<III", FREE, right, child) + clsid + b"\0" * 20 + struct.pack("<IQ", start, size))

    directory = entry("Root Entry", 5, 3, len(mini), child=1, clsid=FPX_CLSID)
    for i, (name, etype, start, size) in enumerate(entries):
        directory += entry(name, etype, start, size, right=i + 2 if i + 1 < len(entries) else FREE)
    directory += b"\0" * (-len(directory) % 512)
    assert len(directory) == 512
    header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16 + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) +
              b"\0" * 10 + u32(1) + u32(1) + u32(0) + u32(4096) + u32(2) + u32(1) + u32(END) + u32(0) +
              u32(0) + u32(FREE) * 108)
    return header + b"".join(u32(v) for v in fat) + directory + minifat_bytes + mini


def fpx(path, width, height, display_inches, channels, space, fmt=17):
    contents = property_set([
        (0x01000000, 19, u32(1)),
        (0x01000002, 19, u32(width)), (0x01000003, 19, u32(height)),
        (0x01000004, 4, r4(height / display_inches[1])), (0x01000005, 4, r4(width / display_inches[0])),
        (0x01000006, 19, u32(0)),
        (0x02000002, 65, blob(channels, space)), (0x02000003, 19, u32(fmt)),
    ])
    header = b"\0" * 28 + struct.pack("<9I", 36, width, height, 1, 64, 64, channels, 0, 16)
    with open(path, "wb") as out:
        out.write(compound([("\x05Image Contents", contents), ("Subimage 0000 Header", header)]))


# 300 x 200 RGB shown 2 x 4/3 inches: 150 ppi; 64 x 48 YCbCr with opacity at 72 ppi
fpx("rgb_150dpi.fpx", 300, 200, (150, 150), 3, 3)
fpx("ycc_alpha.fpx", 64, 48, (72, 72), 4, 2)
