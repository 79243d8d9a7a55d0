"""Paging through a folder that holds a FIFO named like a picture, a 288-byte
JPEG declaring 26000 x 26000 and a progressive JPEG of 3000 scans: the FIFOs
and the endless scans are refused at once with the load's message and the
window goes on answering; the tiny file shows its picture at once, black
where its data never reached."""
import importlib.util
import os

import korvex_e2e as k

RED = (255, 0, 0)
BLACK = (0, 0, 0)


def crafted_files():
    path = os.path.join(os.path.dirname(os.path.dirname(k.HERE)), "bench", "hostile_jpeg.py")
    spec = importlib.util.spec_from_file_location("hostile_jpeg", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def refused(s, wid, name, key="Next"):
    s.activate(wid)
    s.key(key)
    s.wait_title(wid, name + " - " + k.APP_TITLE)
    box = s.wait_window("^Korvex$", timeout=5)
    s.activate(box)
    s.key("Return")
    s.wait_no_window("^Korvex$")


def run(s):
    pics = s.folder("pics")
    jpeg = crafted_files()
    k.framed_picture(pics + "/a.bmp", 300, 200, RED)
    os.mkfifo(pics + "/b.bmp")
    with open(pics + "/c.jpg", "wb") as f:
        f.write(jpeg.huge_baseline())
    os.mkfifo(pics + "/d.jpg")
    with open(pics + "/e.jpg", "wb") as f:
        f.write(jpeg.many_scans())
    wid = s.start_korvex(pics + "/a.bmp", animations=False)
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, RED)
    # Load effects stay on: an effect that would step through a picture
    # 26000 pixels wide for minutes is left out and the picture shown at once.

    refused(s, wid, "b.bmp")
    s.activate(wid)
    s.key("Next")
    s.wait_title(wid, "c.jpg - " + k.APP_TITLE)
    x, y, w, h = s.geometry(wid)

    def square(img):
        box = img.bbox(BLACK, (x, y + h // 4, x + w, y + h * 3 // 4))
        return box if box and box[2] - box[0] > h // 3 else None
    s.wait_screen(square, 10, "the 26000 x 26000 picture, black below its first rows")
    refused(s, wid, "d.jpg")
    refused(s, wid, "e.jpg")
    # Still answering: back past the FIFO to the tiny file's picture.
    refused(s, wid, "d.jpg", "Prior")
    s.activate(wid)
    s.key("Prior")
    s.wait_title(wid, "c.jpg - " + k.APP_TITLE)
    s.wait_screen(square, 10, "the 26000 x 26000 picture again")
