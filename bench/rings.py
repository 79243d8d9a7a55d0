#!/usr/bin/env python3
"""How clean a fine pattern stays when shrunk to fit.

A 4000 x 3000 picture of concentric rings, finer towards the corners than a
screen can show, is opened in ours (maximized window) and in feh -F, eog -f
and gwenview -f on a 1920 x 1080 Xvfb screen with openbox. In each
screenshot the picture's rectangle is found and compared with ImageMagick's
exact area average (box filter) of the picture at that size: the RMS error
in 8-bit units, 0 for a perfect box reduction; moire shows as a large error.
The screenshots and a side-by-side of the middle of each picture's left edge
(where a reduction that drops pixels shows rings of its own) stay in OUT.

    bench/rings.py [BUILD_DIR] [OUT]
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
OUT = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="rings-")
W, H = 4000, 3000


def make_rings(path):
    """Phase pi * r^2 / 5000: the local frequency r / 5000 cycles a pixel
    reaches the picture's own limit (1/2) only at its corners. The rings run
    from magenta to green, so that every mixture keeps R = B = 255 - G and
    the picture is told from a viewer's own greys in a screenshot."""
    cx, cy = W / 2, H / 2
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (W, H))
        for y in range(H):
            dy2 = (y + 0.5 - cy) ** 2
            row = bytearray(3 * W)
            for x in range(W):
                v = int(127.5 + 127.5 * math.cos(math.pi * ((x + 0.5 - cx) ** 2 + dy2) / 5000))
                row[3 * x], row[3 * x + 1], row[3 * x + 2] = v, 255 - v, v
            f.write(row)


def picture_box(png):
    """The bounding box (w, h, x, y) of the rows and columns on the
    magenta-green line in a screenshot, or None."""
    ppm = subprocess.run(["convert", png, "ppm:-"], capture_output=True, check=True).stdout
    _, w, h, _, pix = ppm.split(maxsplit=4)
    w, h = int(w), int(h)
    x0 = y0 = 1 << 30
    x1 = y1 = -1
    for y in range(h):
        row = pix[3 * w * y:3 * w * (y + 1)]
        hits = [x for x in range(w) if abs(row[3 * x] - row[3 * x + 2]) < 6 and
                abs(row[3 * x] + row[3 * x + 1] - 255) < 6 and row[3 * x] != row[3 * x + 1]]
        if len(hits) > w // 10:
            y0, y1 = min(y0, y), max(y1, y)
            x0, x1 = min(x0, hits[0]), max(x1, hits[-1])
    return (x1 - x0 + 1, y1 - y0 + 1, x0, y0) if x1 >= 0 else None


def main():
    os.makedirs(OUT, exist_ok=True)
    work = tempfile.mkdtemp(prefix="rings-work-")
    procs = []
    try:
        make_rings(os.path.join(work, "rings.ppm"))
        rings = os.path.join(work, "rings.bmp")
        subprocess.run(["convert", os.path.join(work, "rings.ppm"), "-type", "TrueColor", "BMP3:" + rings], check=True)
        norand = os.path.join(work, "norand.so")
        subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", norand, os.path.join(ROOT, "bench", "norand.c")],
                       check=True)
        home = os.path.join(work, "home")
        os.makedirs(home)
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share",
                   XDG_CACHE_HOME=home + "/.cache", XDG_RUNTIME_DIR=work)
        env.pop("WAYLAND_DISPLAY", None)
        rfd, wfd = os.pipe()
        procs.append(subprocess.Popen(["Xvfb", "-displayfd", str(wfd), "-screen", "0", "1920x1080x24", "-nolisten",
                                       "tcp"], pass_fds=(wfd,), stderr=subprocess.DEVNULL))
        os.close(wfd)
        env["DISPLAY"] = ":" + os.read(rfd, 16).decode().strip()
        procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
        time.sleep(1)
        viewers = [("ours", ["env", "KORVEX_NO_ANIMATION=1", "LD_PRELOAD=" + norand,
                             os.path.join(BUILD, "app", "korvex"), rings]),
                   ("feh", ["feh", "-F", rings]), ("eog", ["eog", "-f", rings]),
                   ("gwenview", ["gwenview", "-f", rings])]
        print("fine rings shrunk to fit from %dx%d: where the picture is on the screen and the RMS error" % (W, H))
        print("(8-bit units) of its green channel against ImageMagick's exact area average at that size")
        corners = []
        for name, cmd in viewers:
            if not shutil.which(cmd[0]):
                continue
            viewer = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(6)
            shot = os.path.join(OUT, name + ".png")
            subprocess.run(["import", "-window", "root", shot], env=env, check=True)
            viewer.kill()
            viewer.wait()
            box = picture_box(shot)
            if not box:
                print("%-9s no picture on the screen" % name)
                continue
            w, h, x, y = box
            geometry = "%dx%d+%d+%d" % box
            seen, ideal = os.path.join(work, name + ".pgm"), os.path.join(work, name + "-ideal.pgm")
            subprocess.run(["convert", shot, "-crop", geometry, "+repage", "-channel", "G", "-separate", seen],
                           check=True)
            subprocess.run(["convert", rings, "-filter", "box", "-resize", "%dx%d!" % (w, h), "-channel", "G",
                            "-separate", ideal], check=True)
            r = subprocess.run(["compare", "-metric", "RMSE", seen, ideal, "null:"], capture_output=True, text=True)
            err = float(r.stderr.split()[0]) / 257 if r.stderr else float("nan")
            print("%-9s %-18s RMS error %5.1f   %s" % (name, geometry, err, shot))
            corner = os.path.join(work, name + "-edge.png")
            subprocess.run(["convert", shot, "-crop", "360x270+%d+%d" % (x, y + h // 2 - 135), "+repage", "-gravity", "north",
                            "-splice", "0x18", "-annotate", "+0+2", name, corner], check=True)
            corners.append(corner)
        if corners:
            subprocess.run(["convert"] + corners + ["+append", os.path.join(OUT, "edges.png")], check=True)
            print("the middle of the left edges side by side: %s" % os.path.join(OUT, "edges.png"))
    finally:
        for p in reversed(procs):
            p.kill()
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
