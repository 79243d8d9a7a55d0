"""One load effect with effects on: its wall time beside the time its steps
and pauses take by the book (reported, not asserted: the benchmarks hold
the goal). A key pressed during a long effect ends it and is acted on at
once."""
import time

import korvex_e2e as k

RED, GREEN = (255, 0, 0), (0, 160, 0)


def timed_load(s, wid, key, colour, final, limit):
    """Presses `key` and returns the seconds until the picture in `colour`
    shows whole with the frame `final`, or None after `limit` s."""
    x, y, w, h = s.geometry(wid)
    area = k.clip((x, y, x + w, y + h), (0, 0, 1920, 1080))
    start = time.monotonic()
    s.key(key)
    while time.monotonic() - start < limit:
        seen = time.monotonic()
        img = s.grab(area)
        if img.bbox(k.BORDER) == final and img.bbox(colour):
            return seen - start
        time.sleep(0.02)
    return None


def report(name, took, steps, pause_ms):
    book = steps * pause_ms / 1000.0
    if took is None:
        print("effect %s: not done within the limit; by the book %d steps x %d ms = %.2f s" % (name, steps, pause_ms, book))
    else:
        print("effect %s: %.2f s wall, by the book %d steps x %d ms = %.2f s (%.1fx)"
              % (name, took, steps, pause_ms, book, took / book))


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/a.bmp", 800, 600, RED)
    k.framed_picture(pics + "/b.bmp", 800, 600, GREEN)
    k.framed_picture(pics + "/c.bmp", 11000, 400, GREEN)
    k.framed_picture(pics + "/d.bmp", 800, 600, RED)
    wid = s.start_korvex(pics + "/a.bmp")
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    final, _, _ = s.wait_picture(wid, RED)
    s.activate(wid)

    # 设定效果 -> 从上往下: a 600-row picture enters in 600 / 12 + 1 steps of 10 ms.
    s.menu_command("alt+c", "t")
    report("enter from the top", timed_load(s, wid, "Next", GREEN, final, 30), 600 // 12 + 1, 10)
    s.wait_title(wid, "b.bmp - " + k.APP_TITLE)

    # 设定效果 -> 马赛克: 26 x 20 blocks of 30 pixels, 1 ms each.
    s.menu_command("alt+c", "m")
    report("mosaic", timed_load(s, wid, "Prior", RED, final, 40), (800 // 30) * (600 // 30), 1)
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)

    # 设定效果 -> 从左往右 on a panorama: 11000 / 12 + 1 steps of 10 ms, over
    # nine seconds. Page Down a second into it ends the effect and pages on.
    s.menu_command("alt+c", "l")
    s.key("Next")
    s.wait_title(wid, "b.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, GREEN)
    s.key("Next")
    s.wait_title(wid, "c.bmp - " + k.APP_TITLE)
    time.sleep(1.0)
    took = timed_load(s, wid, "Next", RED, final, 8)
    k.check(took is not None and took < 3.0,
            "Page Down during a nine-second effect showed the next picture after %s s" % took)
    print("Page Down during the panorama's effect: next picture whole after %.2f s" % took)
    s.wait_title(wid, "d.bmp - " + k.APP_TITLE)
