"""End-to-end harness: the real game under an X server of its own, driven like a player.

    with XServer() as x, Game(x, catalogue="0=rifle\n", assets={"rifle.xml": xml}) as game:
        game.wait_for_window()
        game.key("F2", "Escape")               # xdotool key names; click(x, y) in window pixels
        assert game.wait() == 0 and "   ON SHAKE:  NONE\n" in game.stdout()

Game runs the game in play/ (with gunList.txt) beside assets/ in a temporary folder, with disk (or
dummy) audio and KABLIX_TRACE_INPUT=1; start() again after it ended runs it once more there. Every
run that switches networking on gets a NetNamespace (only `lo`; Lan(n): n of them on one bridge).
`python3 kablix_e2e.py COMMAND...` runs COMMAND in a namespace of its own (exit 77 without root).
Every wait has a timeout and raises HarnessError.
"""

import array
import ctypes
import ctypes.util
import os
import random
import re
import select
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
import zlib


class HarnessError(Exception):
    pass


def default_binary():
    here = os.path.dirname(os.path.abspath(__file__))
    return os.environ.get("KABLIX_BINARY") or os.path.join(here, "..", "..", "build", "kablix")


def demo_pack():
    """(assets folder, catalogue text) of the demo pack the build made."""
    build = os.path.dirname(default_binary())
    with open(os.path.join(build, "play", "gunList.txt")) as catalogue:
        return os.path.join(build, "assets"), catalogue.read()


SCORE_COLUMNS = ("singleShot", "burstShot", "autoShot", "interruptedShot", "emptyShot", "reload", "modeSwitch",
                 "idled", "hit", "damageTaken", "used", "deaths")
_COUNTED = {"": "used", "switchedMode": "modeSwitch", "reload": "reload", "emptyShot": "emptyShot",
            "interruptedShot": "interruptedShot", "playerDeath": "deaths"}


def scores_from_events(stdout, weapons):
    """{weapon: {column: count}} as the event lines add up; `weapons` names the weapon of each load
    (the event "   E:  data1: -1 data2: -1") in turn."""
    rows, weapons = {}, iter(weapons)
    for name, data1, data2 in re.findall(r"^   E: (\w*) data1: (-?\d+) data2: (-?\d+)$", stdout, re.M):
        data1, data2 = int(data1), int(data2)
        row = rows.setdefault(next(weapons), dict.fromkeys(SCORE_COLUMNS, 0)) if name == "" else row
        if name in _COUNTED:
            row[_COUNTED[name]] += 1
        elif name == "shot" and data1 in (0, 1, 2):  # rounds of single, burst and auto fire
            row[SCORE_COLUMNS[data1]] += data2 if data2 or data1 == 2 else 1
        elif name == "incomingHit":
            row["hit"] += 1
            row["damageTaken"] += data2
    return rows


def scores_in(path):
    """{weapon: {column: count}} of a scores.db."""
    db = sqlite3.connect(path)
    try:
        rows = db.execute("SELECT name, %s FROM score" % ", ".join(SCORE_COLUMNS))
        return {row[0]: dict(zip(SCORE_COLUMNS, row[1:])) for row in rows}
    finally:
        db.close()


