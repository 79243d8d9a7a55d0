"""Bitmaps other programs write open with their own colours: a 5-6-5
bit-field BMP made by ImageMagick, then (Next) an 8-bit PCX whose palette
information field holds a large number."""
import struct
import subprocess

import korvex_e2e as k

MAGENTA = (255, 0, 255)  # exact in 5-6-5; read as 5-5-5 its red would be 247


def write_pcx(path, width, height, edge, palette):
    """An 8-bit PCX: index 1 inside a border of index 0; palette information 36743."""
    header = bytearray(128)
    header[0:4] = bytes([10, 5, 1, 8])
    header[8:12] = struct.pack("<HH", width - 1, height - 1)
    header[65] = 1
    header[66:70] = struct.pack("<HH", width, 36743)
    rows = bytearray()
    for y in range(height):
        border = y < edge or y >= height - edge
        rows += bytes(0 if border or x < edge or x >= width - edge else 1 for x in range(width))
    table = bytearray(768)
    for i, rgb in enumerate(palette):
        table[3 * i:3 * i + 3] = bytes(rgb)
    with open(path, "wb") as f:
        f.write(bytes(header) + bytes(rows) + b"\x0c" + bytes(table))


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/source.bmp", 640, 400, MAGENTA)
    subprocess.run(["convert", pics + "/source.bmp", "-define", "bmp:subtype=RGB565", "BMP:" + pics + "/a.bmp"],
                   check=True)
    write_pcx(pics + "/b.pcx", 500, 300, 16, [k.BORDER, MAGENTA])
    wid = s.start_korvex(pics + "/a.bmp", animations=False)
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    outer, _, _ = s.wait_picture(wid, MAGENTA)
    k.check(outer[2] - outer[0] == 640, "the 5-6-5 bitmap is not shown in its colours at its size: %s" % (outer,))
    s.activate(wid)
    s.key("Next")
    s.wait_title(wid, "b.pcx - " + k.APP_TITLE)
    outer, _, _ = s.wait_picture(wid, MAGENTA)
    k.check(outer[2] - outer[0] == 500, "the PCX is not shown with the palette at its end: %s" % (outer,))
