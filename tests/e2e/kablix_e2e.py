"""End-to-end harness: runs the real game under its own X server and drives it like a player.

    from kablix_e2e import XServer, Game, NetNamespace, demo_pack, read_png

    with XServer() as x, Game(x, catalogue="0=rifle\n", assets={"rifle.xml": xml}) as game:
        game.wait_for_window()
        game.key("F2")                         # keys as xdotool names them
        game.click(100, 200)                   # window pixels, origin top left
        game.key("Escape")
        assert game.wait() == 0                # exit status (negative: killed by that signal)
        assert "   ON SHAKE:  NONE\n" in game.stdout()

    assets, catalogue = demo_pack()        # the pack the build made in build/assets
    Game(x, catalogue=catalogue, assets=assets)   # a copy of it, without its score database

XServer       an Xvfb on a free display number (no window manager); stopped on exit.
              xdotool(...) runs xdotool against it.
NetNamespace  a network namespace with only `lo` up (needs root); removed on exit. Pass it as
              Game(..., netns=ns) for every run that switches networking on.
Game          a temporary directory holding play/ (the working directory, with gunList.txt)
              and its sibling assets/; starts `kablix` in play/ with SDL_AUDIODRIVER=disk (the
              audio goes to a file in the temporary directory) or "dummy", and with
              KABLIX_TRACE_INPUT=1 so that state changes without a line on standard output
              (mirroring, Shift, the frame count at exit) are written to standard error.
              Standard output and error are collected in files; stdout()/stderr() read them.
              start() again after the game ended runs it once more in the same folders.

The game binary is taken from the argument `binary`, else from $KABLIX_BINARY, else build/kablix.
Every wait has a timeout and raises HarnessError when it runs out. game.screenshot() presses F1
and returns the picture decoded by read_png (width, height, channels, rows top first).
"""

import array
import ctypes
import ctypes.util
import os
import random
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zlib

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINDOW_TITLE = "Kablix"


class HarnessError(Exception):
    pass


def default_binary():
    return os.environ.get("KABLIX_BINARY") or os.path.join(REPO_ROOT, "build", "kablix")


def demo_pack():
    """(assets folder, catalogue text) of the demo pack the build made next to the binary."""
    build = os.path.dirname(default_binary())
    with open(os.path.join(build, "play", "gunList.txt")) as catalogue:
        return os.path.join(build, "assets"), catalogue.read()


