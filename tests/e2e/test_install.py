"""Installs Frimel into scratch folders and uses it the way a desktop user would: the launcher
from an unrelated folder, toolkit options, a moved install, the desktop entry, the icon and the
Debian package."""

import hashlib
import os
import random
import re
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest
import zlib

import frimel_session as fs

SCRATCH = None     # scratch folder for everything this file installs, removed at the end
BUILD_DIR = None   # the build folder of the program under test
PREFIX = None      # install prefix of the staged install, absent on this machine
STAGED = None      # where the staged install's prefix lies: DESTDIR + PREFIX


def setUpModule():
    global SCRATCH, BUILD_DIR, PREFIX, STAGED
    BUILD_DIR = os.path.dirname(fs.FRIMEL)
    if not os.path.isfile(os.path.join(BUILD_DIR, "cmake_install.cmake")):
        raise fs.SessionError("%s is not a CMake build folder" % BUILD_DIR)
    SCRATCH = tempfile.mkdtemp(prefix="frimel-install-")
    # A prefix that does not exist here: the staged launcher can only work by finding its
    # files next to itself, never through the installed-path fallback.
    PREFIX = "/opt/frimel-e2e-%d" % random.randrange(10 ** 9)
    assert not os.path.exists(PREFIX)
    STAGED = install(PREFIX, destdir=os.path.join(SCRATCH, "stage"))


def tearDownModule():
    if SCRATCH:
        shutil.rmtree(SCRATCH, ignore_errors=True)


def run(args, **kwargs):
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240,
                          **kwargs)
    if done.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s" % (" ".join(args), done.returncode,
                                                      done.stdout.decode(errors="replace")))
    return done.stdout.decode(errors="replace")


def install(prefix, destdir=None):
    """cmake --install into prefix (staged under destdir when given); returns the prefix's
    folder on disk."""
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir:
        env["DESTDIR"] = destdir
    run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], env=env)
    return destdir + prefix if destdir else prefix


