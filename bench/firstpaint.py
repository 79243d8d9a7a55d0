#!/usr/bin/env python3
"""Times how long a viewer takes to put a picture on the screen, and its peak
resident memory, for ours and a peer alternately in the same X server.

    firstpaint.py open --colour RRGGBB --runs N --ours CMD --peer CMD
    firstpaint.py next --colour RRGGBB --next-colour RRGGBB --runs N \
        --ours CMD --ours-key Next --ours-prep "alt+c u" --peer CMD --peer-key Right

Prints one line: ours_ms ours_rss_kb peer_ms peer_rss_kb (medians), and every
sample on standard error.

Method: the pictures carry a centred block of a colour the photograph does not
have (a quarter of each side). The middle of the screen is read straight from
the X server: seven rows across the middle half, 1/12 of the height apart,
each one XGetImage on the root window, every 8th pixel compared; a poll takes
well under a millisecond and runs every millisecond, so a sample resolves to
about 1-2 ms. Rows rather than the one centre pixel, because the viewer does
not always draw the picture at the centre of the screen (its window may grow
to the screen after the first paint without moving the picture), and a
picture that is on screen somewhere in the middle counts as shown.

"open" counts from just before the process is started until the block is
seen. "next" waits for the first picture, lets the viewer settle, gives its
window the keyboard focus (no window manager does), sends the preparation
keys with xdotool, then counts from an XTest key press sent from this process
(so no tool start-up is in the time) until the next picture's block is seen.
Both viewers are measured the same way, alternately. Peak memory is VmHWM of
the viewer process, read a second after the picture appeared.
"""
import argparse
import ctypes
import ctypes.util
import os
import shlex
import signal
import statistics
import subprocess
import sys
import time

