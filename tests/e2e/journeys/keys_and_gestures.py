"""The viewer's keys and gestures: arrows, Space and BackSpace page while the
picture fits and scroll while it does not; Home and End reach the folder's
ends; a key whose command is disabled does nothing (Page Down on the last
picture does not scroll); Ctrl+wheel zooms; the left button pans; a fine
pattern shrunk to fit is drawn as its average grey, not as moiré; a picture
dropped from another program opens, its folder becoming the list."""
import time

import korvex_e2e as k

TIMEOUT = 120
GREEN, RED, YELLOW = (0, 200, 0), (255, 0, 0), (255, 255, 0)


def stripes(y):
    """1-pixel black and white columns crossed by red bands every 300 px
    (so that any scrolling shows)."""
    if y % 300 < 20:
        return b"\xff\0\0" * 3000
    return b"".join(b"\xff\0\0" * 20 + b"\0\0\0\xff\xff\xff" * 140 for _ in range(10))


def run(s):
    pics = s.folder("pics")
    for name, colour in (("a", RED), ("b", GREEN), ("c", YELLOW)):
        k.framed_picture("%s/%s.bmp" % (pics, name), 300, 200, colour)
    k.write_bmp(pics + "/d.bmp", 3000, 2400, stripes)  # far larger than the screen
    wid = s.start_korvex(pics + "/a.bmp", animations=False)
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.activate(wid)
    s.key("alt+c", "u")  # load effects off: every key below acts at once

    def page(key, name):
        s.key(key)
        s.wait_title(wid, name + ".bmp - " + k.APP_TITLE)

    page("Right", "b")
    page("space", "c")
    page("BackSpace", "b")
    page("Left", "a")
    page("End", "d")
    page("Home", "a")
    s.key("Left", "Prior")  # Previous is disabled on the first picture
    page("End", "d")

    # Shrunk to fit, the stripes are their average grey.
    x, y, w, h = s.geometry(wid)
    view = (x + w // 4, y + h // 4, x + 3 * w // 4, y + 3 * h // 4)
    shrunk = s.wait_stable(view)
    extremes = shrunk.count(lambda p: max(p) < 50 or min(p) > 205, view)  # near black or white
    k.check(extremes == 0, "%d pixels of the shrunk stripes are near black or white (moiré)" % extremes)

    # At its own size the picture is larger than the window.
    s.key("alt+z", "l")
    shown = s.wait_stable(view)

    def acted(what, *keys, changes=True):
        nonlocal shown
        if keys:
            s.key(*keys)
        time.sleep(0.5)
        now = s.wait_stable(view)
        k.check((now.data != shown.data) == changes, what)
        shown = now

    acted("Page Down on the last picture scrolled the view", "Next", changes=False)
    acted("Space did not scroll a picture taller than the window", "space")
    acted("Right did not scroll a picture wider than the window", "Right", "Right")
    k.check(s.title(wid) == "d.bmp - " + k.APP_TITLE, "a key paged away from the last picture")

    mid = ((view[0] + view[2]) // 2, (view[1] + view[3]) // 2)
    s.move(*mid)
    s.x("xdotool", "mousedown", "1")
    for step in range(1, 6):
        s.move(mid[0] + 37 * step, mid[1] + 23 * step)
    s.x("xdotool", "mouseup", "1")
    acted("dragging with the left button did not move the picture")

    s.x("xdotool", "keydown", "ctrl", "click", "5", "click", "5", "keyup", "ctrl")
    acted("Ctrl+wheel did not zoom")
    s.wait_pane(wid, 1, "显示比例: 0.800", timeout=5)  # two of the zoom commands' steps down from 1.0

    # A file dropped from another program opens as Open opens it.
    other = s.folder("other")
    k.framed_picture(other + "/dropped.bmp", 300, 200, GREEN)
    k.framed_picture(other + "/next.bmp", 300, 200, YELLOW)
    k.check(s.drop_file(other + "/dropped.bmp", mid), "the viewer refused the dropped file")
    s.wait_title(wid, "dropped.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, GREEN)
    s.activate(wid)
    page("Next", "next")
