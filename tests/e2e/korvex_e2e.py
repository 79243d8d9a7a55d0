#!/usr/bin/env python3
"""Drives the installed korvex from outside, as a person would.

Each journey gets its own X server (Xvfb, 1920x1080x24, on a free display
number) with openbox, an isolated HOME and XDG folders, and the viewer
started from the install prefix. Keys and clicks go through xdotool, windows
are found by title, results are read back from the screen (libX11; saved
screenshots through ImageMagick's import), from window properties (xprop,
xwininfo) and from the file system.

    korvex_e2e.py JOURNEY          run tests/e2e/journeys/JOURNEY.py

Exit codes: 0 passed, 1 failed, 77 skipped (no X server, or a fault listed in
KNOWN_FAULTS that has not been mended yet).
"""

import collections
import contextlib
import ctypes
import ctypes.util
import importlib.util
import os
import random
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))

# Faults that journeys catch and that are not mended on this branch yet. A
# failed check inside `session.fault(id)` with an id listed here is printed,
# the journey goes on and then ends as skipped; remove an id when its fix
# lands.
KNOWN_FAULTS = set()

APP_TITLE = "Tobble"          # the application part of every caption
UNTITLED = "无标题"
MESSAGE_TITLE = r"^Korvex$"   # the program's own message boxes
# The common dialogs' captions, in Chinese once the toolkit's translation is
# loaded, in English before.
OPEN_TITLE = r"^(打开|Open)$"
SAVE_TITLE = r"^(另存为|Save As)$"


class Skipped(Exception):
    pass


class KnownFault(Exception):
    pass


class JourneyTimeout(Exception):
    pass


def fail(message):
    raise AssertionError(message)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_until(predicate, timeout, what, interval=0.05):
    """Polls `predicate` until it returns a true value; fails after `timeout` s."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            fail("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# --- pictures -------------------------------------------------------------

class Image:
    """An RGB picture of the screen area whose top-left corner is (ox, oy);
    coordinates passed to its methods are screen coordinates."""

    def __init__(self, width, height, data, ox=0, oy=0):
        self.width, self.height, self.data, self.ox, self.oy = width, height, data, ox, oy

    @classmethod
    def from_ppm(cls, blob):
        fields, pos = [], 0
        while len(fields) < 4:
            while blob[pos:pos + 1].isspace():
                pos += 1
            if blob[pos:pos + 1] == b"#":
                pos = blob.index(b"\n", pos)
                continue
            end = pos
            while not blob[end:end + 1].isspace():
                end += 1
            fields.append(blob[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            fail("unexpected picture format %r" % fields)
        w, h = int(fields[1]), int(fields[2])
        return cls(w, h, blob[pos + 1:pos + 1 + w * h * 3])

    @classmethod
    def from_gray(cls, width, height, gray):
        rgb = bytearray(width * height * 3)
        rgb[0::3] = rgb[1::3] = rgb[2::3] = gray
        return cls(width, height, bytes(rgb))

    def area(self):
        return (self.ox, self.oy, self.ox + self.width, self.oy + self.height)

    def pixel(self, x, y):
        i = ((y - self.oy) * self.width + x - self.ox) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y, x0=None, x1=None):
        x0 = self.ox if x0 is None else x0
        x1 = self.ox + self.width if x1 is None else x1
        i = (y - self.oy) * self.width * 3
        raw = self.data[i + (x0 - self.ox) * 3:i + (x1 - self.ox) * 3]
        return [tuple(raw[k:k + 3]) for k in range(0, len(raw), 3)]

    def count(self, match, region):
        """How many pixels inside `region` satisfy `match(rgb)`."""
        x0, y0, x1, y1 = region
        return sum(1 for y in range(y0, y1) for p in self.row(y, x0, x1) if match(p))

    def snapped(self, colours, tolerance=40):
        """A copy in which every pixel near one of `colours` becomes that
        colour exactly (for pictures that went through lossy steps)."""
        out = bytearray(self.data)
        for i in range(0, len(out), 3):
            p = out[i:i + 3]
            for c in colours:
                if abs(p[0] - c[0]) <= tolerance and abs(p[1] - c[1]) <= tolerance and abs(p[2] - c[2]) <= tolerance:
                    out[i:i + 3] = bytes(c)
                    break
        return Image(self.width, self.height, bytes(out), self.ox, self.oy)

    def bbox(self, colour, region=None):
        """Bounding box (x0, y0, x1, y1), ends exclusive, of the pixels of
        exactly `colour` inside `region`; None when there are none."""
        rx0, ry0, rx1, ry1 = clip(region or self.area(), self.area())
        needle = bytes(colour)
        left, right, top, bottom = None, None, None, None
        for y in range(ry0, ry1):
            base = (y - self.oy) * self.width * 3
            raw = self.data[base + (rx0 - self.ox) * 3:base + (rx1 - self.ox) * 3]
            i = raw.find(needle)
            while i >= 0 and i % 3:
                i = raw.find(needle, i + 1)
            if i < 0:
                continue
            j = raw.rfind(needle)
            while j % 3:
                j = raw.rfind(needle, 0, j + 2)
            x0, x1 = rx0 + i // 3, rx0 + j // 3 + 1
            left = x0 if left is None else min(left, x0)
            right = x1 if right is None else max(right, x1)
            top = y if top is None else top
            bottom = y + 1
        return None if top is None else (left, top, right, bottom)


def clip(a, b):
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def near(colour, tolerance=24):
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, colour))


def write_bmp(path, width, height, paint):
    """Writes a 24-bit BMP; `paint(y)` returns the top-down row y as bytes
    in R, G, B order (3 * width bytes)."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        rgb = paint(y)
        bgr = bytearray(rgb)
        bgr[0::3], bgr[2::3] = rgb[2::3], rgb[0::3]
        rows.append(bytes(bgr) + b"\0" * (stride - width * 3))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


