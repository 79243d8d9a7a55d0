"""Delete through the confirmation into the isolated trash: No keeps the
file; Yes moves exactly the file on screen, even when its name is not valid
UTF-8 and a twin spells it with the replacement character, and the next
picture follows."""
import os
import urllib.parse

import korvex_e2e as k

BAD = b"g\xff.bmp"            # not valid UTF-8
TWIN = b"g\xef\xbf\xbd.bmp"   # U+FFFD spelled in UTF-8: how BAD decodes
RED, GREEN, BLUE_GREEN, YELLOW = (255, 0, 0), (0, 160, 0), (0, 200, 200), (255, 255, 0)
CONFIRM_TITLE = r"^删除文件$"


def run(s):
    pics = s.folder("pics")
    bpics = os.fsencode(pics)
    k.framed_picture(pics + "/a.bmp", 200, 150, YELLOW)
    k.framed_picture(bpics + b"/" + TWIN, 200, 150, GREEN)
    k.framed_picture(bpics + b"/" + BAD, 200, 150, RED)
    k.framed_picture(pics + "/z.bmp", 200, 150, BLUE_GREEN)
    wid = s.start_korvex(pics + "/a.bmp")
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, YELLOW)
    s.activate(wid)

    # No: nothing changes.
    s.wait_window_after(lambda: s.key("Delete"), CONFIRM_TITLE)
    s.key("n")
    s.wait_no_window(CONFIRM_TITLE)
    k.check(os.path.exists(pics + "/a.bmp"), "No still deleted a.bmp")
    k.check(s.title(wid) == "a.bmp - " + k.APP_TITLE, "No changed the title to %r" % s.title(wid))

    # Onto the name that is not UTF-8 (after its twin, in byte order).
    s.key("Next")
    s.wait_picture(wid, GREEN)
    s.key("Next")
    s.wait_title(wid, "g\ufffd.bmp - " + k.APP_TITLE)
    info = None
    with s.fault("issue 18 point 1"):
        s.wait_picture(wid, RED)
        s.wait_window_after(lambda: s.key("Delete"), CONFIRM_TITLE)
        s.key("y")
        s.wait_no_window(CONFIRM_TITLE)
        s.wait_title(wid, "z.bmp - " + k.APP_TITLE)
        names = set(os.listdir(bpics))
        k.check(TWIN in names, "the twin %r was deleted instead" % TWIN)
        k.check(BAD not in names, "%r is still in the folder" % BAD)
        trash = os.fsencode(s.env["XDG_DATA_HOME"]) + b"/Trash"
        k.check(BAD in os.listdir(trash + b"/files"), "%r is not in the trash: %s" % (BAD, os.listdir(trash + b"/files")))
        with open(trash + b"/info/" + BAD + b".trashinfo", "rb") as f:
            info = f.read()
    with s.fault("issue 18 point 2"):
        k.check(info is not None, "no trash record of %r to look at" % BAD)
        path = [line[5:] for line in info.split(b"\n") if line.startswith(b"Path=")]
        k.check(len(path) == 1 and urllib.parse.unquote_to_bytes(path[0].decode("ascii", "replace")) == bpics + b"/" + BAD,
                "the trash record's Path does not name the file: %r" % info)
        k.check(all(0x21 <= c < 0x7f for c in path[0]), "the trash record's Path is not escaped: %r" % path[0])
