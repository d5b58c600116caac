"""Drives the real frimel program on an X server of its own, like a person at the desk would.

Standard library only. Typical use in a test file:

    import frimel_session as fs

    class Clicks(fs.FrimelTestCase):
        def test_click_prints_row(self):
            self.app.click(300, 300)
            self.app.wait_for_line("mouse clicked at 300 299")

    if __name__ == "__main__":
        fs.main()

Pieces, usable on their own:
- parse_args(argv) -> (frimel_path, data_dir, remaining argv)
- XServer(): start() / stop(); .display is the ":N" string, .env() the environment for clients
- Frimel(xserver, frimel_path, data_dir): start(), wait_for_line(), click(), drag(), hold(),
  key(), choose_menu(), resize(), screenshot(), wait_stable(), wait_changed(), wait_equal(),
  wait_unchanged(), wait_exit(), stop()
- Image: an RGB picture (pixel(), crop(), mean(), count_differences(), save_png()),
  from x_picture; XServer and wait_until come from x_display
- FrimelTestCase: unittest base class; one X server per test class, a fresh program per test
- main(): runs the unittest tests of the calling file and prints "N passed, M failed"

Coordinates given to Frimel are window pixels with y growing downward, as X reports them.
"""

import argparse
import os
import re
import subprocess
import sys
import threading
import time
import unittest

# Re-exported: test files reach everything through this module.
from x_display import DEFAULT_SCREEN, SessionError, XServer, end_process, wait_until, window_geometry
from x_picture import Image, read_xwd

WINDOW_TITLE = "Frimel"
# The eight bitmaps the program reads, in the order it reads them.
BITMAP_NAMES = ("background.bmp", "white.bmp", "ice.bmp", "ice2.bmp",
                "ice3.bmp", "ice4.bmp", "ice5.bmp", "snow.bmp")

FRIMEL = None       # path of the program, set by parse_args/main
DATA_DIR = None     # folder with the eight bitmaps
ARTIFACT_DIR = None  # where screenshots of failures are kept


def parse_args(argv):
    """Takes --frimel, --data and --artifacts out of argv; returns (frimel, data, rest)."""
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--frimel", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", default=None)
    known, rest = parser.parse_known_args(argv[1:])
    global FRIMEL, DATA_DIR, ARTIFACT_DIR
    FRIMEL = os.path.abspath(known.frimel)
    DATA_DIR = os.path.abspath(known.data)
    ARTIFACT_DIR = known.artifacts or os.path.join(os.path.dirname(FRIMEL), "e2e-artifacts")
    return FRIMEL, DATA_DIR, [argv[0]] + rest


# ---------------------------------------------------------------------------------------------
# The pop-up menu as the program builds it: labels from top to bottom.

MAIN_MENU = ("Draw Crystals (Y)", "Draw Chunks (U)", "Ice Color", "Opaque (O)", "Translucent (T)",
             "Toggle Surface Texture (S)", "Rotate Scene (R)", "Crystal Complexity",
             "Fractal Depth", "Undo (Z)", "Clear (C)", "Exit (Q)")
SUBMENUS = {
    "Ice Color": ("White", "Blue", "Green", "Red", "Purple"),
    "Crystal Complexity": ("1D", "2D", "3D"),
    "Fractal Depth": ("0", "1", "2"),
}
MENU_BORDER = 2  # pixels of frame above the first row of a freeglut menu


