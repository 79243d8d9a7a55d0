"""A folder of BMP, PNG, WebP and JPEG pictures pages through all of them
with Page Down, and a phone's portrait photo (EXIF orientation 6, stored
lying on its side) stands upright."""
import subprocess

import korvex_e2e as k

RED, GREEN, YELLOW = (255, 0, 0), (0, 160, 0), (255, 255, 0)


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/1.bmp", 600, 400, RED)
    k.framed_picture(pics + "/g.bmp", 600, 400, GREEN)
    k.framed_picture(pics + "/y.bmp", 600, 400, YELLOW)
    # Upright the phone's picture is 400x600, blue with a red band on top;
    # the camera stored it turned a quarter to the left.
    k.write_bmp(pics + "/p.bmp", 400, 600, lambda y: bytes(RED if y < 100 else k.BORDER) * 400)
    tool(s, "convert", pics + "/g.bmp", pics + "/2.png")
    tool(s, "convert", pics + "/y.bmp", pics + "/y.png")
    tool(s, "cwebp", "-quiet", "-lossless", pics + "/y.png", "-o", pics + "/3.webp")
    tool(s, "convert", pics + "/p.bmp", "-rotate", "270", "-strip", "-quality", "95", pics + "/raw.jpg")
    with open(pics + "/raw.jpg", "rb") as f:
        jpeg = f.read()
    with open(pics + "/4.jpg", "wb") as f:
        f.write(with_orientation(jpeg, 6))
    for name in ("g.bmp", "y.bmp", "p.bmp", "y.png", "raw.jpg"):
        subprocess.run(["rm", pics + "/" + name], check=True)

    wid = s.start_korvex(pics + "/1.bmp")
    s.wait_title(wid, "1.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, RED)
    s.activate(wid)
    for name, colour in (("2.png", GREEN), ("3.webp", YELLOW)):
        s.key("Next")
        s.wait_title(wid, name + " - " + k.APP_TITLE)
        s.wait_picture(wid, colour)
    s.key("Next")
    s.wait_title(wid, "4.jpg - " + k.APP_TITLE)
    x, y, w, h = s.geometry(wid)
    # The view alone: the toolbar's icons have blues of their own.
    area = k.clip((x, y + 90, x + w, y + h - 40), (0, 0, 1920, 1080))

    def upright(img):
        blue, red = near_box(img, k.BORDER), near_box(img, RED)
        if not blue or not red:
            return None
        bw, bh = blue[2] - blue[0], blue[3] - blue[1]
        return bh > bw * 5 // 4 and red[3] <= blue[1] + 4 and red[1] < blue[1]
    s.wait_screen(upright, 20, "the portrait to stand upright, its red band on top", area)


def tool(s, *cmd):
    subprocess.run(cmd, check=True, env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def with_orientation(jpeg, orientation):
    """The JPEG with an EXIF segment (APP1) holding only the orientation."""
    tiff = bytes([77, 77, 0, 42, 0, 0, 0, 8, 0, 1, 1, 0x12, 0, 3, 0, 0, 0, 1, 0, orientation, 0, 0, 0, 0, 0, 0])
    segment = b"\xff\xe1" + (len(tiff) + 8).to_bytes(2, "big") + b"Exif\0\0" + tiff
    at = 2 + (2 + int.from_bytes(jpeg[4:6], "big") if jpeg[2:4] == b"\xff\xe0" else 0)
    return jpeg[:at] + segment + jpeg[at:]


def near_box(img, colour, tolerance=40, step=3):
    """Bounding box of the pixels near `colour` (a lossy picture's colours
    are not exact), sampled every `step` pixels."""
    match = k.near(colour, tolerance)
    x0, y0, x1, y1 = img.area()
    found = [(x, y) for y in range(y0, y1, step) for x in range(x0, x1, step) if match(img.pixel(x, y))]
    if not found:
        return None
    xs, ys = [p[0] for p in found], [p[1] for p in found]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1