def read_png(path):
    """An 8-bit RGB or RGBA, non-interlaced PNG as (width, height, channels, rows top first)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise HarnessError(path + " is not a PNG file")
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = struct.unpack(">IIBBBBB", data[pos + 8:pos + 21]) if kind == b"IHDR" else header
        idat += data[pos + 8:pos + 8 + length] if kind == b"IDAT" else b""
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise HarnessError("%s: unsupported PNG layout %s" % (path, header))
    n = 4 if colour == 6 else 3
    raw, stride, rows, up = zlib.decompress(idat), width * n, [], bytearray(width * n)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = (line[i - n] if i >= n else 0), up[i], (up[i - n] if i >= n else 0)
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (line[i] + (0, a, b, (a + b) >> 1, paeth)[kind]) & 255
        rows.append(bytes(line))
        up = line
    return width, height, n, rows


def _wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not (result := predicate()):
        if time.monotonic() > deadline:
            raise HarnessError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.05)
    return result


def _stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class _Closing:
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class XServer(_Closing):
    """An Xvfb on a free display number; `display` is ":N"."""

    def __init__(self, width=1024, height=768, depth=24):
        # Each try takes a random number of its own: Xvfb's own pick races when several start at once.
        chooser = random.Random(os.getpid() * 1000003 + time.monotonic_ns())
        for _ in range(20):
            number = chooser.randrange(1000, 30000)
            if not os.path.exists("/tmp/.X%d-lock" % number) and self._start(number, "%dx%dx%d" % (width, height, depth)):
                self.display = ":%d" % number
                return
        raise HarnessError("no Xvfb could be started")

    def _start(self, number, screen):
        read_end, write_end = os.pipe()  # Xvfb writes its number there once it takes clients
        self.process = subprocess.Popen(["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0", screen,
                                         "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        reported, deadline = b"", time.monotonic() + 15
        while not reported.endswith(b"\n") and select.select([read_end], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(read_end, 16)
            reported += chunk
            if not chunk:
                break
        os.close(read_end)
        # Clients in another network namespace reach the server only through its socket file.
        if reported.strip() == str(number).encode() and os.path.exists("/tmp/.X11-unix/X%d" % number):
            return True
        _stop(self.process)
        return False

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("XAUTHORITY", None)
        return env

    def xdotool(self, *args, check=True):
        done = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(), capture_output=True, text=True,
                              timeout=15)
        if check and done.returncode != 0:
            raise HarnessError("xdotool %s failed: %s" % (" ".join(map(str, args)), done.stderr.strip()))
        return done.stdout

    def close(self):
        _stop(self.process)


def _ip(*args):
    return subprocess.run(["ip"] + list(args), check=True, capture_output=True, text=True).stdout


class NetNamespace(_Closing):
    """A network namespace of its own with only `lo` up; `name` for `ip netns`."""
    serial = 0

    def __init__(self):
        if os.geteuid() != 0:
            raise HarnessError("network namespaces need root")
        # Namespaces of runs killed before they could clean up go once their process is gone.
        for name, pid in re.findall(r"^(kbx-(\d+)-\d+)", _ip("netns", "list"), re.M):
            if not os.path.exists("/proc/" + pid):
                subprocess.run(["ip", "netns", "delete", name], stderr=subprocess.DEVNULL)
        NetNamespace.serial += 1
        self.name = "kbx-%d-%d" % (os.getpid(), NetNamespace.serial)
        _ip("netns", "add", self.name)
        try:
            self.ip("link", "set", "lo", "up")
        except BaseException:
            self.close()
            raise

    def ip(self, *args):
        return _ip("-n", self.name, *args)

    def wrap(self, command):
        """The command line that runs `command` inside the namespace."""
        return ["ip", "netns", "exec", self.name] + list(command)

    def close(self):
        subprocess.run(["ip", "netns", "delete", self.name], stderr=subprocess.DEVNULL)


class Lan(_Closing):
    """`count` namespaces (hosts[i], at address(i)) joined by veth pairs to a bridge in a namespace
    of its own: nothing is made in the machine's own namespace."""

    def __init__(self, count):
        self.bridge, self.hosts = NetNamespace(), []
        try:
            self.bridge.ip("link", "add", "br0", "type", "bridge")
            self.bridge.ip("link", "set", "br0", "up")
            for i in range(count):
                host = NetNamespace()
                self.hosts.append(host)
                self.bridge.ip("link", "add", "port%d" % i, "type", "veth", "peer", "name", "eth0", "netns", host.name)
                self.bridge.ip("link", "set", "port%d" % i, "master", "br0", "up")
                host.ip("addr", "add", self.address(i) + "/24", "dev", "eth0")
                host.ip("link", "set", "eth0", "up")
                host.ip("route", "add", "default", "dev", "eth0")  # for the limited broadcast
        except BaseException:
            self.close()
            raise

    @staticmethod
    def address(i):
        return "10.213.77.%d" % (i + 1)

    def close(self):
        for namespace in self.hosts + [self.bridge]:  # each takes its ends of the veth pairs with it
            namespace.close()


