"""Full screen: F11 covers the screen and shows the floating toolbar, which
parks itself after 5 s and comes back to the pointer; its start button,
clicked with the mouse, runs the slideshow, which wraps; Escape then leaves
full screen and the picture is centred again."""
import time

import korvex_e2e as k

BAR_TITLE = r"^全屏/幻灯片模式$"
COLOURS = {"p1.bmp": (255, 0, 0), "p2.bmp": (0, 160, 0), "p10.bmp": (255, 255, 0)}


def run(s):
    pics = s.folder("pics")
    for name, colour in COLOURS.items():
        k.framed_picture(pics + "/" + name, 200, 150, colour)
    wid = s.start_korvex(pics + "/p1.bmp")
    s.wait_title(wid, "p1.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, COLOURS["p1.bmp"])

    entered = time.monotonic()
    s.key("F11")
    bar = s.wait_window(BAR_TITLE)
    k.wait_until(lambda: "FULLSCREEN" in s.wm_state(wid) and s.geometry(wid) == (0, 0, 1920, 1080), 10,
                 "the frame to cover the screen")
    x, y, w, h = s.geometry(bar)
    k.check(1920 - 40 <= x + w <= 1920 and y <= 30, "the floating toolbar is at %d,%d, not top right" % (x, y))

    # Parked after five seconds: beyond the right edge, as far as the window
    # manager lets it go, or hidden where it keeps windows on the screen.
    # Back when the pointer comes to the corner.
    def parked():
        return not s.windows(BAR_TITLE) or s.geometry(bar)[0] >= 1920 - w // 5
    k.wait_until(parked, 12, "the toolbar to park")
    took = time.monotonic() - entered
    k.check(took >= 4.5, "the toolbar parked after %.1f s, not 5" % took)
    s.move(1800, 40)
    bar = s.wait_window(BAR_TITLE)
    k.wait_until(lambda: s.geometry(bar)[0] < 1920 - 20, 10, "the toolbar to come back to the pointer")

    # The start button, clicked: the slideshow pages in natural order and
    # wraps from the last picture to the first.
    x, y, w, h = s.geometry(bar)
    img = s.wait_stable((x, y, x + w, y + h), timeout=5, quiet=0.2)
    first = k.first_button(img, (x, y, x + w, y + h))
    s.click(*first)
    for name in ("p2.bmp", "p10.bmp", "p1.bmp"):
        s.wait_title(wid, name + " - " + k.APP_TITLE, timeout=6)

    # Escape, whichever of the program's windows has the focus now.
    with s.fault("issue 19 point 5"):
        s.key("Escape")
        k.wait_until(lambda: "FULLSCREEN" not in s.wm_state(wid), 5, "Escape to leave full screen")
    if "FULLSCREEN" in s.wm_state(wid):
        s.activate(wid)
        s.key("F11")
        k.wait_until(lambda: "FULLSCREEN" not in s.wm_state(wid), 5, "F11 to leave full screen")
    s.wait_no_window(BAR_TITLE)
    # Full screen gives back the state the frame had.
    k.wait_until(lambda: "MAXIMIZED_VERT" in s.wm_state(wid), 10, "the frame to be maximized again")
    title = s.title(wid)
    time.sleep(2.2)  # two slideshow steps, if it still ran
    k.check(s.title(wid) == title, "the slideshow went on after full screen ended")
    outer, _, _ = s.wait_picture(wid, COLOURS[title.split(" - ")[0]])
    fx, fy, fw, fh = s.geometry(wid)
    left, right = outer[0] - fx, fx + fw - outer[2]
    k.check(abs(left - right) <= 2, "after full screen the picture is off centre: %d px left, %d px right"
            % (left, right))

