"""Save As through the real dialog: each of the six types with a bare name,
a typed extension, the overwrite question, a phone's photo turned round that
keeps its EXIF data in JPEG and PNG, and a folder nobody may write."""
import os
import struct
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

    phone_photo_keeps_its_data(s, pics, out)

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
        # With the reason, which differs for a read-only disk.
        s.wait_text(s.window_rect(box), "该文件夹所在的磁盘是只读的。" if mounted else "没有在该文件夹中创建文件的权限。")
        s.key("Return")
        s.wait_no_window(k.MESSAGE_TITLE)
        k.check(not os.listdir(locked), "a file appeared in the locked folder: %s" % os.listdir(locked))
    finally:
        if mounted:
            subprocess.run(["umount", "-l", locked], capture_output=True)


RED = (255, 0, 0)
DATE = b"2026:05:17 09:41:07"


def phone_photo_keeps_its_data(s, pics, out):
    """Upright the photo is 400x600, red band on top; the phone stored it
    lying on its side with a thumbnail. Turned half round and saved, it is
    400x600 with the band at the bottom, and the data says so."""
    k.write_bmp(pics + "/p.bmp", 400, 600, lambda y: bytes(RED if y < 100 else k.BORDER) * 400)
    subprocess.run(["convert", pics + "/p.bmp", "-rotate", "270", "-strip", pics + "/raw.jpg"], check=True, env=s.env)
    with open(pics + "/raw.jpg", "rb") as f:
        jpeg = f.read()
    segment = b"Exif\0\0" + phone_tiff()
    at = 2 + (2 + int.from_bytes(jpeg[4:6], "big") if jpeg[2:4] == b"\xff\xe0" else 0)
    with open(pics + "/phone.jpg", "wb") as f:
        f.write(jpeg[:at] + b"\xff\xe1" + (len(segment) + 2).to_bytes(2, "big") + segment + jpeg[at:])
    s.file_dialog(["ctrl+o"], k.OPEN_TITLE, pics + "/phone.jpg")
    s.wait_title(s.main, "phone.jpg - " + k.APP_TITLE)
    s.menu_command("alt+r", "g")
    for index, ext in ((4, ".jpg"), (7, ".png")):
        s.file_dialog(["ctrl+s"], k.SAVE_TITLE, out + "/phone", index)
        s.wait_no_window(k.SAVE_TITLE)
        saved = out + "/phone" + ext
        s.wait_file(saved)
        with open(saved, "rb") as f:
            data = f.read()
        tags = exif_tags(data)
        k.check(tags.get(0x0112) == 1 and tags.get(0x9003) == DATE and tags.get(0x010F) == b"Acme",
                "%s: orientation, date or camera lost: %s" % (ext, tags))
        k.check((tags.get(0xA002), tags.get(0xA003)) == (400, 600), "%s: the pixel size says %s" % (ext, tags))
        k.check(b"THUMB" not in data, ext + ": the stale thumbnail was kept")
        # Another program turns it as the data says: not at all.
        ppm = subprocess.run(["convert", saved, "-auto-orient", "ppm:-"], check=True, capture_output=True).stdout
        img = k.Image.from_ppm(ppm)
        k.check((img.width, img.height) == (400, 600), "%s: auto-oriented to %dx%d" % (ext, img.width, img.height))
        k.check(k.near(RED)(img.pixel(200, 550)) and not k.near(RED)(img.pixel(200, 50)),
                ext + ": the red band is not at the bottom")


def phone_tiff():
    """A big-endian EXIF block: Make, Orientation 6, the capture date, the
    stored size 600x400 and a thumbnail marked THUMB."""
    thumb = b"\xff\xd8\xff\xfe\x00\x07THUMB\xff\xd9"
    short, long_ = (lambda v: struct.pack(">H", v)), (lambda v: struct.pack(">I", v))
    ifds = [[(0x010F, 2, b"Acme\0"), (0x0112, 3, short(6)), (0x8769, 4, None)],
            [(0x9003, 2, DATE + b"\0"), (0xA002, 3, short(600)), (0xA003, 3, short(400))],
            [(0x0201, 4, None), (0x0202, 4, long_(len(thumb)))]]
    sizes = [2 + 12 * len(e) + 4 + sum(len(v) + len(v) % 2 for _, _, v in e if v and len(v) > 4) for e in ifds]
    starts = [8, 8 + sizes[0], 8 + sizes[0] + sizes[1]]
    ifds[0][2] = (0x8769, 4, long_(starts[1]))
    ifds[2][0] = (0x0201, 4, long_(starts[2] + sizes[2]))
    block = b"MM\0\x2a" + long_(8)
    for n, entries in enumerate(ifds):
        head, extra = struct.pack(">H", len(entries)), b""
        values = starts[n] + 2 + 12 * len(entries) + 4
        for tag, kind, value in entries:
            count = len(value) // {2: 1, 3: 2, 4: 4}[kind]
            if len(value) > 4:
                head += struct.pack(">HHII", tag, kind, count, values + len(extra))
                extra += value + b"\0" * (len(value) % 2)
            else:
                head += struct.pack(">HHI", tag, kind, count) + value.ljust(4, b"\0")
        block += head + long_(starts[2] if n == 0 else 0) + extra
    return block + thumb


def exif_tags(data):
    """IFD0's and the EXIF IFD's numbers and texts from a JPEG's APP1 or a
    PNG's eXIf chunk, by tag."""
    if data.startswith(b"\x89PNG"):
        at = data.find(b"eXIf")
        tiff = data[at + 4:at + 4 + int.from_bytes(data[at - 4:at], "big")] if at > 0 else b""
    else:
        at = data.find(b"\xff\xe1")
        tiff = data[at + 10:at + 2 + int.from_bytes(data[at + 2:at + 4], "big")] if at > 0 else b""
    if tiff[:2] not in (b"II", b"MM"):
        return {}
    e = "<" if tiff[:2] == b"II" else ">"
    tags, ifds = {}, [struct.unpack(e + "I", tiff[4:8])[0]]
    while ifds:
        at = ifds.pop()
        for i in range(struct.unpack(e + "H", tiff[at:at + 2])[0]):
            tag, kind, count, raw = struct.unpack(e + "HHI4s", tiff[at + 2 + 12 * i:at + 14 + 12 * i])
            if kind == 2:
                offset = struct.unpack(e + "I", raw)[0] if count > 4 else None
                tags[tag] = raw[:count - 1] if offset is None else tiff[offset:offset + count - 1]
            elif kind in (3, 4):
                tags[tag] = struct.unpack(e + ("H" if kind == 3 else "I"), raw[:2 if kind == 3 else 4])[0]
            if tag == 0x8769:
                ifds.append(tags[tag])
    return tags
