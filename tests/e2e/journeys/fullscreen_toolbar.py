"""F11, the floating toolbar's start button clicked with the mouse, then
Escape: the toolbar never took the keyboard, so Escape still leaves full
screen and the slideshow ends with it."""
import korvex_e2e as k

RED, GREEN = (255, 0, 0), (0, 255, 0)
CAPTION = "全屏/幻灯片模式"


def bars(s):
    # By exact title: xdotool's pattern match does not tell this caption
    # from the frame's.
    return [w for w in s.windows(".") if s.title(w) == CAPTION]


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/a.bmp", 400, 300, RED)
    k.framed_picture(pics + "/b.bmp", 400, 300, GREEN)
    wid = s.start_korvex(pics + "/a.bmp", animations=False)
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.activate(wid)
    s.move(900, 500)
    s.key("F11")
    k.wait_until(lambda: "FULLSCREEN" in s.prop(wid, "_NET_WM_STATE"), 10, "full screen")
    bar = k.wait_until(lambda: bars(s), 10, "the floating toolbar")[0]
    # The toolbar settles in its corner (the window manager may move it
    # once more), then start is pressed.
    seen = []

    def settled():
        seen.append(s.geometry(bar))
        k.time.sleep(0.3)
        return len(seen) > 3 and seen[-1] == seen[-2] == seen[-3] and seen[-1][0] > 1400 and seen[-1][1] < 60
    k.wait_until(settled, 10, "the toolbar to settle in its corner")
    x, y, w, h = seen[-1]
    s.click(x + 12, y + h // 2)
    s.wait_title(wid, "b.bmp - " + k.APP_TITLE, timeout=15)
    k.check(s.active_window() == wid, "the floating toolbar took the keyboard (active window %s)" % s.active_window())
    s.key("Escape")
    k.wait_until(lambda: "FULLSCREEN" not in s.prop(wid, "_NET_WM_STATE"), 10, "Escape to leave full screen")
    k.wait_until(lambda: not bars(s), 10, "the floating toolbar to go")
    title = s.title(wid)
    k.time.sleep(2.5)
    k.check(s.title(wid) == title, "the slideshow ran on after Escape (%r, then %r)" % (title, s.title(wid)))
