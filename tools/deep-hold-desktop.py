#!/usr/bin/env python3
"""The desktop half of tools/deep-hold.mjs: keys 4 and y, a press on the snow held still for
HOLD seconds, a release and 'z'; prints when the cone bound ended the hold, if it did, in seconds
after the press ("bound seconds: S", or "bound seconds: none"), and how long the window took to
show the scene without the object ("undo seconds: S"), read as often as xwd can read it. Runs the
real program on an X server of its own.

Usage: deep-hold-desktop.py FRIMEL DATA_DIR HOLD_SECONDS"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import frimel_session as fs  # noqa: E402

BOUND_LINE = "The crystal grows no larger: the scene would take too long to draw"


def main():
    frimel, data_dir, hold = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), float(sys.argv[3])
    xserver = fs.XServer()
    xserver.start()
    app = fs.Frimel(xserver, frimel, data_dir)
    try:
        app.start()
        app.wait_for_line("trying to load snow.bmp")
        app.key("4", "y")
        empty = app.wait_stable()
        app.press(300, 300)
        pressed = time.monotonic()
        start_line = len(app.lines)
        bound_at = None
        while time.monotonic() - pressed < hold:
            if bound_at is None and BOUND_LINE in app.lines_since(start_line):
                bound_at = time.monotonic() - pressed
            time.sleep(0.05)
        app.release()
        print("bound seconds: %s" % ("none" if bound_at is None else "%.2f" % bound_at))
        app.key("z")
        start = time.monotonic()
        while app.screenshot() != empty:  # as often as the window can be read
            if time.monotonic() - start > 120:
                raise SystemExit("the desktop never showed the scene without the object")
        print("undo seconds: %.2f" % (time.monotonic() - start))
    finally:
        app.stop()
        xserver.stop()


if __name__ == "__main__":
    main()
