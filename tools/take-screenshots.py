#!/usr/bin/env python3
"""Plays a few short Frimel sessions on a virtual X server and keeps what they look like as
PNG pictures for the README.

Usage: python3 tools/take-screenshots.py [--build DIR] [--out DIR]
Builds the program and its bitmaps in the build folder (default: build) first. Needs Xvfb,
xdotool and xwd, the same tools the end-to-end tests use, and ImageMagick's convert to keep
the files small (without it they are written as they are).
"""

import argparse
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import frimel_session as fs  # noqa: E402  (found through the path set just above)


def changed_width(picture, reference):
    box = picture.difference_box(reference)
    return 0 if box is None else box[2] - box[0] + 1


def wave(x0, x1, y, amplitude, step=14):
    """Pointer path of a gentle wave from x0 to x1 around row y."""
    points = []
    for x in range(x0, x1 + 1, step):
        t = (x - x0) / float(x1 - x0)
        bend = 4 * t * (1 - t)
        points.append((x, int(y - amplitude * bend + amplitude * 0.5 * (t - 0.5))))
    return points


def grow(app, x, y, width, reference):
    """Holds the button at (x, y) until the new crystal shows `width` pixels across."""
    app.hold(x, y, lambda picture: changed_width(picture, reference) > width, timeout=60)
    return app.wait_stable(timeout=120)


def frost_stroke(app, first):
    """Two strokes of crystals in blue and white, with a few chunks in between."""
    app.key("y")
    app.choose_menu("Ice Color", "Blue")
    app.drag(wave(110, 490, 250, 70))
    app.wait_stable(timeout=60)
    app.choose_menu("Ice Color", "White")
    app.drag(wave(130, 470, 420, -60))
    app.wait_stable(timeout=60)
    app.choose_menu("Draw Chunks (U)")
    app.choose_menu("Ice Color", "Purple")
    for x, y in ((180, 330), (300, 345), (420, 330)):
        app.click(x, y)
    return app.wait_stable(timeout=60)


def branches(app, first):
    """One crystal held until it is large and branched."""
    app.key("y")
    app.choose_menu("Ice Color", "Blue")
    return grow(app, 300, 330, 170, first)


def translucent_snow(app, first):
    """Coloured crystals laid over the drifted snow texture, seen through each other."""
    app.key("s", "y")
    scene = first
    for colour, (x, y), width in (("Purple", (200, 230), 70), ("Green", (400, 260), 60),
                                  ("Blue", (300, 420), 90)):
        app.choose_menu("Ice Color", colour)
        scene = grow(app, x, y, width, scene)
    app.choose_menu("Ice Color", "Red")
    app.drag(wave(120, 480, 340, 40, step=18))
    app.wait_stable(timeout=60)
    app.key("t")
    app.wait_stable(timeout=60)
    return app.screenshot()


def turned_scene(app, first):
    """A small frost garden turned with the trackball to look along the slope."""
    app.key("y")
    scene = first
    for colour, (x, y), width in (("Blue", (220, 380), 70), ("White", (380, 300), 80),
                                  ("Green", (300, 180), 50)):
        app.choose_menu("Ice Color", colour)
        scene = grow(app, x, y, width, scene)
    app.choose_menu("Ice Color", "Purple")
    app.drag(wave(120, 480, 480, 30, step=18))
    app.wait_stable(timeout=60)
    app.key("r")
    app.drag([(300, 380 - 12 * i) for i in range(9)] + [(300 + 6 * i, 284) for i in range(1, 6)])
    return app.wait_stable(timeout=60)


SHOTS = (("frost-stroke.png", frost_stroke), ("branches.png", branches),
         ("translucent-snow.png", translucent_snow), ("turned-scene.png", turned_scene))


def shrink(path):
    """Cuts the picture to 256 colours when ImageMagick is there: half the bytes, same look."""
    try:
        subprocess.run(["convert", path, "-strip", "-colors", "256",
                        "-define", "png:compression-level=9", path], check=True)
    except (OSError, subprocess.CalledProcessError):
        pass


def build(build_dir):
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", "frimel", "bitmaps"], check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--out", default=os.path.join(ROOT, "docs"))
    options = parser.parse_args()
    build_dir = os.path.abspath(options.build)
    build(build_dir)
    fs.parse_args(["take-screenshots", "--frimel", os.path.join(build_dir, "frimel"),
                   "--data", os.path.join(build_dir, "data")])
    os.makedirs(options.out, exist_ok=True)
    xserver = fs.XServer().start()
    try:
        for name, session in SHOTS:
            app = fs.Frimel(xserver).start()
            try:
                picture = session(app, app.wait_stable())
            finally:
                app.stop()
            path = os.path.join(options.out, name)
            picture.save_png(path)
            shrink(path)
            print("wrote %s (%d bytes)" % (path, os.path.getsize(path)))
    finally:
        xserver.stop()


if __name__ == "__main__":
    main()
