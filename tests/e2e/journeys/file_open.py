"""File -> 打开 through the real dialog: it starts in the current picture's
folder (a bare name typed there opens), a typed full path opens a picture
elsewhere, and the next Open starts in that folder; a damaged file gives the
reader's message and leaves an empty, untitled view."""
import time

import korvex_e2e as k

RED, GREEN, YELLOW = (255, 0, 0), (0, 200, 0), (255, 255, 0)


def open_by_name(s, wid, typed, title):
    """Types `typed` into the Open dialog; true when the picture opened."""
    s.file_dialog(["ctrl+o"], k.OPEN_TITLE, typed)
    try:
        s.wait_title(wid, title + " - " + k.APP_TITLE, timeout=5)
        return True
    except AssertionError:
        return False
    finally:
        # Whatever the dialog still shows (a complaint, itself) goes.
        for _ in range(3):
            if not s.windows(k.OPEN_TITLE):
                break
            s.key("Escape")
            time.sleep(0.3)
        s.wait_no_window(k.OPEN_TITLE)


def run(s):
    pics, other = s.folder("pics"), s.folder("other")
    k.framed_picture(pics + "/a.bmp", 160, 120, RED)
    k.framed_picture(pics + "/a2.bmp", 160, 120, GREEN)
    k.framed_picture(other + "/b.bmp", 160, 120, YELLOW)
    k.framed_picture(other + "/c.bmp", 160, 120, GREEN)
    wid = s.start_korvex(pics + "/a.bmp")  # the working folder is another one
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, RED)
    s.activate(wid)

    with s.fault("issue 19 point 13"):
        k.check(open_by_name(s, wid, "a2.bmp", "a2.bmp"), "a bare name did not open from the picture's folder")
        s.wait_picture(wid, GREEN)

    k.check(open_by_name(s, wid, other + "/b.bmp", "b.bmp"), "the typed path %s/b.bmp did not open" % other)
    s.wait_picture(wid, YELLOW)
    s.wait_pane(wid, 0, other + "/b.bmp")
    with s.fault("issue 19 point 13"):
        k.check(open_by_name(s, wid, "c.bmp", "c.bmp"), "the next Open did not start in the new picture's folder")

    # A damaged picture: the reader's message, then no trace of the
    # picture that is gone.
    with open(other + "/bad.bmp", "wb") as f:
        f.write(b"BM" + b"\0" * 20)
    shown = s.title(wid)
    s.file_dialog(["ctrl+o"], k.OPEN_TITLE, other + "/bad.bmp")
    box = s.wait_window(k.MESSAGE_TITLE)
    s.wait_text(s.window_rect(box), "BMP文件已损坏或不完整!")
    s.key("Return")
    s.wait_no_window(k.MESSAGE_TITLE)
    s.wait_title(wid, k.UNTITLED + " - " + k.APP_TITLE)
    with s.fault("issue 18 point 7"):
        x, y, w, h = s.geometry(wid)
        img = s.wait_stable((x, y + 60, x + w, y + h - 40))
        k.check(img.bbox(k.BORDER) is None, "after the failed Open the view still shows the picture of %r" % shown)
        k.check(s.pane_shows(wid, 0, other + "/" + shown.split(" - ")[0]) is not None,
                "pane 0 still names the picture that is gone")
