"""Save As through the real dialog (in Chinese) with a chosen type and a bare
name; print preview and a PDF printed to a file hold the whole picture."""
import os
import shutil
import subprocess

import korvex_e2e as k

TIMEOUT = 120
RED = (255, 0, 0)


def check_whole(img, what):
    outer, inner = img.bbox(k.BORDER), img.bbox(RED)
    k.check(outer and inner, "%s: no picture" % what)
    k.check(outer[0] < inner[0] and outer[1] < inner[1] and inner[2] < outer[2] and inner[3] < outer[3],
            "%s: the picture's frame is not whole around it: %s %s" % (what, outer, inner))
    w, h = outer[2] - outer[0], outer[3] - outer[1]
    k.check(abs(w * 3 - h * 4) <= 12, "%s: shown %dx%d, not 4:3" % (what, w, h))
    return outer


def focus(s, wid):
    """A dialog takes the keyboard; asked for when the window manager is slow."""
    try:
        k.wait_until(lambda: s.active_window() == wid, 3, "the dialog to take the keyboard")
    except AssertionError:
        s.activate(wid)


def run(s):
    folder = s.folder("pics")
    k.framed_picture(folder + "/pic.bmp", 800, 600, RED)
    wid = s.start_korvex(folder + "/pic.bmp", animations=False)
    k.wait_until(lambda: s.geometry(wid)[2] >= 1900, 15, "the window to be maximized")
    s.wait_picture(wid, RED)

    # The dialog's own title is Qt's text, translated; it opens in the
    # picture's folder, so the bare name lands there. Tab reaches the type;
    # GIF is the one before the last (PNG).
    s.key("ctrl+s")
    dialog = s.wait_window("^另存为$")
    focus(s, dialog)
    s.wait_stable((0, 0, 1920, 1080), timeout=10)
    s.type("pic2")
    s.key("Tab", "End", "Up", "Return")
    s.wait_file(folder + "/pic2.gif")
    with open(folder + "/pic2.gif", "rb") as f:
        k.check(f.read(6) == b"GIF87a", "pic2.gif is not a GIF")
    k.check(not os.path.exists(folder + "/pic2.bmp"), "a BMP was written as well")

    s.key("ctrl+p")
    printing = s.wait_window("^打印$")
    focus(s, printing)
    s.key("Return")  # the default printer here: a PDF file in the home folder
    pdf = os.path.join(s.env["HOME"], "print.pdf")
    s.wait_file(pdf)
    if shutil.which("pdftoppm"):
        check_pdf(pdf)

    s.key("alt+f", "v")
    preview = s.wait_window("^打印预览$")
    x, y, w, h = s.geometry(preview)
    page = s.wait_screen(lambda img: img if img.bbox(RED) else None, 20, "the preview's page", (x, y, x + w, y + h))
    check_whole(page, "print preview")


def check_pdf(pdf):
    k.wait_until(lambda: subprocess.run(["pdftoppm", "-r", "72", pdf], capture_output=True).returncode == 0,
                 10, "a complete PDF")
    ppm = subprocess.run(["pdftoppm", "-r", "72", pdf], capture_output=True, check=True).stdout
    # The PDF may hold the picture compressed: snap colours near the two
    # the picture is made of to them exactly.
    sheet = k.Image.from_ppm(ppm)
    snapped = bytearray(sheet.data)
    for i in range(0, len(snapped), 3):
        for colour in (RED, k.BORDER):
            if all(abs(snapped[i + c] - colour[c]) <= 40 for c in range(3)):
                snapped[i:i + 3] = bytes(colour)
    sheet = k.Image(sheet.width, sheet.height, bytes(snapped))
    outer = check_whole(sheet, "printed page")
    k.check(outer[0] > 0 and outer[1] > 0 and outer[2] < sheet.width and outer[3] < sheet.height,
            "the printed picture touches the paper's edge: %s on %dx%d" % (outer, sheet.width, sheet.height))
