"""The common dialogs speak Chinese like the rest of the program: Open, Save
As with its overwrite question, Print, Page Setup and Print Preview."""
import korvex_e2e as k

GREEN = (0, 200, 0)


def check_dialog(s, dialog, title, *texts):
    with s.fault("issue 19 point 9"):
        k.check(s.title(dialog) == title, "the dialog is titled %r, not %r" % (s.title(dialog), title))
        rect = s.window_rect(dialog)
        img = s.grab(rect)
        missing = [t for t in texts if not s.find_text(rect, t, img)]
        k.check(not missing, "%s: %s not on screen" % (title, missing))


def run(s):
    pics = s.folder("pics")
    k.framed_picture(pics + "/a.bmp", 120, 90, GREEN)
    wid = s.start_korvex(pics + "/a.bmp")
    s.wait_title(wid, "a.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, GREEN)
    s.activate(wid)

    dialog = s.wait_window_after(lambda: s.key("ctrl+o"), k.OPEN_TITLE)
    check_dialog(s, dialog, "打开", "取消", "文件类型：")
    s.key("Escape")
    s.wait_no_window(k.OPEN_TITLE)

    dialog = s.file_dialog(["ctrl+s"], k.SAVE_TITLE, pics + "/a.bmp")
    question = k.wait_until(lambda: [w for w in s.windows(k.SAVE_TITLE) if w != dialog], 10,
                            "the question whether to replace a.bmp")[0]
    s.wait_stable(s.window_rect(question), timeout=5, quiet=0.2)
    check_dialog(s, question, "另存为", "是(Y)", "否(N)")
    s.key("Escape")
    k.wait_until(lambda: question not in s.windows(k.SAVE_TITLE), 10, "the question to close")
    check_dialog(s, dialog, "另存为", "取消")
    s.key("Escape")
    s.wait_no_window(k.SAVE_TITLE)

    dialog = s.wait_window_after(lambda: s.key("ctrl+p"), r"^(打印|Print)$")
    check_dialog(s, dialog, "打印", "取消")
    s.key("Escape")
    s.wait_no_window(r"^(打印|Print)$")

    for item, title, english in (("r", "页面设置", "Page Setup"), ("v", "打印预览", "Print Preview")):
        s.open_menu("alt+f")
        pattern = r"^(%s|%s)$" % (title, english)
        dialog = s.wait_window_after(lambda: s.key(item), pattern)
        check_dialog(s, dialog, title)
        s.key("Escape")
        s.wait_no_window(pattern)
