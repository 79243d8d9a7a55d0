"""The zoom commands from the menu and their keys: the picture's size on
screen and the status texts, each pane's text whole. A photo far larger
than the window is fitted and then shown at 1.000, its texts those of the
whole picture throughout."""
import os
import struct
import subprocess

import korvex_e2e as k

GREEN = (0, 200, 0)


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def zoom(s, wid, letter):
    s.open_menu("alt+z")
    s.key(letter)


def factor_text(z):
    return "显示比例: %.3f" % z


def run(s):
    pics = s.folder("pics")
    path = pics + "/p.bmp"
    k.framed_picture(path, 800, 600, GREEN)
    # The photo that follows it in the folder.
    k.framed_picture(pics + "/q.bmp", 4000, 3000, GREEN)
    subprocess.run(["convert", pics + "/q.bmp", "-quality", "95", pics + "/q.jpg"], check=True, env=s.env)
    os.remove(pics + "/q.bmp")
    wid = s.start_korvex(path)
    s.wait_title(wid, "p.bmp - " + k.APP_TITLE)
    outer, _, _ = s.wait_picture(wid, GREEN)
    k.check((outer[2] - outer[0], outer[3] - outer[1]) == (800, 600), "at 1.000 the picture is shown %s" % (outer,))
    s.wait_pane(wid, 1, factor_text(1.0))
    s.wait_pane(wid, 2, "%.1f KB" % (os.path.getsize(path) / 1024.0))
    s.activate(wid)
    s.key("alt+c", "u")  # load effects off: a long one holds the menus back until it ends

    for letter, factor in (("h", 0.5), ("s", 0.75), ("b", 1.5), ("d", 2.0), ("l", 1.0)):
        zoom(s, wid, letter)
        s.wait_pane(wid, 1, factor_text(factor))
        if factor <= 1.5:
            outer, _, _ = s.wait_picture(wid, GREEN)
            size = (outer[2] - outer[0], outer[3] - outer[1])
            want = (int(800 * factor), int(600 * factor))
            k.check(abs(size[0] - want[0]) <= 2 and abs(size[1] - want[1]) <= 2,
                    "at %.2f the picture is shown %dx%d, not %dx%d" % (factor, size[0], size[1], want[0], want[1]))

    # Zoom out nine times from 1.000 reaches 0.100; zoom in adds 0.1.
    z = f32(1.0)
    for _ in range(9):
        s.key("ctrl+Down")
        z = f32(z - f32(0.1))
    s.wait_pane(wid, 1, factor_text(z))
    s.key("ctrl+Up")
    s.wait_pane(wid, 1, factor_text(f32(z + f32(0.1))))

    # Fit: the small picture fills the height less 4 pixels, from the top
    # of the view, which tells where the view begins.
    zoom(s, wid, "p")
    outer, _, _ = s.wait_picture(wid, GREEN)
    shown = outer[3] - outer[1]
    texts = [factor_text(f32(h / 600)) for h in (shown, shown + 1, shown - 1)]
    k.wait_until(lambda: any(s.pane_shows(wid, 1, t) is None for t in texts), 10,
                 "pane 1 to show the fit factor, one of %s" % texts)

    # The pointer's place in pane 4, and every pane whole.
    view_x, view_y = s.geometry(wid)[0], outer[1]
    s.move(view_x + 500, view_y + 1)
    with s.fault("issue 19 point 10"):
        problems = [p for p in (s.pane_shows(wid, 3, "宽×高 = 800×600"),
                                s.pane_shows(wid, 4, "X = 500 , Y = 1")) if p]
        k.check(not problems, "; ".join(problems))

    # The next picture, a 4000x3000 JPEG: fitted (drawn from a reduced
    # decode), the factor and the size are still the whole picture's; at
    # 1.000 its top-left corner fills the view.
    s.key("Next")
    s.wait_title(wid, "q.jpg - " + k.APP_TITLE)
    x, y, w, h = s.geometry(wid)
    # Inside the view: the toolbar's icons have greens and blues of their own.
    area = k.clip((x, y + 90, x + w, y + h - 40), (0, 0, 1920, 1080))

    def framed(img):
        snapped = img.snapped([GREEN, k.BORDER])
        outer, inner = snapped.bbox(k.BORDER), snapped.bbox(GREEN)
        return (outer, inner) if outer and inner and outer[0] < inner[0] and inner[2] < outer[2] else None
    outer, _ = s.wait_screen(framed, 30, "the photo fitted", area)
    # Fitted to the height: the width shown is the whole picture's times
    # the factor, truncated.
    shown = outer[2] - outer[0]
    k.check(shown < 2000, "the photo is shown %d pixels wide, not fitted" % shown)
    texts = [factor_text(v / 4000) for v in (shown, shown + 1)]
    k.wait_until(lambda: any(s.pane_shows(wid, 1, t) is None for t in texts), 10,
                 "pane 1 to show the photo's fit factor, one of %s" % texts)
    s.wait_pane(wid, 3, "宽×高 = 4000×3000")

    zoom(s, wid, "l")
    s.wait_pane(wid, 1, factor_text(1.0))
    s.wait_pane(wid, 3, "宽×高 = 4000×3000")

    def corner(img):
        snapped = img.snapped([GREEN, k.BORDER])
        inner = snapped.bbox(GREEN)
        return inner if inner and inner[2] - inner[0] >= area[2] - area[0] - 40 else None
    inner = s.wait_screen(corner, 30, "the photo's corner filling the view at 1.000", area)
    k.check(inner[0] - x in range(12, 21), "at 1.000 the border is %d pixels wide, not 16" % (inner[0] - x))