def menu_row_centre(menu, labels, label):
    """Window pixel in the middle of a label's row, for a menu at (x, y, width, height)."""
    x, y, width, height = menu
    row_height = (height - 2 * MENU_BORDER) / len(labels)
    index = labels.index(label)
    return x + min(40, width // 2), int(y + MENU_BORDER + (index + 0.5) * row_height)


# ---------------------------------------------------------------------------------------------
# The program


class Frimel:
    """One run of the program on an XServer, started in the folder that holds the bitmaps."""

    def __init__(self, xserver, frimel=None, data_dir=None, args=(), cwd=None):
        self.x = xserver
        self.frimel = frimel or FRIMEL
        self.cwd = cwd or data_dir or DATA_DIR
        self.args = list(args)
        self.process = None
        self.lines = []
        self._lines_changed = threading.Condition()
        self._reader = None
        self._stderr_reader = None
        self.window = None
        self.geometry = None  # (x, y, width, height) of the window on the screen

    # -- life cycle -------------------------------------------------------------------------

    def start(self, wait_for_window=True, timeout=20.0):
        env = self.x.env()
        # A fixed software renderer keeps pictures the same from run to run.
        env.setdefault("LIBGL_ALWAYS_SOFTWARE", "1")
        self.process = subprocess.Popen([self.frimel] + self.args, cwd=self.cwd, env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        self._stderr_reader = threading.Thread(target=self._drain_stderr, daemon=True)
        self._stderr_reader.start()
        if wait_for_window:
            self.find_window(timeout)
        return self

    def _read_stdout(self):
        partial = b""
        while True:
            chunk = self.process.stdout.read1(4096)
            if not chunk:
                break
            partial += chunk
            while b"\n" in partial:
                line, partial = partial.split(b"\n", 1)
                self._add_line(line.decode(errors="replace"))
        if partial:
            # Some failure messages end without a newline.
            self._add_line(partial.decode(errors="replace"))
        with self._lines_changed:
            self._lines_changed.notify_all()

    def _drain_stderr(self):
        self._stderr = self.process.stderr.read()

    def error_output(self, timeout=2.0):
        """What the program wrote on standard error, once it has ended."""
        if self._stderr_reader is not None:
            self._stderr_reader.join(timeout)
        return getattr(self, "_stderr", b"").decode(errors="replace")

    def _add_line(self, line):
        with self._lines_changed:
            self.lines.append(line)
            self._lines_changed.notify_all()

    def stdout_done(self, timeout=5.0):
        """All console output, once the program has closed its standard output."""
        self._reader.join(timeout)
        return list(self.lines)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=10.0):
        """Waits for the process to end by itself; returns its exit status."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("frimel did not end within %.1f s" % timeout)

    def stop(self):
        if self.process is None:
            return
        end_process(self.process)
        if self._reader is not None:
            self._reader.join(2)

    # -- console ----------------------------------------------------------------------------

    def wait_for_line(self, text, timeout=10.0, start=0, regex=False):
        """Waits for a console line equal to text (or matching the regex) at index >= start.
        Returns the index of that line."""
        def found():
            for i in range(start, len(self.lines)):
                line = self.lines[i]
                if (re.fullmatch(text, line) if regex else line == text):
                    return i
            return None

        deadline = time.monotonic() + timeout
        with self._lines_changed:
            while True:
                index = found()
                if index is not None:
                    return index
                remaining = deadline - time.monotonic()
                if remaining <= 0 or (self.process.poll() is not None and
                                      not self._reader.is_alive()):
                    raise AssertionError("console never showed %r; it showed %r"
                                         % (text, self.lines[start:]))
                self._lines_changed.wait(min(remaining, 0.2))

    def lines_since(self, start):
        return list(self.lines[start:])

    # -- the window -------------------------------------------------------------------------

    def find_window(self, timeout=20.0):
        def search():
            if self.process.poll() is not None:
                lines = self.stdout_done()
                raise AssertionError("frimel ended with status %d before showing its window; "
                                     "it printed %r and on stderr %r" % (
                                         self.process.returncode, lines, self.error_output()))
            out = self.x.xdotool("search", "--onlyvisible", "--name", "^%s$" % WINDOW_TITLE,
                                 check=False)
            ids = out.split()
            return int(ids[0]) if ids else None

        self.window = wait_until(search, timeout, 0.1, "the Frimel window")
        self.update_geometry()
        return self.window

    def update_geometry(self):
        self.geometry = window_geometry(self.x, self.window)
        return self.geometry

    def resize(self, width, height, timeout=10.0):
        self.x.xdotool("windowsize", self.window, width, height)
        wait_until(lambda: self.update_geometry()[2:] == (width, height), timeout, 0.05,
                   "the window to become %dx%d" % (width, height))

    # -- input ------------------------------------------------------------------------------

    def to_screen(self, x, y):
        return self.geometry[0] + x, self.geometry[1] + y

    def move(self, x, y):
        sx, sy = self.to_screen(x, y)
        self.x.xdotool("mousemove", sx, sy)

    def press(self, x, y, button=1):
        self.move(x, y)
        self.x.xdotool("mousedown", button)

    def release(self, x=None, y=None, button=1):
        if x is not None:
            self.move(x, y)
        self.x.xdotool("mouseup", button)

    def click(self, x, y, button=1):
        # One xdotool run keeps press and release close together: a held button enlarges the
        # newest object, so a slow click would grow a little more.
        sx, sy = self.to_screen(x, y)
        self.x.xdotool("mousemove", sx, sy, "click", button)

    def drag(self, points, button=1, step_pause=0.0):
        """Presses at the first point, moves through the others, releases at the last."""
        self.press(points[0][0], points[0][1], button)
        for x, y in points[1:]:
            self.move(x, y)
            if step_pause:
                time.sleep(step_pause)
        self.release(button=button)

    def hold(self, x, y, until, timeout=20.0, button=1):
        """Presses at (x, y) and keeps the button down until until(picture) is true, then
        releases. Returns the picture that satisfied it."""
        def grown():
            picture = self.screenshot()
            return picture if until(picture) else None

        self.press(x, y, button)
        try:
            return wait_until(grown, timeout, 0.05, "the held object to grow enough")
        finally:
            self.release(button=button)

    def key(self, *names):
        """Types keys (xdotool key names such as y, Y, 1, space, Escape) into the window.
        The pointer is put inside the window first: without a window manager the keyboard
        focus follows the pointer."""
        x, y, w, h = self.geometry
        pointer = self.x.xdotool("getmouselocation", "--shell").decode()
        px = int(re.search(r"X=(-?\d+)", pointer).group(1))
        py = int(re.search(r"Y=(-?\d+)", pointer).group(1))
        if not (x <= px < x + w and y <= py < y + h):
            self.x.xdotool("mousemove", x + w // 2, y + h // 2)
        for name in names:
            self.x.xdotool("key", name)

    # -- pictures ---------------------------------------------------------------------------

    def screenshot(self):
        """The window's picture as an Image. Reading the window alone is four times quicker
        than reading the screen; use self.x.screenshot() to see menus as well."""
        return read_xwd(self.x.run(["xwd", "-id", str(self.window), "-silent"]))

    def cpu_seconds(self):
        """Processor time the program has used so far, all its threads together."""
        try:
            with open("/proc/%d/stat" % self.process.pid) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except (OSError, IndexError, ValueError):
            return 0.0

    def wait_stable(self, timeout=20.0, quiet=0.4, allow_blank=False, resting_cpu=0.03,
                    busy_quiet=3.0):
        """Waits until the picture has settled and returns it. Settled means unchanged for
        `quiet` seconds while the program used no more than `resting_cpu` seconds of processor
        time (a program still drawing frames on a busy machine may show nothing new for a
        while), or unchanged for `busy_quiet` seconds whatever the processor did. A blank
        (black) picture never counts as settled unless allow_blank is set."""
        deadline = time.monotonic() + timeout
        last = self.screenshot()
        since, cpu_since = time.monotonic(), self.cpu_seconds()
        while True:
            time.sleep(0.1)
            now = self.screenshot()
            moment = time.monotonic()
            if now != last:
                last, since, cpu_since = now, moment, self.cpu_seconds()
            elif allow_blank or not now.is_blank():
                still_for = moment - since
                if still_for >= busy_quiet or (still_for >= quiet and
                                               self.cpu_seconds() - cpu_since <= resting_cpu):
                    return now
            if moment > deadline:
                raise AssertionError("the picture kept changing (or stayed black) for %.1f s"
                                     % timeout)

    def wait_changed(self, reference, timeout=10.0, min_pixels=1, tolerance=24):
        """Waits until at least min_pixels pixels differ from reference; returns the picture."""
        def check():
            now = self.screenshot()
            return now if now.count_differences(reference, tolerance) >= min_pixels else None
        return wait_until(check, timeout, 0.1, "the picture to change")

    def wait_equal(self, reference, timeout=10.0):
        """Waits until the picture equals reference exactly; returns it."""
        last = []

        def check():
            now = self.screenshot()
            last[:] = [now]
            return now if now == reference else None
        try:
            return wait_until(check, timeout, 0.1, "the picture to equal the reference")
        except AssertionError:
            if last:
                raise AssertionError("the picture never returned to the reference: %d pixels "
                                     "still differ" % last[0].count_differences(reference, 0))
            raise

    def wait_unchanged(self, reference, duration=1.0):
        """Watches the picture for `duration` seconds; fails if it ever differs from reference."""
        deadline = time.monotonic() + duration
        while time.monotonic() < deadline:
            now = self.screenshot()
            if now != reference:
                raise AssertionError("the picture changed: %d pixels differ"
                                     % now.count_differences(reference, 0))
            time.sleep(0.1)
        return reference

    # -- the pop-up menu --------------------------------------------------------------------

    def choose_menu(self, *path, at=(20, 20), timeout=5.0):
        """Chooses a pop-up menu entry with the pointer, e.g. choose_menu("Undo (Z)") or
        choose_menu("Ice Color", "Blue"). The menu opens on a right press at `at` (window
        pixels). freeglut keeps the menu open when that same button is released, because the
        release goes to the window that had the press, so the entry is then picked by a right
        click on its row, the way a person who lets go of the button would pick it. Submenus
        open by resting the pointer on their parent row. Each step waits for the menu to be
        drawn and the row to light up, as a person would look before clicking."""
        labels = MAIN_MENU
        before = {w[0] for w in self.x.top_windows()}
        self.press(at[0], at[1], button=3)
        menu_id, menu = self._wait_new_menu(before, timeout)
        self.release(button=3)
        for depth, label in enumerate(path):
            if label not in labels:
                raise SessionError("no menu entry %r in %r" % (label, labels))
            known = {w[0] for w in self.x.top_windows()}
            self.move(*menu_row_centre(menu, labels, label))
            try:
                self._wait_row_lit(menu_id, menu, labels.index(label), len(labels), timeout)
            except AssertionError:
                if ARTIFACT_DIR:
                    self.x.screenshot().save_png(os.path.join(ARTIFACT_DIR, "menu-row-dark.png"))
                raise AssertionError("menu row %r never lit up; menu at %r, windows %r"
                                     % (label, menu, self.x.top_windows()))
            if depth + 1 < len(path):
                labels = SUBMENUS[label]
                menu_id, menu = self._wait_new_menu(known, timeout)
            else:
                self.x.xdotool("click", 3)
        try:
            wait_until(lambda: not ({w[0] for w in self.x.top_windows()} - before), timeout,
                       0.05, "the pop-up menu to close")
        except AssertionError:
            if ARTIFACT_DIR:
                self.x.screenshot().save_png(os.path.join(ARTIFACT_DIR, "menu-left-open.png"))
            raise AssertionError("the pop-up menu stayed open after choosing %r; windows: %r"
                                 % (path, self.x.top_windows()))

    def open_menu(self, x, y, timeout=5.0):
        """Presses the right button at (x, y) in the window and waits for the pop-up menu to be
        shown. Returns its geometry (x, y, width, height) in window coordinates. The button
        stays down."""
        before = {w[0] for w in self.x.top_windows()}
        self.press(x, y, button=3)
        return self._wait_new_menu(before, timeout)[1]

    def _menu_picture(self, menu_id):
        return read_xwd(self.x.run(["xwd", "-id", str(menu_id), "-silent"]))

    def _wait_new_menu(self, before, timeout):
        """Waits for a menu window that was not in `before` to map and be drawn (a fresh one
        is black for a moment). Returns its id and geometry in window coordinates."""
        def find():
            for wid, sx, sy, w, h in self.x.top_windows():
                if wid not in before and wid != self.window:
                    return (wid, sx, sy, w, h)
            return None
        wid = wait_until(find, timeout, 0.05, "the pop-up menu to appear")[0]
        # freeglut may map a menu window before it moves and sizes it, and draws a submenu only
        # once the pointer is over it: wait for its place to settle, not for its picture.
        seen = []

        def settled():
            seen.append(window_geometry(self.x, wid))
            return len(seen) >= 2 and seen[-1] == seen[-2] and seen[-1][:2] != (-1, -1)
        wait_until(settled, timeout, 0.05, "the pop-up menu to take its place")
        sx, sy, w, h = seen[-1]
        return wid, (sx - self.geometry[0], sy - self.geometry[1], w, h)

    def _wait_row_lit(self, menu_id, menu, index, rows, timeout):
        """Waits until the row under the pointer is highlighted (drawn light)."""
        _, _, width, height = menu
        row_height = (height - 2 * MENU_BORDER) / rows
        top = int(MENU_BORDER + index * row_height) + 2
        band_height = max(1, int(row_height) - 4)

        def lit():
            band = self._menu_picture(menu_id).crop(MENU_BORDER, top, width - 2 * MENU_BORDER,
                                                    band_height)
            # A lit row is white behind its black label; an unlit one is grey.
            white = sum(1 for i in range(0, len(band.rgb), 3) if min(band.rgb[i:i + 3]) > 240)
            return white > 0.3 * band.width * band.height
        wait_until(lit, timeout, 0.05, "menu row %d to light up" % index)


# ---------------------------------------------------------------------------------------------
# unittest glue


class FrimelTestCase(unittest.TestCase):
    """One X server for the test class, a fresh program for every test (self.app), waited on
    until its first picture has settled (self.first)."""

    screen = DEFAULT_SCREEN
    start_program = True

    @classmethod
    def setUpClass(cls):
        if FRIMEL is None:
            raise SessionError("run through frimel_session.main() with --frimel and --data")
        cls.xserver = XServer(cls.screen).start()

    @classmethod
    def tearDownClass(cls):
        cls.xserver.stop()

    def setUp(self):
        self.app = None
        self.first = None
        self._forget_old_evidence()
        if self.start_program:
            self.app = self.launch()
            self.first = self.app.wait_stable()

    def launch(self, args=(), cwd=None, wait_for_window=True):
        """Starts another program run; it is stopped when the test ends."""
        app = Frimel(self.xserver, FRIMEL, DATA_DIR, args=args, cwd=cwd)
        self.addCleanup(self._finish, app)
        return app.start(wait_for_window=wait_for_window)

    def _finish(self, app):
        if self._failed() and app.geometry is not None and app.running():
            try:
                app.screenshot().save_png(os.path.join(ARTIFACT_DIR,
                                                       self._evidence_name() + ".png"))
            except Exception:  # evidence is best effort; the failure itself is already reported
                pass
        app.stop()

    def _failed(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        result = getattr(outcome, "result", None)
        if result is not None and hasattr(result, "failures"):
            return any(t is self for t, _ in result.failures + result.errors)
        errors = getattr(outcome, "errors", [])
        return any(exc is not None for _, exc in errors)

    def _evidence_name(self):
        return self.id().split(".", 1)[-1].replace(".", "-")

    def save_evidence(self, image, label):
        """Keeps a picture in the artifact folder, named after the test."""
        path = os.path.join(ARTIFACT_DIR, "%s-%s.png" % (self._evidence_name(), label))
        image.save_png(path)
        return path

    def _forget_old_evidence(self):
        """Pictures an earlier run of this test left behind would only mislead."""
        if not ARTIFACT_DIR or not os.path.isdir(ARTIFACT_DIR):
            return
        name = self._evidence_name()
        for entry in os.listdir(ARTIFACT_DIR):
            if entry == name + ".png" or entry.startswith(name + "-"):
                os.remove(os.path.join(ARTIFACT_DIR, entry))


class _TimedResult(unittest.TextTestResult):
    """Shows how long each test took, so slow ones stand out."""

    def startTest(self, test):
        self._started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        self.stream.writeln("    (%.1f s)" % (time.monotonic() - self._started))
        self.stream.flush()


def main(argv=None):
    """Runs the tests of the calling module; exits non-zero if any failed."""
    argv = list(sys.argv if argv is None else argv)
    _, _, rest = parse_args(argv)
    module = sys.modules["__main__"]
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    if len(rest) > 1:
        suite = unittest.defaultTestLoader.loadTestsFromNames(rest[1:], module)
    started = time.monotonic()
    runner = unittest.TextTestRunner(verbosity=2, stream=sys.stdout, resultclass=_TimedResult)
    result = runner.run(suite)
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    print("%d passed, %d failed (%.1f s)" % (passed, failed, time.monotonic() - started))
    sys.stdout.flush()
    sys.exit(0 if failed == 0 and result.testsRun > 0 else 1)
