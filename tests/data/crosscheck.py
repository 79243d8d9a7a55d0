#!/usr/bin/env python3
"""Checks the pixel checksums of expected.tsv against other decoders: the
netpbm reader of the format where there is one (tgatoppm, pcxtoppm,
giftopnm, bmptoppm), ImageMagick's `convert FILE rgb:-` otherwise and as a
second opinion. Both give top-down RGB, the bytes the test hashes. Prints
one line per loaded file; review every difference (see the notes in
expected.tsv for the known ones).
    tests/data/crosscheck.py   (from the repository root)"""
import subprocess, sys, zlib

NETPBM = {".tga": "tgatoppm", ".pcx": "pcxtoppm", ".gif": "giftopnm", ".bmp": "bmptoppm"}


def peers(path):
    ext = path[path.rfind("."):].lower()
    if ext in NETPBM:
        yield NETPBM[ext], [NETPBM[ext], path]
    yield "convert", ["/usr/bin/convert", ("tga:" if ext == ".tga" else "") + path, "-depth", "8", "rgb:-"]


def ppm_pixels(data):
    """The pixel bytes of a binary PPM (P6) or PGM (P5, expanded to RGB)."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pixels = data[pos + 1:]
    if fields[0] == b"P5":
        return bytes(b for v in pixels for b in (v, v, v))
    if fields[0] != b"P6":
        raise ValueError("not a binary PPM")
    return pixels


agree = differ = 0
for line in open("tests/data/expected.tsv", encoding="utf-8"):
    if line.startswith("#") or not line.strip():
        continue
    cols = line.rstrip("\n").split("\t")
    if cols[1] != "loaded" or cols[5] == "-":
        continue
    path, crc = cols[0], cols[5]
    results = []
    for name, command in peers(path):
        try:
            out = subprocess.run(command, capture_output=True, check=True).stdout
            results.append((name, "%08x" % zlib.crc32(ppm_pixels(out) if name != "convert" else out)))
        except (subprocess.CalledProcessError, FileNotFoundError, ValueError):
            results.append((name, "refused"))
    ok = any(c == crc for _, c in results)
    agree += ok
    differ += not ok
    print(("agree " if ok else "DIFFER") + "\t" + path + "\t" + " ".join(f"{n}={c}" for n, c in results))
print(f"{agree} agree, {differ} differ", file=sys.stderr)