def read_png(path):
    """Decodes an 8-bit RGB or RGBA, non-interlaced PNG: (width, height, channels, rows), where
    rows is a list of bytes objects, top row first."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise HarnessError(path + " is not a PNG file")
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None:
        raise HarnessError(path + " has no header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise HarnessError("%s: unsupported PNG layout %s" % (path, header))
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 255
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                line[i] = (line[i] + predictor) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def _wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() > deadline:
            raise HarnessError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.05)


def _stop_process(process, grace=5.0):
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class XServer:
    """An Xvfb on a free display number; `display` is ":N"."""

    def __init__(self, width=1024, height=768, depth=24, timeout=15.0, attempts=20):
        screen = "%dx%dx%d" % (width, height, depth)
        # Xvfb's own pick of a free number (-displayfd alone) races when several servers start at
        # once and can leave the winner without its socket file; so each try takes a random
        # number of its own, away from desktop sessions (low numbers) and other test servers.
        chooser = random.Random(os.getpid() * 1000003 + time.monotonic_ns())
        for _ in range(attempts):
            number = chooser.randrange(1000, 30000)
            if os.path.exists("/tmp/.X%d-lock" % number):
                continue
            if self._start(number, screen, timeout):
                self.display = ":%d" % number
                return
        raise HarnessError("no Xvfb could be started")

    def _start(self, number, screen, timeout):
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0", screen,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            write_end = None
            reported = b""
            deadline = time.monotonic() + timeout
            while not reported.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not select.select([read_end], [], [], remaining)[0]:
                    break
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                reported += chunk
            # Clients in another network namespace can only reach the socket file.
            if (reported.strip() == str(number).encode()
                    and os.path.exists("/tmp/.X11-unix/X%d" % number)):
                return True
            _stop_process(self.process)
            return False
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)

    def env(self):
        """The environment for an X client of this server."""
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("XAUTHORITY", None)
        return env

    def xdotool(self, *args, check=True):
        """Runs xdotool against this server and returns its standard output."""
        done = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=15)
        if check and done.returncode != 0:
            raise HarnessError("xdotool %s failed: %s" % (" ".join(map(str, args)), done.stderr.strip()))
        return done.stdout

    def close(self):
        _stop_process(self.process)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class NetNamespace:
    """A network namespace of its own with only the loopback interface up; `name` for `ip netns`."""

    def __init__(self):
        if os.geteuid() != 0:
            raise HarnessError("network namespaces need root")
        self.name = "kablix-e2e-%d-%d" % (os.getpid(), time.monotonic_ns() % 1000000)
        subprocess.run(["ip", "netns", "add", self.name], check=True)
        try:
            subprocess.run(["ip", "-n", self.name, "link", "set", "lo", "up"], check=True)
        except BaseException:
            self.close()
            raise

    def wrap(self, command):
        """The command line that runs `command` inside the namespace."""
        return ["ip", "netns", "exec", self.name] + list(command)

    def close(self):
        subprocess.run(["ip", "netns", "delete", self.name], stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class _ClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _ExposeEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("count", ctypes.c_int)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessageEvent), ("xexpose", _ExposeEvent),
                ("pad", ctypes.c_long * 24)]


class _X11:
    """The few Xlib calls xdotool lacks here: asking a window to close as a window manager would."""

    ClientMessage = 33
    Expose = 12

    @classmethod
    def send_delete_window(cls, display, window, then_expose=False):
        xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        dpy = xlib.XOpenDisplay(display.encode())
        if not dpy:
            raise HarnessError("cannot open display " + display)
        try:
            event = _XEvent()
            event.xclient.type = cls.ClientMessage
            event.xclient.window = window
            event.xclient.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
            event.xclient.format = 32
            event.xclient.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
            if not xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(event)):
                raise HarnessError("XSendEvent failed")
            if then_expose:
                expose = _XEvent()
                expose.xexpose.type = cls.Expose
                expose.xexpose.window = window
                expose.xexpose.width, expose.xexpose.height = 568, 320
                xlib.XSendEvent(dpy, window, 0, 0, ctypes.byref(expose))
            # One flush: both events reach the game together and land in the same event batch.
            xlib.XFlush(dpy)
        finally:
            xlib.XCloseDisplay(dpy)


class Game:
    """One run of the game in a fresh temporary directory.

    catalogue  text of play/gunList.txt, or None for no catalogue file
    assets     {file name: str or bytes} written into assets/, or a folder whose files are copied
    args       command-line arguments after the program name
    audio      "disk" (output in the temporary directory) or "dummy"
    netns      a NetNamespace to run the game in, or None
    """

    def __init__(self, xserver, catalogue="", assets=None, args=(), audio="disk", netns=None,
                 binary=None, env=None, trace_input=True):
        self.xserver = xserver
        self.binary = os.path.abspath(binary or default_binary())
        if not os.access(self.binary, os.X_OK):
            raise HarnessError("no game binary at " + self.binary)
        self.root = tempfile.mkdtemp(prefix="kablix-e2e-")
        self.workdir = os.path.join(self.root, "play")
        self.assetsdir = os.path.join(self.root, "assets")
        os.mkdir(self.workdir)
        os.mkdir(self.assetsdir)
        if catalogue is not None:
            self.write_file("gunList.txt", catalogue)
        self._add_assets(assets)
        self.args = list(args)
        self.audio = audio
        self.audio_file = os.path.join(self.root, "audio.raw")
        self.netns = netns
        self.extra_env = dict(env or {})
        self.trace_input = trace_input
        self.process = None
        self.window = None

    def _add_assets(self, assets):
        if assets is None:
            return
        if isinstance(assets, str):
            for name in os.listdir(assets):
                source = os.path.join(assets, name)
                # Each run starts without a score database of its own (nor its pending or kept files).
                if os.path.isfile(source) and not name.startswith("scores.db"):
                    shutil.copy(source, self.assetsdir)
            return
        for name, content in assets.items():
            self.write_file(os.path.join("..", "assets", name), content)

    def write_file(self, relative_to_play, content):
        """Writes a file relative to the working directory (use "../assets/x" for an asset)."""
        path = os.path.normpath(os.path.join(self.workdir, relative_to_play))
        with open(path, "wb") as out:
            out.write(content.encode() if isinstance(content, str) else content)
        return path

    def start(self):
        """Starts the game; once it has ended, starts it again in the same folders (the output of
        every run goes on in the same files)."""
        if self.process is not None:
            self.wait()
            self._stdout.close()
            self._stderr.close()
        env = self.xserver.env()
        env["SDL_AUDIODRIVER"] = self.audio
        env["SDL_DISKAUDIOFILE"] = self.audio_file
        if self.trace_input:
            env["KABLIX_TRACE_INPUT"] = "1"
        env.update(self.extra_env)
        command = [self.binary] + self.args
        if self.netns is not None:
            command = self.netns.wrap(command)
        self._stdout = open(os.path.join(self.root, "stdout.txt"), "ab")
        self._stderr = open(os.path.join(self.root, "stderr.txt"), "ab")
        # Several games may share one X server: this game's window is the one that was not there yet.
        self._windows_before = set(self._kablix_windows())
        self.process = subprocess.Popen(command, cwd=self.workdir, env=env, stdin=subprocess.DEVNULL,
                                        stdout=self._stdout, stderr=self._stderr)
        return self

    def audio_size(self):
        """Bytes of disk audio written so far (44.1 kHz 16-bit stereo); 0 before the device opens."""
        return os.path.getsize(self.audio_file) if os.path.exists(self.audio_file) else 0

    def loud_samples(self, start=0):
        """How many 16-bit samples of the disk audio past byte `start` are loud (above 2000)."""
        with open(self.audio_file, "rb") as f:
            f.seek(start - start % 4)
            samples = array.array("h", f.read())
        return sum(1 for s in samples if abs(s) > 2000)

    def stdout(self):
        return self._read("stdout.txt")

    def stderr(self):
        return self._read("stderr.txt")

    def _read(self, name):
        with open(os.path.join(self.root, name), "rb") as f:
            return f.read().decode("utf-8", errors="replace")

    def wait_for_window(self, timeout=30.0):
        """Waits until the game's window is mapped; returns its X window id. With several games
        on one server, wait for each window before starting the next game."""
        def find():
            if self.process.poll() is not None:
                raise HarnessError("the game exited with %s before its window appeared; stderr:\n%s"
                                   % (self.process.returncode, self.stderr()))
            ids = [w for w in self._kablix_windows() if w not in self._windows_before]
            return ids[0] if ids else None
        self.window = int(_wait_until(find, timeout, "the %s window" % WINDOW_TITLE))
        return self.window

    def _kablix_windows(self):
        return self.xserver.xdotool("search", "--onlyvisible", "--name", "^%s$" % WINDOW_TITLE,
                                    check=False).split()

    def window_name(self):
        return self.xserver.xdotool("getwindowname", self.window).strip()

    def window_size(self):
        """(width, height) of the game's window."""
        values = dict(line.split("=", 1) for line in
                      self.xserver.xdotool("getwindowgeometry", "--shell", self.window).split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self):
        self.xserver.xdotool("windowfocus", "--sync", self.window)

    def key(self, *keys, delay_ms=30):
        """Presses and releases each key (xdotool names: "F2", "comma", "shift+1", "KP_7")."""
        self.focus()
        self.xserver.xdotool("key", "--delay", delay_ms, *keys)

    def key_down(self, key):
        self.focus()
        self.xserver.xdotool("keydown", key)

    def key_up(self, key):
        self.focus()
        self.xserver.xdotool("keyup", key)

    def click(self, x, y, button=1):
        """A press and release of `button` at window pixel (x, y)."""
        self.mouse_down(x, y, button)
        self.mouse_up(button)

    def mouse_down(self, x, y, button=1):
        self.focus()
        self.xserver.xdotool("mousemove", "--window", self.window, x, y)
        self.xserver.xdotool("mousedown", button)

    def mouse_up(self, button=1):
        self.xserver.xdotool("mouseup", button)

    def screenshot(self, timeout=20.0):
        """Presses F1 and returns the decoded screenshot.png (see read_png)."""
        path = os.path.join(self.workdir, "screenshot.png")
        if os.path.exists(path):
            os.remove(path)
        self.key("F1")

        def decoded():
            try:
                return read_png(path)
            except (OSError, HarnessError, zlib.error, struct.error, IndexError):
                return None
        return _wait_until(decoded, timeout, "screenshot.png")

    def close_window(self, then_expose=False):
        """Asks the window to close, as a window manager's close button does. then_expose: an
        expose event follows in the same batch (an event type the game does not act on)."""
        _X11.send_delete_window(self.xserver.display, self.window, then_expose)

    def wait_for_stdout(self, text, timeout=20.0):
        return _wait_until(lambda: text in self.stdout(), timeout, repr(text) + " on stdout")

    def wait_for_stderr(self, text, timeout=20.0):
        return _wait_until(lambda: text in self.stderr(), timeout, repr(text) + " on stderr")

    def wait(self, timeout=30.0):
        """Waits for the game to end and returns its exit status (0 to 255; negative: signal)."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError("the game did not exit within %.0f s" % timeout)

    def close(self):
        if self.process is not None:
            if self.process.poll() is None:
                # `ip netns exec` replaces itself with the game, so this is the game in either case.
                self.process.send_signal(signal.SIGKILL)
                self.process.wait()
            self._stdout.close()
            self._stderr.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()
