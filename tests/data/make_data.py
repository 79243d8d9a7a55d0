#!/usr/bin/env python3
"""Writes the hand-made inputs of the regression corpus, byte by byte, so that
what each one is stays readable here. Run from this folder; the files are
committed, this script documents them."""
import struct, zlib

def bmp(name, w, h, bits, rows, table=b"", size_field=None, off=None, used=0):
    off = off if off is not None else 54 + len(table)
    data = b"BM" + struct.pack("<IHHI", size_field or off + len(rows), 0, 0, off)
    data += struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(rows), 0, 0, used, 0)
    data += table + rows
    open(name, "wb").write(data)

# A 3 x 2 24-bit picture and its bytes cut short inside the rows.
rows = bytes([0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,  255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0])
bmp("rgb-3x2.bmp", 3, 2, 24, rows)
bmp("rgb-3x2-truncated.bmp", 3, 2, 24, rows[:10])
# Dimensions whose pixel bytes do not fit 32 bits.
bmp("huge-dimensions.bmp", 70000, 70000, 24, rows)
# A pixel offset beyond the end of the file.
bmp("offset-past-end.bmp", 3, 2, 24, rows, off=4000)
# An 8-bit picture whose indices point past its 2-entry table.
bmp("index-past-table.bmp", 4, 1, 8, bytes([0, 1, 2, 255]), table=bytes([0, 0, 0, 0, 255, 255, 255, 0]), used=2)

# GIF: a 65535 x 65535 screen and image of a few bytes: decoded only as far
# as the data goes, without a picture of that size being refused outright
# unless it cannot be held.
def gif(name, w, h, lzw, min_code=2, table=b"\x00\x00\x00\xff\xff\xff\xff\x00\x00\x00\x00\xff", flags=0x81):
    data = b"GIF89a" + struct.pack("<HHBBB", w, h, flags, 0, 0) + table
    data += b"," + struct.pack("<HHHHB", 0, 0, w, h, 0) + bytes([min_code])
    for i in range(0, len(lzw), 255):
        chunk = lzw[i:i + 255]
        data += bytes([len(chunk)]) + chunk
    data += b"\x00;"
    open(name, "wb").write(data)

# Codes 4 (clear), 1, 2, 5 (end) in 3-bit codes: a 3 x 1 picture white, red... ;
# packed little-endian: 100 001 010 101 -> bits
def pack(codes, width):
    acc = n = 0
    out = bytearray()
    for c in codes:
        acc |= c << n
        n += width
        while n >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc)
    return bytes(out)

gif("three-pixels.gif", 3, 1, pack([4, 1, 2, 0, 5], 3))
gif("huge-screen-few-bytes.gif", 65535, 65535, pack([4, 1, 2, 5], 3))
gif("code-size-12.gif", 3, 1, pack([4, 1, 2, 0, 5], 3), min_code=12)
gif("zero-width.gif", 0, 1, pack([4, 1, 5], 3))

# TGA: a run-length header promising far more pixels than the data holds.
def tga(name, kind, w, h, bits, body, desc=0):
    data = struct.pack("<BBBHHBHHHHBB", 0, 0, kind, 0, 0, 0, 0, 0, w, h, bits, desc) + body
    open(name, "wb").write(data)

tga("rle-overpromise.tga", 10, 60000, 60000, 24, bytes([0xFF, 1, 2, 3]))
tga("raw-2x2-topleft.tga", 2, 2, 2, 24, bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9]), desc=0x20)
tga("unknown-type.tga", 7, 2, 2, 24, bytes(12))

# PCX: an 8-bit file too short to hold its 769-byte palette.
def pcx_header(w, h, bits, planes, bpl):
    hdr = bytes([10, 5, 1, bits]) + struct.pack("<HHHH", 0, 0, w - 1, h - 1) + struct.pack("<HH", 72, 72)
    hdr += bytes(48) + bytes([0, planes]) + struct.pack("<HH", bpl, 1) + bytes(58)
    assert len(hdr) == 128
    return hdr

open("short-palette.pcx", "wb").write(pcx_header(4, 1, 8, 1, 4) + bytes([1, 2, 3, 4]) + b"\x0c" + bytes(30))
open("two-planes-8bit.pcx", "wb").write(pcx_header(4, 1, 8, 2, 4) + bytes(8))

# JPEG: the start-of-image marker and nothing after it.
open("soi-only.jpg", "wb").write(b"\xff\xd8")