BORDER = (0, 0, 255)


def framed_picture(path, width, height, inside, border=BORDER, edge=16):
    """A picture of one colour with a border `edge` pixels wide: its outline
    is easy to find on screen."""
    b, c = bytes(border), bytes(inside)
    full = b * width
    mid = b * edge + c * (width - 2 * edge) + b * edge
    write_bmp(path, width, height, lambda y: full if y < edge or y >= height - edge else mid)


def luminance(p):
    return (p[0] * 3 + p[1] * 6 + p[2]) // 10


def menu_items(img, rect):
    x0, y0, x1, y1 = rect
    x0, x1 = x0 + 3, x1 - 3
    rows = [img.row(y, x0, x1) for y in range(y0 + 2, y1 - 2)]
    modes = [collections.Counter(r).most_common(1)[0][0] for r in rows]
    background = collections.Counter(modes).most_common(1)[0][0]
    bands, current = [], None
    for n, (row, mode) in enumerate(zip(rows, modes)):
        ref = luminance(mode)
        lum = [luminance(p) for p in row]
        ink = [i for i, v in enumerate(lum) if abs(v - ref) > 40]
        if not ink:
            if current and (n - current["last"] > 2 or mode != current["mode"]):
                current = None
            continue
        if current is None or mode != current["mode"]:
            current = {"top": n, "last": n, "mode": mode, "lums": [], "rows": []}
            bands.append(current)
        current["last"] = n
        current["lums"] += [lum[i] for i in ink]
        current["rows"].append(ink)
    bands = [b for b in bands if b["last"] - b["top"] >= 4]
    # Texts are aligned on one column, the rightmost start; ink left of it
    # is a check mark (or an empty check box).
    text_left = max((min(i for row in b["rows"] for i in row) for b in bands), default=0)
    items = []
    for b in bands:
        highlighted = b["mode"] != background
        enabled = max(b["lums"]) > 200 if highlighted else min(b["lums"]) < 100
        marked = any(i < text_left - 3 for row in b["rows"] for i in row)
        items.append({"top": y0 + 2 + b["top"], "bottom": y0 + 3 + b["last"], "enabled": enabled,
                      "marked": marked, "highlighted": highlighted})
    return items


def ink(img, region, threshold=140):
    """The dark pixels inside `region`, moved to the origin of their own
    bounding box: (frozenset of (x, y), width, height), or None."""
    x0, y0, x1, y1 = region
    points = [(x, y) for y in range(y0, y1)
              for x, p in enumerate(img.row(y, x0, x1), x0) if luminance(p) < threshold]
    if not points:
        return None
    left, top = min(p[0] for p in points), min(p[1] for p in points)
    width = max(p[0] for p in points) - left + 1
    height = max(p[1] for p in points) - top + 1
    return frozenset((x - left, y - top) for x, y in points), width, height


def frames(img, region, min_run=14):
    """Sunken panels (a status bar's panes) inside `region`: their inner
    rectangles, left to right. A panel is a dark left line and a light right
    line, each a long vertical run of one colour."""
    x0, y0, x1, y1 = region
    rows = [img.row(y, x0, x1) for y in range(y0, y1)]
    background = collections.Counter(rows[0] + rows[-1]).most_common(1)[0][0]
    edges = []
    for i in range(x1 - x0):
        best = None
        run_start = 0
        for j in range(1, len(rows) + 1):
            if j == len(rows) or rows[j][i] != rows[run_start][i]:
                colour = rows[run_start][i]
                if j - run_start >= min_run and colour != background and (not best or j - run_start > best[2] - best[1]):
                    best = (colour, run_start, j)
                run_start = j
        if best:
            edges.append((x0 + i, best[0], y0 + best[1], y0 + best[2]))
    panes, left = [], None
    for x, colour, top, bottom in edges:
        if luminance(colour) < luminance(background):
            left = (x, top, bottom)
        elif left and x > left[0] + 2:
            panes.append((left[0] + 1, left[1] + 1, x, left[2]))
            left = None
    return panes


