#!/usr/bin/env python3
"""Paints a centred block of one colour into a 24-bit BMP, so that a probe of
the screen's centre pixel can tell when the picture is shown.

    mark.py IN.bmp OUT.bmp RRGGBB FRACTION

FRACTION is the block's share of the width and of the height (0 < f <= 1).
"""
import struct
import sys


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    src, dst, colour, fraction = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
    data = bytearray(open(src, "rb").read())
    if data[:2] != b"BM":
        sys.exit("mark.py: not a BMP")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or width <= 0 or height == 0:
        sys.exit("mark.py: only 24-bit BMPs")
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    r, g, b = bytes.fromhex(colour)
    bw, bh = max(1, int(width * fraction)), max(1, int(height * fraction))
    x0, y0 = (width - bw) // 2, (height - bh) // 2
    run = bytes((b, g, r)) * bw  # BMP pixels are blue, green, red
    for y in range(y0, y0 + bh):
        start = offset + y * stride + x0 * 3
        data[start:start + len(run)] = run
    open(dst, "wb").write(data)


if __name__ == "__main__":
    main()
