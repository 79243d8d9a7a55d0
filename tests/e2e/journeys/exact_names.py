"""A name that is not UTF-8 next to its twin that decodes to the same text:
the command line (a file URI), paging and both programs started with the picture reach
the file whose bytes were meant (the delete journey does Delete)."""
import os
import urllib.parse

import korvex_e2e as k

RED = (255, 0, 0)
GREEN = (0, 160, 0)


def recorder(folder, name):
    """A program that writes the argument it was given to NAME.out."""
    script = os.path.join(folder, name)
    with open(script, "wb") as f:
        f.write(b'#!/bin/sh\nprintf "%s" "$1" > "$0.tmp" && mv "$0.tmp" "$0.out"\n')
    os.chmod(script, 0o755)
    return script


def run(s):
    pics = os.fsencode(s.folder("pics"))
    raw, twin = pics + b"/g\xff.bmp", pics + b"/g\xef\xbf\xbd.bmp"
    k.framed_picture(raw, 400, 300, RED)
    k.framed_picture(twin, 400, 300, GREEN)

    # The paint program and the desktop's default application for BMP both
    # record what they were handed.
    tools = s.folder("tools")
    s.env["KORVEX_PAINT"] = paint = recorder(tools, "paint")
    default = recorder(tools, "default")
    apps = os.path.join(s.env["XDG_DATA_HOME"], "applications")
    os.makedirs(apps, exist_ok=True)
    with open(os.path.join(apps, "recorder.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%f\nMimeType=image/bmp;\n" % default)
    with open(os.path.join(s.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\nimage/bmp=recorder.desktop\n")

    # Started as a launcher starts it, with the file's URI: the encoded
    # byte names the file that is not UTF-8, not its twin.
    wid = s.start_korvex("file://" + urllib.parse.quote(raw))
    s.wait_title(wid, "g\ufffd.bmp - " + k.APP_TITLE)
    s.wait_picture(wid, RED)
    s.activate(wid)
    s.key("Prior")
    s.wait_picture(wid, GREEN)
    s.key("Next")
    s.wait_picture(wid, RED)

    for item, script in (("m", paint), ("w", default)):
        s.open_menu("alt+e")
        s.key(item)
        s.wait_file(script + ".out")
        with open(script + ".out", "rb") as f:
            got = f.read()
        k.check(got == raw, "%s was handed %r, not %r" % (os.path.basename(script), got, raw))