POLL_S = 0.001
PROBE_STEP = 8  # pixels between probe points along a row


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class Screen:
    def __init__(self):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        x11.XStringToKeysym.restype = ctypes.c_ulong
        x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.x11, self.xtst = x11, xtst
        self.dpy = x11.XOpenDisplay(None)
        if not self.dpy:
            sys.exit("firstpaint.py: cannot open the display")
        self.root = x11.XDefaultRootWindow(self.dpy)
        width, height = x11.XDisplayWidth(self.dpy, 0), x11.XDisplayHeight(self.dpy, 0)
        self.cx, self.cy = width // 2, height // 2
        # Probe rows across the middle half of the screen (see the note above).
        self.x0, self.span = width // 4, width // 2
        self.rows = [height * k // 12 for k in range(3, 10)]

    def sees(self, colour, tol=48):
        """Whether any probe point has the colour (within tol on each channel)."""
        for y in self.rows:
            image = self.x11.XGetImage(self.dpy, self.root, self.x0, y, self.span, 1, 0xFFFFFFFF, 2)  # ZPixmap
            if not image:
                continue
            try:
                head = ctypes.cast(image, ctypes.POINTER(XImage)).contents
                if head.bits_per_pixel == 32 and head.byte_order == 0:
                    line = ctypes.string_at(head.data, head.bytes_per_line)
                    for x in range(0, self.span * 4, PROBE_STEP * 4):  # blue, green, red, pad
                        if (abs(line[x + 2] - colour[0]) <= tol and abs(line[x + 1] - colour[1]) <= tol
                                and abs(line[x] - colour[2]) <= tol):
                            return True
                else:
                    for x in range(0, self.span, PROBE_STEP):
                        p = self.x11.XGetPixel(image, x, 0)
                        if near(((p >> 16) & 255, (p >> 8) & 255, p & 255), colour, tol):
                            return True
            finally:
                self.x11.XDestroyImage(image)
        return False

    def key(self, name):
        code = self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self.x11.XFlush(self.dpy)


def near(pixel, colour, tol=48):
    return all(abs(a - b) <= tol for a, b in zip(pixel, colour))


def rgb(text):
    return tuple(bytes.fromhex(text))


def wait_for(screen, colour, timeout, present=True):
    """Seconds (perf counter) at which the centre first has (or loses) the colour, or None."""
    end = time.perf_counter() + timeout
    while True:
        now = time.perf_counter()
        if screen.sees(colour) == present:
            return now
        if now > end:
            return None
        time.sleep(POLL_S)


def peak_rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def focus(pid):
    """Gives the viewer's window the keyboard: with no window manager nobody else does."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           capture_output=True, text=True, check=False).stdout.split()
    if found:
        subprocess.run(["xdotool", "windowfocus", "--sync", found[-1]], check=False)
        time.sleep(0.2)


def snapshot(args):
    """What the screen showed when a run failed, for the one reading the log."""
    if args.failures:
        os.makedirs(args.failures, exist_ok=True)
        name = os.path.join(args.failures, f"failed-{time.strftime('%H%M%S')}-{os.getpid()}.png")
        subprocess.run(["import", "-window", "root", name], check=False)
        print(f"  screen saved in {name}", file=sys.stderr)


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(3)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def one_run(screen, args, cmd, key, prep):
    colour = rgb(args.colour)
    # The previous viewer's window must be gone before the clock starts.
    if wait_for(screen, colour, 5, present=False) is None:
        print("  the last viewer's picture is still on screen", file=sys.stderr)
        return None, None
    start = time.perf_counter()
    proc = subprocess.Popen(shlex.split(cmd), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        shown = wait_for(screen, colour, args.timeout)
        if shown is None:
            print(f"  no picture within {args.timeout:g} s (exit status {proc.poll()})", file=sys.stderr)
            snapshot(args)
            return None, None
        if args.mode == "open":
            time.sleep(1.0)
            return (shown - start) * 1000.0, peak_rss_kb(proc.pid)
        time.sleep(1.0)  # let the viewer finish settling its window
        focus(proc.pid)
        if prep:
            subprocess.run(["xdotool", "key", "--delay", "150"] + prep.split(), check=False)
            time.sleep(0.5)
        if not screen.sees(colour):
            print("  the picture went away after the preparation keys", file=sys.stderr)
            snapshot(args)
            return None, None
        following = rgb(args.next_colour)
        start = time.perf_counter()
        screen.key(key)
        shown = wait_for(screen, following, args.timeout)
        if shown is None:
            print(f"  no next picture within {args.timeout:g} s", file=sys.stderr)
            snapshot(args)
            return None, None
        time.sleep(1.0)
        return (shown - start) * 1000.0, peak_rss_kb(proc.pid)
    finally:
        stop(proc)


def med(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def show(value, fmt):
    return "nan" if value is None else fmt % value


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["open", "next"])
    parser.add_argument("--colour", required=True)
    parser.add_argument("--next-colour")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--timeout", type=float, default=20.0)
    parser.add_argument("--ours", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--ours-key", default="Next")
    parser.add_argument("--peer-key", default="Right")
    parser.add_argument("--ours-prep", default="")
    parser.add_argument("--peer-prep", default="")
    parser.add_argument("--failures", help="folder for a screenshot of each failed run")
    args = parser.parse_args()
    if args.mode == "next" and not args.next_colour:
        parser.error("next needs --next-colour")
    screen = Screen()
    # The keyboard goes where the pointer is when no window manager sets focus.
    subprocess.run(["xdotool", "mousemove", str(screen.cx), str(screen.cy)], check=False)
    samples = {"ours": [], "peer": []}
    for _ in range(args.runs):
        # Alternate, so drift in the machine's load falls on both alike.
        for who, cmd, key, prep in (("ours", args.ours, args.ours_key, args.ours_prep),
                                    ("peer", args.peer, args.peer_key, args.peer_prep)):
            ms, kb = one_run(screen, args, cmd, key, prep)
            samples[who].append((ms, kb))
            print(f"  {args.mode} {who}: {show(ms, '%.1f')} ms, {show(kb, '%d')} kB", file=sys.stderr)
    out = []
    for who in ("ours", "peer"):
        out.append(show(med([s[0] for s in samples[who]]), "%.1f"))
        out.append(show(med([s[1] for s in samples[who]]), "%d"))
    print(" ".join(out))


if __name__ == "__main__":
    main()
