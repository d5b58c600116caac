"""An X server of the tests' own (Xvfb) and the X clients that talk to it.
Standard library only."""

import os
import random
import re
import select
import subprocess
import time

from x_picture import read_xwd

DEFAULT_SCREEN = "1280x1024x24"


class SessionError(Exception):
    """Something in the test harness itself went wrong (no X server, no window...)."""


def wait_until(condition, timeout, interval=0.05, what="condition"):
    """Polls condition() until it returns something true; returns that, or raises on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class XServer:
    """An Xvfb of our own on a free display number of 100 or above."""

    def __init__(self, screen=DEFAULT_SCREEN):
        self.screen = screen
        self.process = None
        self.display = None

    def start(self, timeout=15.0):
        first = random.randrange(100, 900)
        for number in range(first, first + 200):
            if os.path.exists("/tmp/.X%d-lock" % number) or \
                    os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            if self._try_display(number, timeout):
                return self
        raise SessionError("no free X display number found")

    def _try_display(self, number, timeout):
        # -displayfd tells us when the server is ready to take connections. -noreset keeps it
        # from resetting whenever its last client leaves, which refuses anyone connecting then.
        read_end, write_end = os.pipe()
        process = subprocess.Popen(
            ["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0", self.screen,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        ready = b""
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                readable, _, _ = select.select([read_end], [], [], 0.1)
                if readable:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        break  # the server closed the pipe: it did not start
                    ready += chunk
                    if b"\n" in ready:
                        self.process = process
                        self.display = ":%d" % number
                        return True
                if process.poll() is not None:
                    break
        finally:
            os.close(read_end)
        process.kill()
        process.wait()
        return False

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("XAUTHORITY", None)
        return env

    def run(self, args, check=True, timeout=10.0):
        """Runs an X client (xdotool, xwd, xwininfo) on this display; returns its stdout bytes."""
        done = subprocess.run(args, env=self.env(), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
        if check and done.returncode != 0:
            raise SessionError("%s failed (%d): %s" % (
                " ".join(args), done.returncode, done.stderr.decode(errors="replace").strip()))
        return done.stdout

    def xdotool(self, *args, check=True):
        return self.run(["xdotool"] + [str(a) for a in args], check=check)

    def screenshot(self):
        """The whole screen as an Image."""
        return read_xwd(self.run(["xwd", "-root", "-silent"]))

    def top_windows(self):
        """Mapped children of the root window: list of (id, x, y, width, height)."""
        text = self.run(["xwininfo", "-root", "-children"]).decode(errors="replace")
        windows = []
        for line in text.splitlines():
            match = re.match(r"\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)"
                             r"\s+\+(-?\d+)\+(-?\d+)", line)
            if not match:
                continue
            wid = int(match.group(1), 16)
            if self._is_viewable(wid):
                windows.append((wid, int(match.group(6)), int(match.group(7)),
                                int(match.group(2)), int(match.group(3))))
        return windows

    def _is_viewable(self, wid):
        text = self.run(["xwininfo", "-id", str(wid)], check=False).decode(errors="replace")
        return "IsViewable" in text

    def stop(self):
        if self.process is not None:
            end_process(self.process)
            self.process = None


def end_process(process):
    """Asks a process to end, and kills it if it has not within five seconds."""
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def window_geometry(xserver, window):
    """(x, y, width, height) of a window on the screen."""
    text = xserver.run(["xwininfo", "-id", str(window)]).decode(errors="replace")

    def value(name):
        return int(re.search(r"%s:\s+(-?\d+)" % name, text).group(1))

    return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
            value("Width"), value("Height"))
