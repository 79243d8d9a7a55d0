#!/usr/bin/env python3
"""Time and peak memory of three tiny hostile JPEG files, korvex-convert
against djpeg in the same run (medians of RUNS whole-process runs, measured
with /usr/bin/time -v), then a check that well-formed files still come out
pixel for pixel as djpeg decodes them.

    bench/hostile_jpeg.py [BUILD_DIR]      RUNS=N for other than 5 repeats

The files: 288 bytes declaring 26000 x 26000 (baseline, coded data for the
first hundred MCUs); about 120 bytes declaring 32800 x 10280 (arithmetic
coding, cut off); 75 KB of a progressive 3840 x 3840 file with 3000 scans.
"""
import os
import re
import statistics
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-bench")
RUNS = int(os.environ.get("RUNS", "5"))
KC = os.path.join(BUILD, "tools", "korvex-convert")


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def frame(marker, width, height, components):
    p = struct.pack(">BHHB", 8, height, width, len(components))
    for cid, sampling in components:
        p += bytes([cid, sampling, 0])
    return segment(marker, p)


FLAT_QUANT = segment(0xDB, bytes([0]) + bytes([1] * 64))


def one_code_table(table_class, symbol):
    return segment(0xC4, bytes([table_class << 4, 1]) + bytes(15) + bytes([symbol]))


def scan(ids, ss, se):
    return segment(0xDA, bytes([len(ids)]) + b"".join(bytes([i, 0]) for i in ids) + bytes([ss, se, 0]))


def huge_baseline():
    f = b"\xff\xd8" + FLAT_QUANT + frame(0xC0, 26000, 26000, [(1, 0x22), (2, 0x11), (3, 0x11)])
    f += one_code_table(0, 0) + one_code_table(1, 0) + scan([1, 2, 3], 0, 63)
    return f + bytes(288 - 2 - len(f)) + b"\xff\xd9"


def huge_arithmetic():
    f = b"\xff\xd8" + FLAT_QUANT + frame(0xC9, 32800, 10280, [(1, 0x11)]) + scan([1], 0, 63)
    seed = 7
    while len(f) < 120:
        seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
        f += bytes([(seed >> 16) % 255])
    return f


def many_scans(scans=3000, size=3840):
    f = b"\xff\xd8" + FLAT_QUANT + frame(0xC2, size, size, [(1, 0x11)]) + one_code_table(1, 0xE0)
    blocks = (size // 8) ** 2
    runs = 1
    while blocks % runs or blocks // runs > 32767:
        runs += 1
    bits = "".join("0" + format(blocks // runs - 16384, "014b") for _ in range(runs))
    bits += "1" * (-len(bits) % 8)
    data = b"".join(bytes([int(bits[i:i + 8], 2)]) + (b"\0" if bits[i:i + 8] == "1" * 8 else b"")
                    for i in range(0, len(bits), 8))
    return f + (scan([1], 1, 63) + data) * scans + b"\xff\xd9"


def measure(cmd):
    """(seconds, peak resident KB) medians over RUNS runs."""
    times, peaks = [], []
    for _ in range(RUNS):
        r = subprocess.run(["/usr/bin/time", "-v"] + cmd, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True)
        wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", r.stderr)
        h, m, s = wall.groups()
        times.append(int(h or 0) * 3600 + int(m) * 60 + float(s))
        peaks.append(int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr).group(1)))
    return statistics.median(times), statistics.median(peaks)


def main():
    if not os.access(KC, os.X_OK):
        subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                        "-DKORVEX_BUILD_GUI=OFF", "-DKORVEX_BUILD_TESTS=OFF"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", "korvex-convert", "korvex-samplegen"],
                       check=True, stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as w:
        print(f"median of {RUNS} runs; ours = korvex-convert --info, peer = djpeg > /dev/null")
        # What starting the process costs at all: --info on a 1 x 1 BMP.
        one = os.path.join(w, "one.bmp")
        with open(one, "wb") as f:
            f.write(b"BM" + struct.pack("<IIII iiHHIIiiII", 58, 0, 54, 40, 1, 1, 1, 24, 0, 4, 0, 0, 0, 0) + bytes(4))
        ft, fm = measure([KC, "--info", one])
        print(f"{'start-up floor (1x1 BMP)':24} {58:6} B | ours {ft:7.3f} s {fm / 1024:7.1f} MB")
        for name, data in (("26000x26000 baseline", huge_baseline()),
                           ("32800x10280 arithmetic", huge_arithmetic()),
                           ("3000-scan progressive", many_scans())):
            path = os.path.join(w, "f.jpg")
            with open(path, "wb") as f:
                f.write(data)
            ot, om = measure([KC, "--info", path])
            pt, pm = measure(["djpeg", "-outfile", "/dev/null", path])
            print(f"{name:24} {len(data):6} B | ours {ot:7.3f} s {om / 1024:7.1f} MB"
                  f" | djpeg {pt:7.3f} s {pm / 1024:7.1f} MB | time ratio {ot / pt:.3f}")

        # Well-formed files: the same pixels as djpeg's.
        photo = os.path.join(w, "photo.bmp")
        subprocess.run([os.path.join(BUILD, "tools", "samplegen", "korvex-samplegen"), "1501", "997", photo],
                       check=True)
        for label, args in (("baseline 4:2:0", []), ("progressive", ["-progressive"]),
                            ("restart markers", ["-restart", "1"]), ("greyscale", ["-grayscale"])):
            jpg = os.path.join(w, "photo.jpg")
            with open(jpg, "wb") as f:
                subprocess.run(["cjpeg", "-quality", "90"] + args + [photo], stdout=f, check=True)
            ours_bmp = os.path.join(w, "ours.bmp")
            subprocess.run([KC, jpg, ours_bmp], check=True)
            ours = subprocess.run(["bmptoppm", ours_bmp], capture_output=True).stdout
            peer = subprocess.run(["djpeg", "-pnm", jpg], capture_output=True).stdout
            if label == "greyscale":
                peer = subprocess.run(["pgmtoppm", "white"], input=peer, capture_output=True).stdout
            print(f"well-formed {label:16} same pixels as djpeg: {'yes' if ours == peer else 'NO'}")


if __name__ == "__main__":
    main()
