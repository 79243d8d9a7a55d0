"""As a native Wayland client of a compositor (weston inside the journey's
X server): start, F11, the floating toolbar's start button, Escape,
File -> 退出. Alive through every step, status 0, no protocol error."""
import os
import shutil
import subprocess

import korvex_e2e as k

RED, GREEN = (255, 0, 0), (0, 255, 0)
SOCKET = "wayland-kx-e2e"


def is_caption(p):
    # The toolbar's caption strip: the palette's highlight, a clear blue.
    return p[2] > 150 and p[0] < 120 and p[2] - p[0] > 80


def run(s):
    weston = shutil.which("weston")
    if not weston:
        raise k.Skipped("weston is not installed")
    # weston's window is the whole desktop here: the session's window
    # manager, which would frame and resize it, is ended first.
    for proc in list(s.procs):
        if proc.args and os.path.basename(str(proc.args[0])) == "openbox":
            s._end(proc)
            s.procs.remove(proc)
    log = open(os.path.join(s.work, "weston.log"), "ab")
    # No key repeat: the File menu's keys are held down below.
    config = os.path.join(s.work, "weston.ini")
    with open(config, "w") as f:
        f.write("[keyboard]\nrepeat-delay=60000\n")
    s.procs.append(subprocess.Popen([weston, "--backend=x11-backend.so", "--socket=" + SOCKET, "--width=1600",
                                     "--height=900", "--idle-time=0", "--config=" + config],
                                    env=s.env, stdout=log, stderr=log))
    socket = os.path.join(s.env["XDG_RUNTIME_DIR"], SOCKET)
    k.wait_until(lambda: os.path.exists(socket) or s.procs[-1].poll() is not None, 20, "weston's socket")
    if not os.path.exists(socket):
        raise k.Skipped("weston did not start (see weston.log)")
    out = k.wait_until(lambda: weston_window(s), 20, "weston's window")
    ox, oy, _, _ = s.geometry(out)
    corner = (ox + 1000, max(oy, 0), ox + 1600, oy + 80)

    pics = s.folder("pics")
    k.framed_picture(pics + "/a.bmp", 400, 300, RED)
    k.framed_picture(pics + "/b.bmp", 400, 300, GREEN)
    env = dict(s.env, QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=SOCKET)
    app_log = open(s.app_log, "ab")
    s.app = subprocess.Popen([s.korvex_binary(), pics + "/a.bmp"], env=env, cwd=s.work,
                             stdout=app_log, stderr=subprocess.STDOUT)
    s.procs.append(s.app)

    def alive(step):
        k.check(s.app.poll() is None, "korvex ended (status %s) after %s" % (s.app.returncode, step))
        with open(s.app_log, errors="replace") as f:
            text = f.read()
        if "Could not find the Qt platform plugin" in text or "could not connect to display" in text.lower():
            raise k.Skipped("Qt's Wayland platform is not available")
        k.check("Protocol error" not in text and "protocol error" not in text, "a protocol error after %s" % step)

    s.wait_picture(out, RED)
    alive("the start")
    s.move(ox + 900, oy + 500)
    s.key("F11")
    # The panel shows once the compositor has granted full screen, never
    # before in the frame that is still maximized (below the compositor's
    # panel and the title bar).
    def at_top(img):
        c = _caption(img)
        k.check(not c or c[1] - oy < 20, "the floating toolbar showed before full screen: %r" % (c,))
        return c
    caption = s.wait_screen(at_top, 10, "the floating toolbar's caption at the top of the output", corner)
    alive("F11")
    s.click(caption[0] + 18, caption[3] + 12)
    # The slideshow moves on every second and each picture comes in with a
    # load effect, which on a busy machine takes most of that second: the
    # next picture coming in at all is the sign that it started.
    s.wait_screen(lambda img: (lambda b: b and b[2] - b[0] >= 100 and b[3] - b[1] >= 100)(img.bbox(GREEN)), 20,
                  "the slideshow's next picture", (ox, oy, ox + 1600, oy + 900))
    alive("the start button")
    s.move(ox + 900, oy + 500)
    s.key("Escape")
    s.wait_screen(lambda img: not _caption(img), 10, "the toolbar to go with full screen", corner)
    # Out of full screen the frame is first normal, then maximized again:
    # the menu waits until the output has been still for a second.
    s.wait_stable((ox, oy, ox + 1600, oy + 900), timeout=15, quiet=1.0)
    alive("Escape")
    # Below the menu bar: its title alone lit up is no open menu.
    menu = (ox, oy + 84, ox + 300, oy + 400)
    closed = s.grab(menu).data
    # Alt+F held down, as fingers do, until the menu shows. The compositor
    # grants a menu its grab only for the seat's latest key event, and a
    # chord from xdotool lets go of Alt within milliseconds of pressing F:
    # on a busy machine that release reaches the compositor before the
    # program's menu does, and the menu is refused.
    s.x("xdotool", "keydown", "alt+f")
    try:
        s.wait_screen(lambda img: img.data != closed, 10, "the File menu to open", menu)
    finally:
        s.x("xdotool", "keyup", "alt+f")
    s.key("x")
    k.wait_until(lambda: s.app.poll() is not None, 15, "the program to end")
    k.check(s.app.returncode == 0, "korvex ended with status %s" % s.app.returncode)
    with open(s.app_log, errors="replace") as f:
        k.check("rotocol error" not in f.read(), "a protocol error at the end")


def weston_window(s):
    for line in s.x("xwininfo", "-root", "-tree", check=False).splitlines():
        if '"Weston Compositor' in line:
            return int(line.split()[0], 16)
    return None


def _caption(img):
    """The caption strip: rows mostly of the highlight colour (the icons
    below it are blue too, but only in spots)."""
    x0, y0, x1, y1 = img.area()
    rows = {}
    for y in range(y0, y1):
        xs = [x for x in range(x0, x1) if is_caption(img.pixel(x, y))]
        if len(xs) >= 100:
            rows[y] = xs
    if not rows:
        return None
    return (min(min(xs) for xs in rows.values()), min(rows), max(max(xs) for xs in rows.values()) + 1, max(rows) + 1)
