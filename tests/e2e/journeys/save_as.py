"""Save As through the real dialog: each of the six types with a bare name,
a typed extension, the overwrite question, and a folder nobody may write."""
import os
import subprocess

import korvex_e2e as k

GREEN = (0, 200, 0)
TYPES = {2: (".bmp", b"BM"), 3: (".tga", None), 4: (".jpg", b"\xff\xd8\xff"), 5: (".pcx", b"\x0a"),
         6: (".gif", b"GIF8"), 7: (".png", b"\x89PNG")}


def is_format(path, ext):
    with open(path, "rb") as f:
        data = f.read()
    if ext == ".tga":
        return data[2] == 2 and data[-18:-2] == b"TRUEVISION-XFILE"
    magic = {e: m for e, m in TYPES.values()}[ext]
    return data.startswith(magic)


def run(s):
    pics, out = s.folder("pics"), s.folder("out")
    k.framed_picture(pics + "/a.bmp", 120, 90, GREEN)
    wid = s.start_korvex(pics + "/a.bmp")
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, GREEN)

    # A bare name takes the chosen type's writer and extension.
    with s.fault("issue 19 point 1"):
        for index, (ext, _) in TYPES.items():
            name = "%s/t%d" % (out, index)
            s.file_dialog(["ctrl+s"], k.SAVE_TITLE, name, index)
            s.wait_no_window(k.SAVE_TITLE)
            prefix = "t%d" % index
            k.wait_until(lambda: any(f.startswith(prefix) for f in os.listdir(out)), 10, "a file " + prefix + "*")
            s.wait_file(out + "/" + min(f for f in os.listdir(out) if f.startswith(prefix)))
            written = sorted(f for f in os.listdir(out) if f.startswith(prefix))
            k.check(written == ["t%d%s" % (index, ext)], "type %d with the name t%d wrote %s" % (index, index, written))
            k.check(is_format(name + ext, ext), "t%d%s is not a %s file" % (index, ext, ext))

    # The first type: the typed extension decides, as typed.
    for typed, ext in (("typed.gif", ".gif"), ("photo.JPEG", ".jpg"), ("plain", ".bmp")):
        target = out + "/" + typed + ("" if "." in typed else ".bmp")
        s.file_dialog(["ctrl+s"], k.SAVE_TITLE, out + "/" + typed)
        s.wait_file(target)
        k.check(is_format(target, ext), "%s is not a %s file" % (target, ext))

    # The overwrite question: No keeps the file and the dialog, Yes replaces.
    target = out + "/typed.gif"
    before = os.stat(target).st_mtime_ns
    dialog = s.file_dialog(["ctrl+s"], k.SAVE_TITLE, target)
    question = k.wait_until(lambda: [w for w in s.windows(k.SAVE_TITLE) if w != dialog], 10,
                            "the question whether to replace typed.gif")[0]
    s.wait_stable(s.window_rect(question), timeout=5, quiet=0.2)
    s.key("n")
    k.wait_until(lambda: question not in s.windows(k.SAVE_TITLE), 10, "the question to close")
    k.check(dialog in s.windows(k.SAVE_TITLE), "No closed the Save As dialog too")
    s.key("Escape")
    s.wait_no_window(k.SAVE_TITLE)
    k.check(os.stat(target).st_mtime_ns == before, "No still replaced typed.gif")
    dialog = s.file_dialog(["ctrl+s"], k.SAVE_TITLE, target)
    question = k.wait_until(lambda: [w for w in s.windows(k.SAVE_TITLE) if w != dialog], 10,
                            "the question whether to replace typed.gif")[0]
    s.wait_stable(s.window_rect(question), timeout=5, quiet=0.2)
    s.key("y")
    s.wait_no_window(k.SAVE_TITLE)
    k.wait_until(lambda: os.stat(target).st_mtime_ns != before, 10, "typed.gif to be replaced")

    # A folder nobody may write into. Permissions do not stop root, so as
    # root the folder is a file system mounted read-only instead.
    locked = s.folder("locked")
    mounted = False
    if os.geteuid() == 0:
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", locked],
                                 capture_output=True).returncode == 0
        if not mounted:
            print("skipped as root without mount: the save into a folder nobody may write")
            return
    else:
        os.chmod(locked, 0o555)
    try:
        s.file_dialog(["ctrl+s"], k.SAVE_TITLE, locked + "/x.bmp")
        box = s.wait_window(k.MESSAGE_TITLE)
        s.wait_text(s.window_rect(box), "保存文件失败!")
        s.key("Return")
        s.wait_no_window(k.MESSAGE_TITLE)
        k.check(not os.listdir(locked), "a file appeared in the locked folder: %s" % os.listdir(locked))
    finally:
        if mounted:
            subprocess.run(["umount", "-l", locked], capture_output=True)
