"""Page Down and Page Up walk the folder in natural order, stop at its ends
(where the keys do nothing at all, not even scroll), and follow a neighbour
deleted behind the program's back."""
import os
import time

import korvex_e2e as k

ORDER = ["p1.bmp", "p2.bmp", "P3.bmp", "p10.bmp"]
COLOURS = {"p1.bmp": (255, 0, 0), "p2.bmp": (0, 160, 0), "P3.bmp": (255, 255, 0), "p10.bmp": (0, 200, 200)}


def view_area(s, wid):
    x, y, w, h = s.geometry(wid)
    return (x + 40, y + 120, x + w - 40, y + h - 80)


def run(s):
    pics = s.folder("pics")
    for name in ORDER[:-1]:
        k.framed_picture(pics + "/" + name, 200, 150, COLOURS[name])
    k.striped_picture(pics + "/p10.bmp", 600, 600, COLOURS["p10.bmp"])
    os.mkdir(pics + "/sub.bmp")
    with open(pics + "/notes.txt", "w") as f:
        f.write("not a picture\n")
    wid = s.start_korvex(pics + "/p1.bmp")
    s.wait_title(wid, "p1.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, COLOURS["p1.bmp"])
    s.activate(wid)

    for name in ORDER[1:]:
        s.key("Next")
        s.wait_title(wid, name + " - " + k.APP_TITLE)
    s.wait_stable(view_area(s, wid))

    # The last picture, at 200 % so that it could scroll: Page Down does
    # nothing at all.
    s.open_menu("alt+z")
    s.key("d")
    before = s.wait_stable(view_area(s, wid))
    s.key("Next")
    time.sleep(1.0)
    after = s.grab(view_area(s, wid))
    k.check(s.title(wid) == "p10.bmp - " + k.APP_TITLE, "Page Down left the last picture")
    with s.fault("issue 19 point 6"):
        k.check(after.data == before.data, "Page Down on the last picture changed the view (it scrolled)")

    # Back to the first; there Page Up does nothing.
    for name in reversed(ORDER[:-1]):
        s.key("Prior")
        s.wait_title(wid, name + " - " + k.APP_TITLE)
    before = s.wait_stable(view_area(s, wid))
    s.key("Prior")
    time.sleep(1.0)
    k.check(s.title(wid) == "p1.bmp - " + k.APP_TITLE, "Page Up left the first picture")
    k.check(s.grab(view_area(s, wid)).data == before.data, "Page Up on the first picture changed the view")

    # P3 goes behind the program's back: from p2 the next is p10.
    s.key("Next")
    s.wait_title(wid, "p2.bmp - " + k.APP_TITLE)
    os.remove(pics + "/P3.bmp")
    s.key("Next")
    s.wait_title(wid, "p10.bmp - " + k.APP_TITLE)