class _Event(ctypes.Structure):
    """What every XEvent begins with, then the rest of the union as longs."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("rest", ctypes.c_long * 19)]


def _xlib():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = xlib.XGetImage.restype = ctypes.c_void_p
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + [
        ctypes.c_ulong, ctypes.c_int]
    xlib.XGetPixel.restype = ctypes.c_ulong
    xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    xlib.XFlush.argtypes = xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return xlib


def window_pixels(display, window, points):
    """The (r, g, b) on screen at each (x, y) of `window`, as the X server shows it."""
    xlib = _xlib()
    dpy = xlib.XOpenDisplay(display.encode())
    image = xlib.XGetImage(dpy, window, 0, 0, max(x for x, _ in points) + 1, max(y for _, y in points) + 1,
                           0xFFFFFFFF, 2)  # ZPixmap
    pixels = [xlib.XGetPixel(image, x, y) for x, y in points]
    xlib.XCloseDisplay(dpy)
    return [(p >> 16 & 255, p >> 8 & 255, p & 255) for p in pixels]


def _send_delete_window(display, window, then_expose):
    """Asks `window` to close as a window manager would (xdotool cannot), in one flush with an expose."""
    xlib = _xlib()
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise HarnessError("cannot open display " + display)
    # ClientMessage: message_type, format 32, data[0]; Expose: no fields the game reads.
    close = _Event(type=33, window=window)
    close.rest[0:3] = [xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32, xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)]
    for event in [close] + ([_Event(type=12, window=window)] if then_expose else []):
        xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    xlib.XFlush(dpy)
    xlib.XCloseDisplay(dpy)


class Game(_Closing):
    """catalogue: text of play/gunList.txt (None: no file); assets: {name: str or bytes} or a folder
    to copy (its score database left out); netns: a NetNamespace or Lan host to run in."""

    def __init__(self, xserver, catalogue="", assets=None, args=(), audio="disk", netns=None,
                 binary=None, env=None, trace_input=True):
        self.xserver, self.args, self.audio, self.netns = xserver, list(args), audio, netns
        self.binary = os.path.abspath(binary or default_binary())
        self.root = tempfile.mkdtemp(prefix="kablix-e2e-")
        self.workdir, self.assetsdir = os.path.join(self.root, "play"), os.path.join(self.root, "assets")
        self.audio_file = os.path.join(self.root, "audio.raw")
        self.env = dict(env or {}, SDL_AUDIODRIVER=audio, SDL_DISKAUDIOFILE=self.audio_file)
        if trace_input:
            self.env["KABLIX_TRACE_INPUT"] = "1"
        self.process = self.window = None
        os.mkdir(self.workdir)
        os.mkdir(self.assetsdir)
        if isinstance(assets, str):  # a copy without the pack's score database and its side files
            shutil.copytree(assets, self.assetsdir, dirs_exist_ok=True, ignore=shutil.ignore_patterns("scores.db*"))
        files = dict(assets) if isinstance(assets, dict) else {}
        if catalogue is not None:
            files["../play/gunList.txt"] = catalogue
        for name, content in files.items():
            with open(os.path.join(self.assetsdir, name), "wb") as out:
                out.write(content.encode() if isinstance(content, str) else content)

    def start(self):
        """Starts the game (again, once it has ended: the output goes on in the same files)."""
        if self.process is not None:
            self.wait()
        command = [self.binary] + self.args
        # Several games may share one X server: this game's window is the one that was not there yet.
        self._windows_before = set(self._windows())
        with open(self.root + "/stdout.txt", "ab") as out, open(self.root + "/stderr.txt", "ab") as err:
            self.process = subprocess.Popen(self.netns.wrap(command) if self.netns else command, cwd=self.workdir,
                                            env=dict(self.xserver.env(), **self.env), stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=err)
        return self

    def audio_size(self):
        """Bytes of disk audio written so far (44.1 kHz 16-bit stereo)."""
        return os.path.getsize(self.audio_file) if os.path.exists(self.audio_file) else 0

    def loud_samples(self, start=0):
        """How many 16-bit samples of the disk audio past byte `start` are above 2000."""
        with open(self.audio_file, "rb") as f:
            f.seek(start - start % 4)
            return sum(1 for s in array.array("h", f.read()) if abs(s) > 2000)

    def stdout(self):
        return self._read("stdout.txt")

    def stderr(self):
        return self._read("stderr.txt")

    def _read(self, name):
        with open(os.path.join(self.root, name), "rb") as f:
            return f.read().decode("utf-8", errors="replace")

    def _windows(self):
        return self.xserver.xdotool("search", "--onlyvisible", "--name", "^Kablix$", check=False).split()

    def wait_for_window(self, timeout=30.0):
        """The game's X window id, once mapped (with several games on one server, wait for each)."""
        def find():
            if self.process.poll() is not None:
                raise HarnessError("the game exited with %s before its window appeared; stderr:\n%s"
                                   % (self.process.returncode, self.stderr()))
            return next((w for w in self._windows() if w not in self._windows_before), None)
        self.window = int(_wait_until(find, timeout, "the window"))
        return self.window

    def focus(self):
        self.xserver.xdotool("windowfocus", "--sync", self.window)

    def key(self, *keys, delay_ms=30):
        """Presses and releases each key ("F2", "comma", "shift+1", "KP_7")."""
        self.focus()
        self.xserver.xdotool("key", "--delay", delay_ms, *keys)

    def click(self, x, y, button=1):
        self.mouse_down(x, y, button)
        self.mouse_up(button)

    def mouse_down(self, x, y, button=1):
        self.focus()
        self.xserver.xdotool("mousemove", "--window", self.window, x, y)
        self.xserver.xdotool("mousedown", button)

    def mouse_up(self, button=1):
        self.xserver.xdotool("mouseup", button)

    def screenshot(self, *keys_first, timeout=20.0):
        """Presses F1 (right after `keys_first`, in one go) and returns screenshot.png decoded by read_png."""
        path = os.path.join(self.workdir, "screenshot.png")
        if os.path.exists(path):
            os.remove(path)
        self.key(*keys_first, "F1", delay_ms=0)

        def decoded():
            try:
                return read_png(path)
            except (OSError, HarnessError, zlib.error, struct.error, IndexError, TypeError):
                return None  # not there yet, or not written in full
        return _wait_until(decoded, timeout, "screenshot.png")

    def close_window(self, then_expose=False):
        """Asks the window to close as a window manager's close button does; with then_expose an
        expose event (which the game does not act on) follows in the same batch."""
        _send_delete_window(self.xserver.display, self.window, then_expose)

    def wait_for_stdout(self, text, timeout=20.0, after=0):
        """Waits for `text` in the standard output past its first `after` characters."""
        return _wait_until(lambda: text in self.stdout()[after:], timeout, repr(text) + " on stdout")

    def wait(self, timeout=30.0):
        """The exit status once the game has ended (negative: the signal that ended it)."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("the game did not exit within %.0f s" % timeout)

    def close(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()  # `ip netns exec` replaces itself with the game: this is the game
            self.process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self.start()


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("network namespaces need root: skipped")
        sys.exit(77)
    signal.signal(signal.SIGTERM, lambda *unused: sys.exit(1))  # the namespace is still removed
    with NetNamespace() as namespace:
        sys.exit(subprocess.call(namespace.wrap(sys.argv[1:])))
