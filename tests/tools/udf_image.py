#!/usr/bin/python3
"""Writes a UDF disc image of a DVD-VR directory, without mounting, for the
tests: python3 udf_image.py DIR OUT.iso [--fragment].

The image is made with pycdlib (Debian python3-pycdlib). With --fragment,
VR_MOVIE.VRO is then stored as a real-time file (UDF file type 249) in two
extents kept in the reverse order on the medium: its second half first,
then its first half, as a recorder's fragmented file may lie. Readers that
follow only the first extent of a file read it wrong.
"""
import io
import os
import struct
import sys

import pycdlib

NAMES = ("VR_MANGR.IFO", "VR_MANGR.BUP", "VR_MOVIE.VRO", "VR_STILL.VRO")
BLOCK = 2048


def crc_ccitt(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def seal(desc, length):
    """Recomputes a descriptor tag's CRC (over `length` bytes) and checksum."""
    crc_len = length - 16
    struct.pack_into("<HH", desc, 8, crc_ccitt(bytes(desc[16:16 + crc_len])), crc_len)
    desc[4] = (sum(desc[0:4]) + sum(desc[5:16])) & 0xFF


def fragment(image, entry_sector, part_start, first_block, size):
    """VR_MOVIE.VRO's data at partition block first_block, size bytes: its
    halves swapped on the medium, two short allocation descriptors pointing
    at them in file order, file type 249."""
    blocks = (size + BLOCK - 1) // BLOCK
    head = blocks // 2  # the first half's whole blocks
    start = (part_start + first_block) * BLOCK
    data = bytes(image[start:start + blocks * BLOCK])
    first, second = data[:head * BLOCK], data[head * BLOCK:]
    image[start:start + blocks * BLOCK] = second + first
    entry = entry_sector * BLOCK
    fe = bytearray(image[entry:entry + BLOCK])
    tag = struct.unpack_from("<H", fe, 0)[0]
    assert tag == 261, "a File Entry was expected"
    fe[16 + 11] = 249  # ICB tag: file type real-time file
    len_ea = struct.unpack_from("<I", fe, 168)[0]
    ads = 176 + len_ea
    second_len = size - head * BLOCK
    struct.pack_into("<II", fe, ads, head * BLOCK, first_block + (blocks - head))
    struct.pack_into("<II", fe, ads + 8, second_len, first_block)
    struct.pack_into("<I", fe, 172, 16)
    seal(fe, ads + 16)
    image[entry:entry + BLOCK] = fe


def main():
    source, out = sys.argv[1], sys.argv[2]
    fragmented = "--fragment" in sys.argv[3:]
    iso = pycdlib.PyCdlib()
    iso.new(udf="2.60", interchange_level=3, vol_ident="DVDVR")
    iso.add_directory("/DVD_RTAV", udf_path="/DVD_RTAV")
    streams = []
    for name in NAMES:
        path = os.path.join(source, name)
        if not os.path.exists(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        streams.append(io.BytesIO(data))
        iso.add_fp(streams[-1], len(data), "/DVD_RTAV/" + name + ";1", udf_path="/DVD_RTAV/" + name)
    iso.write(out)
    iso.close()
    if not fragmented:
        return
    iso = pycdlib.PyCdlib()
    iso.open(out)
    record = iso.get_record(udf_path="/DVD_RTAV/VR_MOVIE.VRO")
    part_start = iso.udf_main_descs.partitions[0].part_start_location
    entry_sector = record.extent_location()
    first_block = record.alloc_descs[0].log_block_num
    size = record.get_data_length()
    iso.close()
    with open(out, "rb") as f:
        image = bytearray(f.read())
    fragment(image, entry_sector, part_start, first_block, size)
    with open(out, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main()
