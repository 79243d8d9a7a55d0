"""The keys and mouse people expect: arrows, Space and BackSpace page while
the picture fits, Home and End go to the ends of the folder, Ctrl + wheel
zooms, dragging pans a picture larger than the window."""
import time

import korvex_e2e as k

COLOURS = [(255, 0, 0), (0, 160, 0), (255, 255, 0), (0, 200, 200)]


def run(s):
    pics = s.folder("pics")
    for n, colour in enumerate(COLOURS[:3], 1):
        k.framed_picture("%s/k%d.bmp" % (pics, n), 200, 150, colour)
    k.striped_picture(pics + "/k4.bmp", 1600, 1200, COLOURS[3])
    wid = s.start_korvex(pics + "/k1.bmp")
    s.wait_title(wid, "k1.bmp - " + k.APP_TITLE)
    outer, _, _ = s.wait_picture(wid, COLOURS[0])
    s.activate(wid)

    with s.fault("issue 23 point 3"):
        for key, name in (("Right", "k2"), ("space", "k3"), ("Left", "k2"), ("BackSpace", "k1"), ("End", "k4"),
                          ("Home", "k1")):
            s.key(key)
            s.wait_title(wid, name + ".bmp - " + k.APP_TITLE, timeout=5)

        # Ctrl + wheel up over the picture: one zoom-in step.
        s.move((outer[0] + outer[2]) // 2, (outer[1] + outer[3]) // 2)
        s.x("xdotool", "keydown", "ctrl", "click", "4", "keyup", "ctrl")
        s.wait_pane(wid, 1, "显示比例: 1.100", timeout=5)

        # The last picture at 200 % is far larger than the window: a drag
        # moves it.
        s.key("End")
        s.wait_title(wid, "k4.bmp - " + k.APP_TITLE, timeout=5)
        s.menu_command("alt+z", "d")
        s.wait_pane(wid, 1, "显示比例: 2.000", timeout=5)
        x, y, w, h = s.geometry(wid)
        area = (x + 100, y + 150, x + w - 100, y + h - 100)
        before = s.wait_stable(area)
        s.move(960, 600)
        s.x("xdotool", "mousedown", "1", "mousemove", "--sync", "760", "400", "mouseup", "1")
        time.sleep(0.5)
        k.check(s.wait_stable(area).data != before.data, "dragging with the left button did not move the picture")
