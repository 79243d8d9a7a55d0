"""File -> 退出 closes the program after its closing animation."""
import time

import korvex_e2e as k


def run(s):
    wid = s.start_korvex()
    s.wait_title(wid, k.UNTITLED + " - " + k.APP_TITLE)
    s.activate(wid)
    s.open_menu("alt+f")
    pressed = time.monotonic()
    s.key("x")
    k.wait_until(lambda: s.app.poll() is not None, 10, "the program to end")
    took = time.monotonic() - pressed
    k.check(s.app.returncode == 0, "korvex ended with status %s" % s.app.returncode)
    k.check(took >= 1.2, "the program ended after %.2f s, without its 1.5 s closing animation" % took)
