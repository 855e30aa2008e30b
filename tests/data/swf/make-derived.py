#!/usr/bin/python3
"""Makes the uncompressed (FWS) and LZMA (ZWS) movies the tests read from two real CWS movies,
with Python's zlib and lzma; run after fetch-npm.sh."""
import lzma
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))


def body_of(name):
    with open(os.path.join(here, name), "rb") as f:
        data = f.read()
    assert data[:3] == b"CWS", name
    return data[3], struct.unpack("<I", data[4:8])[0], zlib.decompress(data[8:])


def write(name, data):
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


version, length, body = body_of("soundmanager2.swf")
write("soundmanager2-fws.swf", b"FWS" + bytes([version]) + struct.pack("<I", length) + body)

# ZWS: signature, version, length, compressed length, 5 bytes of LZMA properties, then the
# raw LZMA data; the .lzma ("alone") format is the properties, 8 bytes of size, the data.
version, length, body = body_of("soundmanager2_flash9.swf")
alone = lzma.compress(body, format=lzma.FORMAT_ALONE)
props, data = alone[:5], alone[13:]
write("soundmanager2_flash9-zws.swf",
      b"ZWS" + bytes([version]) + struct.pack("<II", length, len(data)) + props + data)
