"""The context menu's enabled states and check marks agree with the menus:
on the first picture, and during the slideshow (Delete grayed there)."""
import time

import korvex_e2e as k

BAR_TITLE = r"^全屏/幻灯片模式$"
# Previous, Next, two turns, zoom in, out, fit, actual, five effects,
# Delete, full screen.
NAMES = ["上一张", "下一张", "顺时针", "逆时针", "放大", "缩小", "适合大小", "原始大小", "水平百叶窗", "垂直百叶窗",
         "马赛克", "向上扫描", "向下扫描", "删除", "全屏"]


def states(items):
    return {n: i["enabled"] for n, i in zip(NAMES, items)}


def run(s):
    pics = s.folder("pics")
    for n, colour in ((1, (255, 0, 0)), (2, (0, 160, 0)), (3, (255, 255, 0))):
        k.framed_picture("%s/p%d.bmp" % (pics, n), 200, 150, colour)
    wid = s.start_korvex(pics + "/p1.bmp")
    s.wait_title(wid, "p1.bmp - " + k.APP_TITLE)
    outer, _, _ = s.wait_picture(wid, (255, 0, 0))
    centre = ((outer[0] + outer[2]) // 2, (outer[1] + outer[3]) // 2)

    items = s.menu_items(s.open_menu(click=centre, button=3))
    k.check(len(items) == len(NAMES), "the context menu has %d items, not %d" % (len(items), len(NAMES)))
    want = dict.fromkeys(NAMES, True)
    want["上一张"] = False
    k.check(states(items) == want, "context menu on the first picture: %s" % states(items))
    with s.fault("issue 19 point 8"):
        k.check(not any(i["marked"] for i in items),
                "unchecked items show a mark: %s" % [n for n, i in zip(NAMES, items) if i["marked"]])
    s.key("Escape")

    # The menus' own marks: only checked items carry one.
    s.activate(wid)
    view = s.menu_items(s.open_menu("alt+v"))
    s.key("Escape")
    effects = s.menu_items(s.open_menu("alt+c"))
    s.key("Escape")
    with s.fault("issue 19 point 8"):
        k.check([i["marked"] for i in view] == [True, True, False, False, False],
                "View menu marks %s (toolbar, status bar, previous, next, full screen)" % [i["marked"] for i in view])
        marked = [n for n, i in enumerate(effects) if i["marked"]]
        k.check(0 in marked and 1 in marked and len(marked) <= 3,
                "effect menu marks items %s; effects on, random and the last effect only" % marked)

    # During the slideshow Delete is grayed, as in the Edit menu.
    s.key("F11")
    bar = s.wait_window(BAR_TITLE)
    # The toolbar may be placed twice (once its frame is known): click it
    # where it stays.
    k.wait_until(lambda: s.geometry(bar) == s.geometry(bar) and time.sleep(0.4) is None and
                 s.geometry(bar)[0] > 1920 - 400 and s.geometry(bar) == s.geometry(bar), 10, "the toolbar to settle")
    x, y, w, h = s.geometry(bar)
    time.sleep(0.4)
    x, y, w, h = s.geometry(bar)
    img = s.wait_stable((x, y, x + w, y + h), timeout=5, quiet=0.2)
    s.click(*k.first_button(img, (x, y, x + w, y + h)))
    s.wait_title(wid, "p2.bmp - " + k.APP_TITLE, timeout=6)
    items = s.menu_items(s.open_menu(click=(960, 540), button=3))
    got = states(items)
    with s.fault("issue 19 point 7"):
        k.check(got["删除"] is False, "Delete is enabled in the context menu during the slideshow")
    with s.fault("issue 19 point 8"):
        k.check([n for n, i in zip(NAMES, items) if i["marked"]] == ["全屏"],
                "in full screen only 全屏 should carry a mark: %s" % [n for n, i in zip(NAMES, items) if i["marked"]])
    s.key("Escape")
