"""Started without a path: the untitled caption, and every picture command
grayed in the menus."""
import korvex_e2e as k


def run(s):
    wid = s.start_korvex()
    s.wait_title(wid, k.UNTITLED + " - " + k.APP_TITLE)
    s.activate(wid)
    # 缩放(&Z): all eight zoom items; 旋转(&R): the three turns.
    for mnemonic, count in (("alt+z", 8), ("alt+r", 3)):
        rect = s.open_menu(mnemonic)
        items = s.menu_items(rect)
        k.check(len(items) == count, "%s opened a menu of %d items, not %d" % (mnemonic, len(items), count))
        k.check(not any(i["enabled"] for i in items), "%s: picture commands enabled without a picture" % mnemonic)
        s.key("Escape")
    # 查看(&V): the toolbar and status bar items stay enabled, the paging
    # items are grayed.
    items = s.menu_items(s.open_menu("alt+v"))
    k.check([i["enabled"] for i in items] == [True, True, False, False, True],
            "View menu states %s" % [i["enabled"] for i in items])
    s.key("Escape")
