"""Print preview shows the whole picture on the page and nothing else;
printing to a PDF file puts the same page in the file."""
import os
import shutil
import subprocess

import korvex_e2e as k

GREEN = (0, 200, 0)
PREVIEW_TITLE = r"^(打印预览|Print Preview)$"
PRINT_TITLE = r"^(打印|Print)$"


def check_placement(img, page, what):
    """The picture (blue frame, green inside) lies whole inside `page`, in
    its proportions."""
    outer, inner = img.bbox(k.BORDER, page), img.bbox(GREEN, page)
    k.check(outer and inner, "%s: no picture on the page" % what)
    k.check(outer[0] < inner[0] and outer[1] < inner[1] and inner[2] < outer[2] and inner[3] < outer[3],
            "%s: the picture's frame is cut (frame %s, inside %s)" % (what, outer, inner))
    k.check(outer[0] > page[0] + 1 and outer[1] > page[1] + 1 and outer[2] < page[2] - 1 and outer[3] < page[3] - 1,
            "%s: the picture %s reaches the page's edge %s" % (what, outer, page))
    w, h = outer[2] - outer[0], outer[3] - outer[1]
    k.check(abs(w * 3 - h * 4) <= 12, "%s: the picture is %dx%d on the page, not 4:3" % (what, w, h))


def check_clean(img, page, what):
    """Nothing on the page but the picture and white."""
    picture = (k.BORDER, GREEN)
    stray = sum(1 for y in range(page[1] + 1, page[3] - 1)
                for p in img.row(y, page[0] + 1, page[2] - 1)
                if min(p) < 200 and not any(k.near(c, 60)(p) for c in picture))
    k.check(stray <= (page[2] - page[0]) * (page[3] - page[1]) // 500,
            "%s: %d stray pixels on the page besides the picture" % (what, stray))


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/a.bmp", 400, 300, GREEN)
    wid = s.start_korvex(pics + "/a.bmp")
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, GREEN)

    s.activate(wid)
    s.open_menu("alt+f")
    preview = s.wait_window_after(lambda: s.key("v"), PREVIEW_TITLE)
    x0, y0, x1, y1 = s.window_rect(preview)
    img = s.wait_stable((x0, y0, x1, y1), timeout=10, quiet=0.3)
    page = img.bbox((255, 255, 255), (x0 + 4, y0 + 50, x1 - 4, y1 - 4))
    k.check(page is not None, "no page in the print preview")
    s.screenshot(os.path.join(s.work, "preview.png"))
    with s.fault("issue 19 point 2"):
        check_clean(img, page, "print preview")
    with s.fault("issue 19 point 3"):
        check_placement(img, page, "print preview")
    s.key("Escape")
    s.wait_no_window(PREVIEW_TITLE)

    # Printing with the dialog's defaults: a PDF file in the home folder.
    pdf = os.path.join(s.home, "print.pdf")
    s.wait_window_after(lambda: s.key("ctrl+p"), PRINT_TITLE)
    s.key("Return")
    s.wait_no_window(PRINT_TITLE)
    s.wait_file(pdf)
    k.check(shutil.which("pdftoppm"), "pdftoppm (poppler-utils) is needed to look at the printed PDF")
    k.wait_until(lambda: subprocess.run(["pdftoppm", "-r", "40", "-f", "1", "-l", "1", pdf],
                                        capture_output=True).returncode == 0, 10, "the PDF to be complete")
    ppm = subprocess.run(["pdftoppm", "-r", "40", "-f", "1", "-l", "1", pdf], capture_output=True).stdout
    page_img = k.Image.from_ppm(ppm).snapped((k.BORDER, GREEN))  # the PDF's picture is compressed
    with s.fault("issue 19 point 3"):
        check_placement(page_img, page_img.area(), "printed PDF")
    check_clean(page_img, page_img.area(), "printed PDF")
