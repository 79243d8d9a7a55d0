"""Open of a file that cannot be read, after a picture was shown: the
reader's message, then an empty view and a caption that names no picture."""
import os

import korvex_e2e as k

RED = (255, 0, 0)


def run(s):
    pics = s.folder("pics")
    good, bad = os.path.join(pics, "good.bmp"), os.path.join(pics, "bad.bmp")
    k.framed_picture(good, 400, 300, RED)
    with open(bad, "wb") as f:
        f.write(b"BM\x01\x02\x03")
    wid = s.start_korvex(good)
    s.wait_title(wid, "good.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, RED)

    s.activate(wid)
    s.key("ctrl+o")
    s.wait_window("^Open$|打开")
    s.type(bad)
    before = set(s.windows("^Korvex$"))
    # The dialog takes the name only once it has looked the file up.
    for attempt in range(10):
        s.key("Return")
        try:
            box = k.wait_until(lambda: set(s.windows("^Korvex$")) - before, 1.5, "the reader's message")
            break
        except AssertionError:
            if attempt == 9:
                raise
    s.activate(box.pop())
    s.key("Return")
    s.wait_title(wid, k.UNTITLED + " - " + k.APP_TITLE)
    x, y, w, h = s.geometry(wid)
    s.wait_screen(lambda img: img.bbox(RED) is None and img.bbox(k.BORDER) is None, 10,
                  "the view to be empty", (x, y, x + w, y + h))