def first_button(img, rect):
    """The middle of the leftmost icon on a toolbar inside `rect`."""
    x0, y0, x1, y1 = rect
    background = img.pixel(x0 + 1, y0 + (y1 - y0) // 2)
    for x in range(x0 + 2, x1):
        column = [img.pixel(x, y) for y in range(y0 + 2, y1 - 2)]
        if sum(1 for p in column if luminance(p) < luminance(background) - 60) >= 3:
            return x + 7, (y0 + y1) // 2
    fail("no button found on the toolbar at %s" % (rect,))


class _XImage(ctypes.Structure):
    _fields_ = ([(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")] +
                [("data", ctypes.c_void_p)] +
                [(n, ctypes.c_int) for n in ("byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad",
                                             "depth", "bytes_per_line", "bits_per_pixel")])


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class ScreenReader:
    """Reads screen pixels straight from the X server (libX11 through
    ctypes): many times cheaper than starting a screenshot program for each
    look. Saved screenshots still come from ImageMagick's import."""

    def __init__(self, display):
        name = ctypes.util.find_library("X11")
        if not name:
            raise Skipped("libX11 is not installed")
        lib = self.lib = ctypes.CDLL(name)
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XGetImage.restype = ctypes.POINTER(_XImage)
        lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        lib.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        ulong_p = ctypes.POINTER(ctypes.c_ulong)
        lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ulong_p, ulong_p,
                                   ctypes.POINTER(ulong_p), ctypes.POINTER(ctypes.c_uint)]
        lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_XWindowAttributes)]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                           ctypes.c_long, ctypes.c_int, ctypes.c_ulong, ulong_p,
                                           ctypes.POINTER(ctypes.c_int), ulong_p, ulong_p,
                                           ctypes.POINTER(ctypes.c_void_p)]
        lib.XFree.argtypes = [ctypes.c_void_p]
        self.display = lib.XOpenDisplay(display.encode())
        if not self.display:
            fail("cannot open display " + display)
        self.root = lib.XDefaultRootWindow(self.display)

    def grab(self, region):
        x0, y0, x1, y1 = region
        w, h = x1 - x0, y1 - y0
        ximage = self.lib.XGetImage(self.display, self.root, x0, y0, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        if not ximage:
            fail("could not read the screen at %s" % (region,))
        try:
            im = ximage.contents
            if im.bits_per_pixel != 32:
                fail("unexpected screen format: %d bits per pixel" % im.bits_per_pixel)
            raw = ctypes.string_at(im.data, im.bytes_per_line * h)
        finally:
            self.lib.XDestroyImage(ximage)
        if im.bytes_per_line != w * 4:
            raw = b"".join(raw[y * im.bytes_per_line:y * im.bytes_per_line + w * 4] for y in range(h))
        rgb = bytearray(w * h * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = raw[2::4], raw[1::4], raw[0::4]
        return Image(w, h, bytes(rgb), x0, y0)

    def _pid(self, window):
        atom = self.lib.XInternAtom(self.display, b"_NET_WM_PID", 0)
        kind, fmt, count, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        if self.lib.XGetWindowProperty(self.display, window, atom, 0, 1, 0, 6, ctypes.byref(kind), ctypes.byref(fmt),
                                       ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) != 0:
            return None
        try:
            return ctypes.cast(data, ctypes.POINTER(ctypes.c_long))[0] if count.value and data.value else None
        finally:
            if data.value:
                self.lib.XFree(data)

    def popups(self, pid):
        """Mapped override-redirect top-level windows (menus, tooltips) of
        process `pid`: {id: (x, y, width, height)}."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.lib.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return {}
        found = {}
        try:
            for i in range(count.value):
                window = children[i]
                attrs = _XWindowAttributes()
                if not self.lib.XGetWindowAttributes(self.display, window, ctypes.byref(attrs)):
                    continue
                if attrs.override_redirect and attrs.map_state == 2 and self._pid(window) == pid:
                    found[window] = (attrs.x, attrs.y, attrs.width, attrs.height)
        finally:
            if children:
                self.lib.XFree(children)
        return found

    def close(self):
        if self.display:
            self.lib.XCloseDisplay(self.display)
            self.display = None


def striped_picture(path, width, height, colour):
    """Colour rows with a black row every 8: any scrolling shows."""
    row, black = bytes(colour) * width, b"\0\0\0" * width
    write_bmp(path, width, height, lambda y: black if y % 8 == 0 else row)


# --- the desktop and the program ------------------------------------------

def _tool(name):
    path = shutil.which(name)
    if not path:
        raise Skipped("%s is not installed" % name)
    return path


class Session:
    """One journey: an X server with a window manager, a private home and
    the viewer. Every process started here is ended by its id."""

    def __init__(self, name, work):
        self.name = name
        self.work = work
        self.procs = []
        self.app = None
        self.main = None
        self.app_log = os.path.join(work, "korvex.log")
        self.faults_seen = []
        self.known_hits = []
        self.reader = None
        self.texts = {}
        self.fds = []
        self.prefix = os.environ.get("KORVEX_E2E_PREFIX", "")
        self.home = os.path.join(work, "home")
        self.env = self._isolated_env()

    def _isolated_env(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                            "XDG_SESSION_TYPE", "QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "XAUTHORITY")}
        dirs = {"HOME": "home", "XDG_CONFIG_HOME": "home/.config", "XDG_DATA_HOME": "home/.local/share",
                "XDG_CACHE_HOME": "home/.cache", "XDG_RUNTIME_DIR": "runtime"}
        for key, sub in dirs.items():
            path = os.path.join(self.work, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            env[key] = path
        env["LANG"] = env["LC_ALL"] = "C.UTF-8"
        env["QT_QPA_PLATFORM"] = "xcb"
        return env

    # X server and window manager

    def start_desktop(self):
        shown = os.environ.get("KORVEX_E2E_DISPLAY")
        if shown:
            # Watching on a visible display: no private server, no second
            # window manager.
            self.env["DISPLAY"] = shown
            return
        _tool("xdotool"), _tool("xprop"), _tool("xwininfo"), _tool("import")
        self.env["DISPLAY"] = ":" + self._start_xvfb()
        wm_log = open(os.path.join(self.work, "openbox.log"), "ab")
        wm = subprocess.Popen([_tool("openbox"), "--sm-disable"], env=self.env, stdout=wm_log, stderr=wm_log)
        self.procs.append(wm)
        wait_until(lambda: "window id #" in self.x("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                   30, "openbox to manage the screen")

    def _start_xvfb(self):
        """Starts a private X server on a free display number and returns
        the number. The server's lock file settles races with servers
        starting at the same moment; a number in use makes it exit."""
        rng = random.Random(os.getpid() ^ int(time.time() * 1000))
        reason = "no free display number"
        # KORVEX_E2E_DISPLAYS=FIRST-LAST keeps the servers inside a range of
        # display numbers (when several people share the machine).
        first, last = (int(n) for n in os.environ.get("KORVEX_E2E_DISPLAYS", "200-999").split("-"))
        for _ in range(12):
            number = rng.randrange(first, last + 1)
            if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            rfd, wfd = os.pipe()
            # The server's chatter goes to a file: a pipe nobody reads
            # would fill up and stall the server.
            log_path = os.path.join(self.work, "xvfb.log")
            with open(log_path, "wb") as log:
                proc = subprocess.Popen([_tool("Xvfb"), ":%d" % number, "-displayfd", str(wfd), "-screen", "0",
                                         "1920x1080x24", "-nolisten", "tcp", "-noreset"], pass_fds=(wfd,),
                                        stdout=subprocess.DEVNULL, stderr=log, env=self.env)
            os.close(wfd)
            # The server writes the number and then a line end; the pipe
            # stays open as long as the server runs (a write to a closed one
            # kills it).
            answer, deadline = b"", time.monotonic() + 20
            while not answer.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([rfd], [], [], max(0.0, deadline - time.monotonic()))
                chunk = os.read(rfd, 64) if ready else b""
                if not chunk:
                    break
                answer += chunk
            self.fds.append(rfd)
            if answer.decode().strip() == str(number):
                self.procs.append(proc)
                return str(number)
            self._end(proc)
            with open(log_path, "rb") as log:
                reason = log.read().decode(errors="replace").strip()[-300:] or "no answer"
        raise Skipped("no X server could be started: " + reason)

    def x(self, *cmd, check=True, timeout=20, data=False):
        """Runs an X tool on this session's display and returns its output."""
        r = subprocess.run(cmd, env=self.env, capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            fail("%s failed: %s" % (" ".join(cmd), r.stderr.decode(errors="replace").strip()))
        return r.stdout if data else r.stdout.decode(errors="replace")

    # the program

    def korvex_binary(self):
        path = os.path.join(self.prefix, "bin", "korvex") if self.prefix else os.environ.get("KORVEX_E2E_BINARY", "")
        if not path or not os.access(path, os.X_OK):
            fail("the installed korvex was not found (KORVEX_E2E_PREFIX=%r)" % self.prefix)
        return path

    def start_korvex(self, *args, cwd=None, animations=True):
        env = dict(self.env)
        if not animations:
            env["KORVEX_NO_ANIMATION"] = "1"
        log = open(self.app_log, "ab")
        self.app = subprocess.Popen([self.korvex_binary(), *args], env=env, cwd=cwd or self.work,
                                    stdout=log, stderr=subprocess.STDOUT)
        self.procs.append(self.app)
        wid = self.main = self.main_window()
        # The opening animation ends with the frame maximized; a person
        # waits for that before using it.
        last, stable = [None], [0]
        def settled():
            geometry = self.geometry(wid)
            stable[0] = stable[0] + 1 if geometry == last[0] and geometry[2] * geometry[3] >= 1920 * 1080 * 8 // 10 else 0
            last[0] = geometry
            # Maximized, or covering the screen and staying so for a while.
            return stable[0] >= 1 and ({"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} <= self.wm_state(wid) or stable[0] >= 12)
        wait_until(lambda: settled() or None, 20, "the frame to open and cover the screen", interval=0.15)
        check({"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} <= self.wm_state(wid),
              "the frame did not end maximized: state %s, geometry %s, frame extents %s" % (
                  sorted(self.wm_state(wid)), self.geometry(wid), self.prop(wid, "_NET_FRAME_EXTENTS")))
        return wid

    def main_window(self, title=None, timeout=15):
        """The viewer's frame, once mapped (and with `title` when given)."""
        pattern = re.escape(title) if title else r" - %s$" % APP_TITLE
        return self.wait_window(pattern, timeout)

    def windows(self, pattern):
        """The program's managed windows (in the window manager's client
        list) whose title matches the regular expression."""
        listing = self.x("xprop", "-root", "_NET_CLIENT_LIST", check=False)
        found = []
        for wid in re.findall(r"0x[0-9a-f]+", listing.split("=", 1)[-1]):
            props = self.x("xprop", "-id", wid, "_NET_WM_PID", "_NET_WM_NAME", check=False)
            pid = re.search(r"_NET_WM_PID\(CARDINAL\) = (\d+)", props)
            name = re.search(r'_NET_WM_NAME\(UTF8_STRING\) = "(.*)"$', props, re.M)
            if self.app is not None and (not pid or int(pid.group(1)) != self.app.pid):
                continue
            title = re.sub(r"\\(.)", r"\1", name.group(1)) if name else ""
            if re.search(pattern, title):
                found.append(int(wid, 16))
        return found

    def wait_window(self, pattern, timeout=20):
        """Waits for a visible window of the program whose title matches the
        regular expression; returns its id."""
        def found():
            if self.app is not None and self.app.poll() is not None:
                fail("korvex ended (status %s) while waiting for a window /%s/" % (self.app.returncode, pattern))
            ws = self.windows(pattern)
            return ws[-1] if ws else None
        return wait_until(found, timeout, "a window titled /%s/" % pattern)

    def wait_no_window(self, pattern, timeout=10):
        wait_until(lambda: not self.windows(pattern), timeout, "the window /%s/ to close" % pattern)

    def title(self, wid):
        return self.x("xdotool", "getwindowname", str(wid)).rstrip("\n")

    def wait_title(self, wid, expected, timeout=10):
        wait_until(lambda: self.title(wid) == expected, timeout,
                   "the title %r (it is %r)" % (expected, self.title(wid)))

    def prop(self, wid, name):
        return self.x("xprop", "-id", str(wid), name).split("=", 1)[-1].strip()

    def wm_state(self, wid):
        """The window's _NET_WM_STATE atoms, without the prefix."""
        out = self.x("xprop", "-id", str(wid), "_NET_WM_STATE", check=False)
        return {a.replace("_NET_WM_STATE_", "") for a in re.findall(r"_NET_WM_STATE_\w+", out.split("=", 1)[-1])}

    def geometry(self, wid):
        """Position and size of a window's client area on the screen."""
        out = self.x("xwininfo", "-id", str(wid))
        val = {k: int(re.search(k + r":\s+(-?\d+)", out).group(1))
               for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")}
        return (val["Absolute upper-left X"], val["Absolute upper-left Y"], val["Width"], val["Height"])

    def active_window(self):
        return int(self.x("xdotool", "getactivewindow", check=False).strip() or 0)

    # input

    def activate(self, wid):
        self.x("xdotool", "windowactivate", "--sync", str(wid))

    def key(self, *keys, delay=30):
        """Presses keys on whatever window has the focus, as a keyboard does."""
        self.x("xdotool", "key", "--clearmodifiers", "--delay", str(delay), *keys)

    def type(self, text):
        self.x("xdotool", "type", "--clearmodifiers", "--delay", "8", text)

    def move(self, x, y):
        self.x("xdotool", "mousemove", "--sync", str(x), str(y))

    def click(self, x, y, button=1):
        self.move(x, y)
        self.x("xdotool", "click", str(button))

    # the screen

    def grab(self, region=(0, 0, 1920, 1080)):
        """The screen's pixels inside `region` (x0, y0, x1, y1)."""
        if self.reader is None:
            self.reader = ScreenReader(self.env["DISPLAY"])
        return self.reader.grab(region)

    def screenshot(self, path):
        self.x("import", "-silent", "-window", "root", path)
        return path

    def wait_screen(self, predicate, timeout, what, region=(0, 0, 1920, 1080)):
        """Grabs the screen until `predicate(image)` returns a true value."""
        return wait_until(lambda: predicate(self.grab(region)), timeout, what, interval=0.1)

    def wait_stable(self, region, timeout=20, quiet=0.4):
        """Waits until `region` of the screen stops changing for `quiet` s
        (a transition effect has ended); returns the last grab."""
        last, since = None, time.monotonic()
        deadline = time.monotonic() + timeout
        while True:
            img = self.grab(region)
            sig = img.data
            now = time.monotonic()
            if sig != last:
                last, since = sig, now
            elif now - since >= quiet:
                return img
            if now > deadline:
                fail("the screen kept changing for %d s" % timeout)
            time.sleep(0.05)

    # files and pictures

    def folder(self, name):
        path = os.path.join(self.work, name)
        os.makedirs(path, exist_ok=True)
        return path

    def wait_file(self, path, timeout=10):
        wait_until(lambda: os.path.exists(path) and os.path.getsize(path) > 0, timeout, "the file " + path)

    def wait_picture(self, wid, inside, border=BORDER, timeout=30):
        """Waits until a picture made by `framed_picture` is wholly on screen
        in the window and stays put; returns (outer box, inner box, image)
        with boxes of exact-colour pixels (ends exclusive)."""
        state = {"last": None}
        x, y, w, h = self.geometry(wid)
        area = clip((x, y, x + w, y + h), (0, 0, 1920, 1080))
        def complete(img):
            outer, inner = img.bbox(border), img.bbox(inside)
            if not outer or not inner:
                return None
            if not (outer[0] < inner[0] and outer[1] < inner[1] and inner[2] < outer[2] and inner[3] < outer[3]):
                return None
            key = (outer, inner)
            if key != state["last"]:
                state["last"] = key
                return None
            return outer, inner, img
        return self.wait_screen(complete, timeout, "the picture to be drawn whole", area)

    # the common file dialogs

    def file_dialog(self, keys, title, path, file_type=1):
        """Opens a file dialog with `keys`, types `path` into its name box,
        picks entry `file_type` (1 = the first) of its type list and
        accepts. Returns the dialog's id (it may still be open, for a
        question it asked)."""
        # The keys are the frame's: give it the focus back if a closing
        # dialog took it along.
        if self.main and self.active_window() != self.main:
            self.activate(self.main)
        dialog = self.wait_window_after(lambda: self.key(*keys), title)
        self.type(path)
        # The name box's completion list may swallow keys on a busy machine:
        # the whole name must be seen in the box, else it is typed again.
        rect = self.window_rect(dialog)
        for _ in range(2):
            try:
                wait_until(lambda: self.find_text(rect, path), 3, "the typed name in the dialog", interval=0.3)
                break
            except AssertionError:
                self.key("Escape") if self.popups() else None
                self.key("ctrl+a")
                self.type(path)
        if file_type > 1:
            self.key("Tab", *["Down"] * (file_type - 1))
        self.key("Return")
        return dialog

    def wait_window_after(self, action, pattern, timeout=20):
        """Runs `action` and waits for a new window titled /pattern/."""
        before = set(self.windows(pattern))
        action()
        def fresh():
            new = [w for w in self.windows(pattern) if w not in before]
            return new[-1] if new else None
        wid = wait_until(fresh, timeout, "a window titled /%s/" % pattern)
        self.wait_stable(self.window_rect(wid), timeout=5, quiet=0.2)
        return wid

    # the status bar

    def status_panes(self, wid):
        """The inner rectangles of the status bar's panes, left to right."""
        x, y, w, h = self.geometry(wid)
        bottom = min(y + h, 1080)
        return frames(self.grab((x, bottom - 32, x + w, bottom)), (x, bottom - 32, x + w, bottom))

    def drop_file(self, path, target):
        """Drags `path` from another program (a file manager's way: a file
        URL) and drops it at the point `target`; True when it was taken."""
        helper = os.environ.get("KORVEX_E2E_DRAG") or os.path.join(
            os.path.dirname(self.prefix), "tests", "e2e", "korvex-e2e-drag")
        if not os.access(helper, os.X_OK):
            fail("the drag source korvex-e2e-drag was not found (KORVEX_E2E_DRAG)")
        source = subprocess.Popen([helper, path, "40", "900"], env=self.env, stdout=subprocess.PIPE)
        self.procs.append(source)
        window = wait_until(lambda: self.x("xdotool", "search", "--onlyvisible", "--name", "^korvex-e2e-drag$",
                                           check=False).split(), 20, "the drag source's window")
        x, y, w, h = self.geometry(int(window[0]))
        self.move(x + w // 2, y + h // 2)
        self.x("xdotool", "mousedown", "1")
        for step in range(1, 11):  # in steps, as a hand moves
            self.move(x + w // 2 + (target[0] - x - w // 2) * step // 10,
                      y + h // 2 + (target[1] - y - h // 2) * step // 10)
            time.sleep(0.05)
        self.x("xdotool", "mouseup", "1")
        out, _ = source.communicate(timeout=10)
        return out.decode().strip() == "dropped"

    def text_ink(self, text, threshold=140):
        """How `text` looks in a pane, drawn by the same toolkit and font:
        its pixels darker than `threshold`."""
        if text not in self.texts:
            helper = os.environ.get("KORVEX_E2E_TEXT") or os.path.join(
                os.path.dirname(self.prefix), "tests", "e2e", "korvex-e2e-text")
            if not os.access(helper, os.X_OK):
                fail("the text renderer korvex-e2e-text was not found (KORVEX_E2E_TEXT)")
            r = subprocess.run([helper, text], env=self.env, capture_output=True, timeout=30)
            if r.returncode != 0:
                fail("korvex-e2e-text failed: " + r.stderr.decode(errors="replace"))
            header, _, rest = r.stdout.partition(b"\n255\n")
            w, h = (int(v) for v in header.split()[1:3])
            self.texts[text] = Image.from_gray(w, h, rest[:w * h])
        picture = self.texts[text]
        return ink(picture, (1, 1, picture.width - 1, picture.height - 1), threshold)

    def find_text(self, rect, text, img=None):
        """Whether `text`, drawn in the toolkit's default font, is on screen
        inside `rect`: every core pixel of the drawn text is dark there
        (extra marks such as a mnemonic's underline are allowed, and a
        centred text drawn half a pixel off still matches)."""
        want = self.text_ink(text, threshold=100)
        img = img or self.grab(rect)
        x0, y0, x1, y1 = rect
        dark = {(x, y) for y in range(y0, y1)
                for x, p in enumerate(img.row(y, x0, x1), x0) if luminance(p) < 170}
        points = sorted(want[0], key=lambda p: (p[1], p[0]))
        fx, fy = points[0]
        allowed = len(points) // 50
        for ax, ay in dark:
            ox, oy = ax - fx, ay - fy
            missing = 0
            for px, py in points:
                if (px + ox, py + oy) not in dark:
                    missing += 1
                    if missing > allowed:
                        break
            else:
                return True
        return False

    def wait_text(self, rect, text, timeout=10):
        wait_until(lambda: self.find_text(rect, text), timeout, "the text %r on screen in %s" % (text, rect),
                   interval=0.2)

    def window_rect(self, wid):
        x, y, w, h = self.geometry(wid)
        return clip((x, y, x + w, y + h), (0, 0, 1920, 1080))

    def pane_shows(self, wid, pane, text):
        """None when status pane `pane` shows exactly `text`, whole; else
        what is wrong."""
        panes = self.status_panes(wid)
        if len(panes) != 7:
            return "the status bar shows %d panes, not 7" % len(panes)
        rect = panes[pane]
        seen = ink(self.grab(rect), rect)
        want = self.text_ink(text)
        if want is None:
            return None if seen is None else "pane %d is not empty" % pane
        if seen is None:
            return "pane %d is empty, not %r" % (pane, text)
        if seen == want:
            return None
        if seen[0] <= want[0] or seen[1] < want[1] and abs(seen[2] - want[2]) <= 1:
            return ("pane %d (%d px wide inside) shows %r cut: %d of its %d px"
                    % (pane, rect[2] - rect[0], text, seen[1], want[1]))
        differ = len(seen[0] ^ want[0])
        if seen[1:] == want[1:] and differ <= len(want[0]) // 50:
            return None
        return "pane %d does not show %r (%d px differ, %dx%d seen, %dx%d expected)" % (
            pane, text, differ, seen[1], seen[2], want[1], want[2])

    def wait_pane(self, wid, pane, text, timeout=10):
        last = []
        def shows():
            last[:] = [self.pane_shows(wid, pane, text)]
            return last[0] is None
        try:
            wait_until(shows, timeout, "pane %d to show %r" % (pane, text), interval=0.2)
        except AssertionError:
            message = last[0] if last and last[0] else "pane %d never showed %r" % (pane, text)
        else:
            return
        fail(message)

    # menus

    def popups(self):
        """Visible override-redirect windows of the program (menus, tooltips)
        as {id: (x, y, width, height)}."""
        self.grab((0, 0, 1, 1))  # opens the connection
        return self.reader.popups(self.app.pid)

    def open_menu(self, *keys, click=None, button=1):
        """Opens a menu with keys or a click and returns its rectangle
        (x0, y0, x1, y1) once it has been drawn."""
        before = set(self.popups())
        if click:
            self.click(*click, button=button)
        else:
            self.key(*keys)
        def new_popup():
            fresh = {w: g for w, g in self.popups().items() if w not in before and g[2] > 20 and g[3] > 20}
            return list(fresh.values())[-1] if fresh else None
        x, y, w, h = wait_until(new_popup, 10, "a menu to open")
        rect = (x, y, x + w, y + h)
        self.wait_stable(rect, timeout=5, quiet=0.2)
        return rect

    def menu_command(self, menu_keys, item_key):
        """Chooses a menu item by its mnemonic and waits for the menu to
        close."""
        self.open_menu(menu_keys)
        self.key(item_key)
        wait_until(lambda: not self.popups(), 5, "the menu to close")

    def menu_items(self, rect):
        """The items of the menu on screen inside `rect`, top to bottom:
        dicts with `enabled` (black text, not grey) and `marked` (ink in the
        check-mark column left of the text)."""
        return menu_items(self.grab(rect), rect)

    # faults not mended yet

    @contextlib.contextmanager
    def fault(self, fault_id):
        """Marks the checks inside as the ones that catch `fault_id`. While
        the fault is listed in KNOWN_FAULTS a failure here is noted and the
        journey goes on; it then ends as skipped."""
        try:
            yield
        except AssertionError as e:
            if fault_id not in KNOWN_FAULTS:
                raise AssertionError("%s (%s)" % (e, fault_id)) from e
            self.known_hits.append(fault_id)
            print("known fault, %s, not fixed yet: %s" % (fault_id, e))
            with contextlib.suppress(BaseException):
                os.makedirs(failure_dir(), exist_ok=True)
                shot = os.path.join(failure_dir(), "%s-known-%d.png" % (self.name, len(self.known_hits)))
                print("screenshot: " + self.screenshot(shot))
        else:
            if fault_id in KNOWN_FAULTS:
                self.faults_seen.append(fault_id)

    # cleanup

    def stop(self):
        if self.reader:
            self.reader.close()
        for proc in reversed(self.procs):
            self._end(proc)
        self.procs = []
        for fd in self.fds:
            os.close(fd)
        self.fds = []

    @staticmethod
    def _end(proc):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(3)
            except subprocess.TimeoutExpired:
                proc.kill()
                # A killed process always goes, but on a busy machine it
                # may take longer than the journey it served.
                proc.wait(30)


def failure_dir():
    return os.environ.get("KORVEX_E2E_FAILURES") or os.path.join(tempfile.gettempdir(), "korvex-e2e-failures")


def load_journey(name):
    path = os.path.join(HERE, "journeys", name + ".py")
    if not os.path.exists(path):
        sys.exit("no journey %s (%s)" % (name, path))
    spec = importlib.util.spec_from_file_location("journey_" + name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    name = argv[1]
    sys.modules.setdefault("korvex_e2e", sys.modules[__name__])  # journeys import this module
    journey = load_journey(name)
    timeout = int(os.environ.get("KORVEX_E2E_TIMEOUT", getattr(journey, "TIMEOUT", 100)))
    work = tempfile.mkdtemp(prefix="korvex-e2e-%s-" % name)
    session = Session(name, work)

    def on_alarm(signum, frame):
        raise JourneyTimeout("journey %s ran out of its %d s" % (name, timeout))
    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, lambda *_: on_alarm(0, None))
    started = time.monotonic()
    status = 1
    try:
        signal.alarm(timeout)
        session.start_desktop()
        journey.run(session)
        signal.alarm(0)
        for fid in sorted(set(session.faults_seen) - set(session.known_hits)):
            print("NOTE: the checks of %s passed this time; once they always do, remove it from KNOWN_FAULTS" % fid)
        if session.known_hits:
            raise KnownFault("known fault, %s, not fixed yet" % ", ".join(sorted(set(session.known_hits))))
        status = 0
        print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
    except Skipped as e:
        status = SKIP
        print("SKIP %s: %s" % (name, e))
    except KnownFault as e:
        status = SKIP
        print("SKIP %s: %s" % (name, e))
    except BaseException as e:  # a failed check, a timeout or a broken tool
        signal.alarm(0)
        traceback.print_exc()
        out = failure_dir()
        os.makedirs(out, exist_ok=True)
        if "DISPLAY" in session.env:
            with contextlib.suppress(BaseException):
                print("screenshot of the failure: " + session.screenshot(os.path.join(out, name + ".png")))
        with contextlib.suppress(OSError):
            shutil.copy(session.app_log, os.path.join(out, name + ".log"))
        print("FAIL %s (%.1f s): %s" % (name, time.monotonic() - started, e))
    finally:
        signal.alarm(0)
        session.stop()
        if status == 0 or not os.environ.get("KORVEX_E2E_KEEP"):
            shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
