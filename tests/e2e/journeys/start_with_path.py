"""Started with a picture's path: the caption names it, the picture is
fitted to the window it finally has and centred in it, and the status bar
describes it, every text whole."""
import os

import korvex_e2e as k

RED = (255, 0, 0)


def run(s):
    path = s.folder("pics") + "/wide.bmp"
    k.framed_picture(path, 2000, 1500, RED)
    wid = s.start_korvex(path)
    s.wait_title(wid, "wide.bmp - " + k.APP_TITLE)
    shown = check_fitted(s, wid, 2000, 1500, RED)
    # The factor in pane 1 is the one the picture is drawn at (the exact
    # colour may stop a pixel short of a shrunk picture's edge).
    texts = ["显示比例: %.3f" % (h / 1500) for h in range(shown[1] - 1, shown[1] + 3)]
    k.wait_until(lambda: any(s.pane_shows(wid, 1, t) is None for t in texts), 10,
                 "pane 1 to show the fit factor, one of %s" % texts)
    s.wait_pane(wid, 0, path)
    s.wait_pane(wid, 2, "%.1f KB" % (os.path.getsize(path) / 1024.0))
    with s.fault("issue 19 point 10"):
        s.wait_pane(wid, 3, "宽×高 = 2000×1500", timeout=2)


def check_fitted(s, wid, width, height, inside):
    """Checks that the picture is shown whole, in proportion and centred;
    returns its size on screen."""
    outer, inner, img = s.wait_picture(wid, inside)
    x, y, w, h = s.geometry(wid)
    shown_w, shown_h = outer[2] - outer[0], outer[3] - outer[1]
    k.check(abs(shown_w * height - shown_h * width) <= 3 * max(width, height),
            "the picture is shown %dx%d, not in its proportions %dx%d (cut by the window?)"
            % (shown_w, shown_h, width, height))
    left, right = outer[0] - x, x + w - outer[2]
    k.check(abs(left - right) <= 2, "the picture is not centred across: %d px left, %d px right" % (left, right))
    # No scroll bar: the background at the far right looks like the
    # background at the far left.
    mid = (outer[1] + outer[3]) // 2
    k.check(img.pixel(x + w - 6, mid) == img.pixel(x + 6, mid),
            "something other than background at the right edge (a scroll bar?): %s"
            % (img.pixel(x + w - 6, mid),))
    return shown_w, shown_h