def snapshot(folder):
    """Every path below folder with its type, mode, size, time and content hash."""
    entries = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            info = os.lstat(path)
            digest = None
            if stat.S_ISREG(info.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            entries[os.path.relpath(path, folder)] = (info.st_mode, info.st_size,
                                                      info.st_mtime_ns, digest)
    return entries


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def read_desktop_entry(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        lines = [line.rstrip("\n") for line in f]
    assert lines[0] == "[Desktop Entry]", lines[0]
    for line in lines[1:]:
        if line and not line.startswith("#"):
            key, value = line.split("=", 1)
            keys[key] = value
    return keys


def exec_program(value):
    """The program an Exec value starts, undoing the entry's string escapes and quoting."""
    value = re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(
        m.group(1), m.group(1)), value)
    if not value.startswith('"'):
        return value.split(" ")[0].replace("%%", "%")
    quoted = re.match(r'"((?:[^"\\]|\\.)*)"', value).group(1)
    return re.sub(r"\\(.)", r"\1", quoted).replace("%%", "%")


def install_recorder(prefix_dir):
    """Replaces the installed program by a script that records its folder and arguments and
    ends with status 7; returns the record's path."""
    record = os.path.join(SCRATCH, "record-%d" % random.randrange(10 ** 9))
    program = os.path.join(prefix_dir, "libexec", "frimel")
    with open(program, "w") as f:
        f.write("#!/bin/sh\n{ pwd -P; printf '%%s\\0' \"$@\"; } > '%s'\nexit 7\n" % record)
    os.chmod(program, 0o755)
    return record


def read_record(record):
    text = read_file(record).decode()
    folder, args = text.split("\n", 1)
    return folder, args.split("\0")[:-1]


class InstalledTree(unittest.TestCase):
    def test_program_bitmaps_and_launcher_go_to_their_places(self):
        self.assertEqual(sorted(os.listdir(os.path.join(STAGED, "bin"))), ["frimel", "frimel-picture"])
        launcher = os.path.join(STAGED, "bin", "frimel")
        self.assertTrue(read_file(launcher).startswith(b"#!/bin/sh\n"))
        self.assertTrue(os.access(launcher, os.X_OK))

        program = os.path.join(STAGED, "libexec", "frimel")
        self.assertTrue(os.access(program, os.X_OK))
        self.assertEqual(read_file(program), read_file(fs.FRIMEL))

        data = os.path.join(STAGED, "share", "frimel")
        self.assertEqual(sorted(os.listdir(data)), sorted(fs.BITMAP_NAMES))
        for name in fs.BITMAP_NAMES:
            self.assertEqual(read_file(os.path.join(data, name)),
                             read_file(os.path.join(fs.DATA_DIR, name)), name)


class WithoutDisplay:
    """The X server, but programs started on it get no DISPLAY variable."""

    def __init__(self, xserver):
        self._xserver = xserver

    def __getattr__(self, name):
        return getattr(self._xserver, name)

    def env(self):
        env = self._xserver.env()
        del env["DISPLAY"]
        return env


class Launcher(fs.FrimelTestCase):
    start_program = False

    def launch_installed(self, xserver, args=()):
        folder = tempfile.mkdtemp(dir=SCRATCH)
        app = fs.Frimel(xserver, os.path.join(STAGED, "bin", "frimel"), args=args, cwd=folder)
        self.addCleanup(app.stop)
        return app.start(), folder

    def window_hints(self, app):
        return self.xserver.run(["xprop", "-id", str(app.window), "WM_HINTS"]).decode()

    def test_starts_from_any_folder_and_ends_with_q(self):
        before = snapshot(STAGED)
        app, folder = self.launch_installed(self.xserver)
        self.assertFalse(app.wait_stable().is_blank())
        for name in fs.BITMAP_NAMES:
            app.wait_for_line("trying to load " + name)
        self.assertEqual(app.lines[:8], ["trying to load " + n for n in fs.BITMAP_NAMES])
        self.assertIn("Normal State", self.window_hints(app))
        app.key("q")
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(os.listdir(folder), [])
        self.assertEqual(snapshot(STAGED), before)

    def test_toolkit_options_reach_the_toolkit(self):
        # Only the -display option names the X server, so a window there proves it arrived.
        app, _ = self.launch_installed(WithoutDisplay(self.xserver),
                                       ("-display", self.xserver.display, "-iconic"))
        self.assertIn("Iconic State", self.window_hints(app))
        app.key("q")
        self.assertEqual(app.wait_exit(), 0)


class MovedInstall(unittest.TestCase):
    def test_moved_launcher_passes_arguments_and_status_unchanged(self):
        moved = os.path.join(SCRATCH, "moved", "frimel root")
        shutil.copytree(STAGED, moved, symlinks=True)
        record = install_recorder(moved)
        # Reached through a link from elsewhere, as a user's ~/bin might hold it.
        link = os.path.join(SCRATCH, "moved", "link to frimel")
        os.symlink(os.path.join(moved, "bin", "frimel"), link)
        args = ["-geometry", "300x200", "two words", "", "*", "$HOME", "-display"]
        for launcher in (os.path.join(moved, "bin", "frimel"), link):
            done = subprocess.run([launcher] + args, cwd=tempfile.mkdtemp(dir=SCRATCH), timeout=30)
            self.assertEqual(done.returncode, 7)
            self.assertEqual(read_record(record),
                             (os.path.realpath(os.path.join(moved, "share", "frimel")), args))

    def test_copied_launcher_falls_back_to_the_installed_places(self):
        prefix = install(os.path.join(SCRATCH, "real prefix"))
        record = install_recorder(prefix)
        copy = os.path.join(SCRATCH, "elsewhere", "frimel")
        os.makedirs(os.path.dirname(copy))
        shutil.copy2(os.path.join(prefix, "bin", "frimel"), copy)
        done = subprocess.run([copy, "-iconic"], cwd=SCRATCH, timeout=30)
        self.assertEqual(done.returncode, 7)
        self.assertEqual(read_record(record),
                         (os.path.realpath(os.path.join(prefix, "share", "frimel")), ["-iconic"]))


class DesktopEntry(unittest.TestCase):
    def validate(self, path):
        if shutil.which("desktop-file-validate") is None:
            self.skipTest("desktop-file-validate is not installed (Debian: desktop-file-utils)")
        done = subprocess.run(["desktop-file-validate", path], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
        self.assertEqual(done.returncode, 0, done.stdout.decode())

    def test_entry_is_valid_and_starts_the_launcher_in_the_data_folder(self):
        path = os.path.join(STAGED, "share", "applications", "frimel.desktop")
        self.validate(path)
        entry = read_desktop_entry(path)
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Name"], "Frimel")
        self.assertTrue(entry["Comment"])
        self.assertEqual(entry["Terminal"], "false")
        self.assertTrue(entry["Categories"].rstrip(";"))
        self.assertEqual(exec_program(entry["Exec"]), PREFIX + "/bin/frimel")
        self.assertEqual(entry["Path"], PREFIX + "/share/frimel")
        self.assertEqual(entry["Icon"], "frimel")

    def test_awkward_prefix_is_quoted_in_exec(self):
        prefix = "/opt/frimel e2e/it's $HOME 100%"
        staged = install(prefix, destdir=os.path.join(SCRATCH, "awkward"))
        path = os.path.join(staged, "share", "applications", "frimel.desktop")
        self.validate(path)
        entry = read_desktop_entry(path)
        self.assertEqual(exec_program(entry["Exec"]), prefix + "/bin/frimel")
        self.assertEqual(entry["Path"], prefix + "/share/frimel")


def read_chunks(data):
    """The (type, body) chunks of a PNG file, checking every CRC."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    chunks, at = [], 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert crc == zlib.crc32(kind + body), "bad CRC in %r" % kind
        chunks.append((kind, body))
        at += 12 + length
    return chunks


def read_png(path):
    """(width, height, rows of pixel tuples) of an 8-bit RGB or RGBA PNG, checking every CRC."""
    chunks = read_chunks(read_file(path))
    assert chunks[0][0] == b"IHDR" and chunks[-1][0] == b"IEND"
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    assert depth == 8 and colour in (2, 6) and interlace == 0
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    stride = width * channels
    assert len(raw) == height * (stride + 1), "image data of the wrong size"
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = previous[i], previous[i - channels] if i >= channels else 0
            p = left + up - corner
            paeth = min((abs(p - left), 0, left), (abs(p - up), 1, up),
                        (abs(p - corner), 2, corner))[2]
            line[i] = (line[i] + (0, left, up, (left + up) // 2, paeth)[kind]) & 0xFF
        rows.append([tuple(line[i:i + channels]) for i in range(0, stride, channels)])
        previous = line
    return width, height, rows


class Icon(unittest.TestCase):
    def test_icon_is_a_png_of_its_stated_size_drawn_from_textures(self):
        hicolor = os.path.join(STAGED, "share", "icons", "hicolor")
        sizes = os.listdir(hicolor)
        self.assertTrue(sizes)
        for size in sizes:
            side = int(re.fullmatch(r"(\d+)x\1", size).group(1))
            width, height, rows = read_png(os.path.join(hicolor, size, "apps", "frimel.png"))
            self.assertEqual((width, height), (side, side))
            pixels = [p for row in rows for p in row]
            opaque = [p for p in pixels if len(p) == 3 or p[3] == 255]
            self.assertGreater(len(opaque), len(pixels) // 2)
            # A textured picture, not a flat fill.
            self.assertGreater(len({p[:3] for p in opaque}), 100)


class PictureTool(unittest.TestCase):
    def test_draws_a_link_for_print_without_a_display_from_any_folder(self):
        seeds = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz", "sketch_seeds")
        link = read_file(os.path.join(seeds, "chunk_drag_undo.txt")).decode().strip()
        self.assertTrue(link.startswith("https://"))
        out = os.path.join(SCRATCH, "print.png")
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        run([os.path.join(STAGED, "bin", "frimel-picture"), link, "print.png", "--size", "4096"],
            cwd=SCRATCH, env=env)
        data = read_file(out)
        self.assertEqual(struct.unpack(">II", data[16:24]), (4096, 4096))
        self.assertIn(b"tEXtfrimel-sketch\0", data, "the picture carries its sketch")
        chunks = dict(read_chunks(data))
        raw = zlib.decompress(chunks[b"IDAT"])
        self.assertEqual(len(raw), 4096 * (4096 * 3 + 1))
        # Drawn, not a flat fill: the rows differ.
        self.assertGreater(len({raw[y * 12289:(y + 1) * 12289] for y in range(4096)}), 1000)


def package_owners(path):
    """Names of the installed packages that own a file, as dpkg knows it: under /lib or
    /usr/lib, as a link or as its target."""
    real = os.path.realpath(path)
    for candidate in (path, real, re.sub(r"^/usr/", "/", real)):
        done = subprocess.run(["dpkg", "-S", candidate], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
        if done.returncode == 0:
            names = done.stdout.decode().splitlines()[0].rsplit(": ", 1)[0]
            return {name.strip().split(":")[0] for name in names.split(",")}
    return set()


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest("no Debian package check: %s is not installed "
                                        "(Debian: cmake, dpkg-dev)" % tool)
        out = os.path.join(SCRATCH, "package")
        run(["cpack", "-G", "DEB", "-B", out, "--config",
             os.path.join(BUILD_DIR, "CPackConfig.cmake")], cwd=BUILD_DIR)
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        assert len(debs) == 1, debs
        cls.deb = os.path.join(out, debs[0])

    def field(self, name):
        return run(["dpkg-deb", "--field", self.deb, name]).strip()

    def test_package_depends_on_every_library_the_program_loads(self):
        self.assertEqual(self.field("Package"), "frimel")
        self.assertEqual(self.field("Architecture"),
                         run(["dpkg", "--print-architecture"]).strip())
        declared = self.field("Depends")
        self.assertTrue(declared, "the package declares no dependencies")
        depends = {re.match(r"[\w.+-]+", alternative.strip()).group(0)
                   for group in declared.split(",") for alternative in group.split("|")}
        for needed in (("libglut3.12", "freeglut3"), ("libglu1-mesa", "libglu1"), ("libc6",),
                       ("libstdc++6",)):
            self.assertTrue(depends.intersection(needed), "%s not in %s" % (needed, depends))
        # The libraries the program names itself; ldd also lists what those pull in.
        needed = re.findall(r"\(NEEDED\).*\[(.+)\]", run(["readelf", "-d", fs.FRIMEL]))
        found = dict(re.findall(r"^\s*(\S+) => (/\S+)", run(["ldd", fs.FRIMEL]), re.M))
        self.assertIn("libGLU.so.1", needed)
        for library in needed:
            path = found[library]
            owners = package_owners(path)
            self.assertTrue(owners, "no package owns %s" % path)
            self.assertTrue(depends & owners, "%s comes from %s, not a dependency in %s"
                            % (library, owners, sorted(depends)))

    def test_package_installs_to_usr(self):
        listing = run(["dpkg-deb", "--contents", self.deb])
        files = {line.split()[-1] for line in listing.splitlines() if not line.startswith("d")}
        expected = {"./usr/bin/frimel", "./usr/bin/frimel-picture", "./usr/libexec/frimel",
                    "./usr/share/applications/frimel.desktop"}
        expected |= {"./usr/share/frimel/" + name for name in fs.BITMAP_NAMES}
        icons = {f for f in files if f.startswith("./usr/share/icons/hicolor/")}
        self.assertTrue(icons and all(f.endswith("/apps/frimel.png") for f in icons), icons)
        self.assertEqual(files - icons, expected)

        unpacked = os.path.join(SCRATCH, "unpacked")
        run(["dpkg-deb", "-x", self.deb, unpacked])
        entry = read_desktop_entry(os.path.join(unpacked, "usr/share/applications/frimel.desktop"))
        self.assertEqual(exec_program(entry["Exec"]), "/usr/bin/frimel")
        self.assertEqual(entry["Path"], "/usr/share/frimel")
        launcher = read_file(os.path.join(unpacked, "usr/bin/frimel")).decode()
        self.assertIn("'/usr/libexec/frimel'", launcher)
        self.assertIn("'/usr/share/frimel'", launcher)


if __name__ == "__main__":
    fs.main()
