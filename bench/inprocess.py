#!/usr/bin/env python3
"""Runs the Google Benchmark programs of bench/ and prints one line per
comparison for compare.sh's table:

    KEY <tab> WORKLOAD <tab> OURS <tab> PEER <tab> PEER_VALUE <tab> NOTES

Values are medians in milliseconds (of the repetitions each program asks
for). The peers here are what runs in the same process: QPainter and
QImage for drawing and turning, memcpy for copies, a bare readdir for the
folder listing.

    inprocess.py BENCH_DIR
"""
import json
import re
import subprocess
import sys

UNIT_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def run(program):
    out = subprocess.run([program, "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    medians = {}
    for b in json.loads(out)["benchmarks"]:
        # Programs with several repetitions report aggregates; single runs report the run.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        # "Ours/24/repeats:5/real_time" -> "Ours/24"
        name = re.sub(r"/(repeats|iterations):\d+|/real_time|/manual_time", "", b.get("run_name", b["name"]))
        scale = UNIT_MS[b.get("time_unit", "ns")]
        medians[name] = {"ms": b["real_time"] * scale}
        for key, value in b.items():
            if key in ("per_step",):
                medians[name][key] = value * 1e3  # seconds per step -> ms
            elif key in ("steps",):
                medians[name][key] = value
    return medians


def fmt(ms):
    return f"{ms:.3f}" if ms < 10 else f"{ms:.1f}"


def main():
    bench = sys.argv[1]
    rows = []

    def row(key, workload, ours, peer, peer_ms, notes=""):
        rows.append("\t".join([key, workload, fmt(ours), peer, fmt(peer_ms), notes]))

    draw = run(f"{bench}/bench_drawdib")
    for case, what in (("fit", "at the fit factor"), ("zoom2_middle", "at 2.0, scrolled to the middle")):
        row(f"draw-{case}", f"DrawDib 1920x1080 viewport from 6000x4000, {what}", draw[f"Ours/{case}"]["ms"],
            "QPainter::drawImage", draw[f"QtDrawImage/{case}"]["ms"], "in process")

    turn = run(f"{bench}/bench_rotate")
    for depth in (1, 4, 8, 24, 32):
        ours = turn[f"Ours/{depth}"]["ms"]
        qt = turn.get(f"QtTransformed/{depth}")
        if qt:
            row(f"rotate-qt-{depth}", f"rotate 90 {depth}-bit 6000x4000", ours, "QImage::transformed", qt["ms"],
                "in process")
        if depth == 24:
            row(f"rotate-copy-{depth}", f"rotate 90 {depth}-bit 6000x4000", ours, "malloc + memcpy",
                turn[f"AllocCopy/{depth}"]["ms"], "a copy into a new block, as the turn makes")

    quant = run(f"{bench}/bench_quantizer")
    octree = next(v for k, v in quant.items() if k.startswith("BM_OctreePalette"))
    change = next(v for k, v in quant.items() if k.startswith("BM_ChangeBitCount8"))
    row("octree", "octree palette 6000x4000 (256 colours)", octree["ms"], "-", float("nan"), "no peer in process")
    row("change8", "ChangeBitCount(8) 6000x4000 (palette + mapping)", change["ms"], "-", float("nan"),
        "goal: under 1.5 s")

    folder = run(f"{bench}/bench_folder")
    for count in (500, 10000):
        row(f"folder-{count}", f"ListPictureFiles, folder of {count} files", folder[f"BM_ListPictureFiles/{count}"]["ms"],
            "bare readdir", folder[f"BM_BareDirectoryRead/{count}"]["ms"], "one in 20 a picture")

    formats = run(f"{bench}/bench_formats")
    row("tga-raw", "ReadTga raw 24-bit 6000x4000 from memory", formats["BM_ReadTgaRaw"]["ms"],
        "malloc + memcpy", formats["BM_CopyIntoFreshMemory"]["ms"], "the same bytes into fresh memory")

    jpeg = run(f"{bench}/bench_jpeg_reduce")
    row("jpeg-fitted", "JPEG q75 6000x4000 decoded for a 1916x1004 view (1506x1004)", jpeg["BM_JpegFitted"]["ms"],
        "the whole decode", jpeg["BM_JpegWhole"]["ms"], "libjpeg's 1/2, averaged while decoding")

    effects = run(f"{bench}/bench_effects")
    plain = effects["Draw"]["ms"]
    for name in ("ShowHorizontalBlinds", "ShowVerticalBlinds", "ShowMosaic", "ShowScanDown", "ShowScanUp"):
        e = next(v for k, v in effects.items() if k.startswith(f"Step/{name}"))
        row(f"effect-{name}", f"{name}, one step on 1920x1080 24-bit", e["per_step"], "one plain full draw", plain,
            f"{int(e['steps'])} steps, pauses not counted")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
