#!/usr/bin/env python3
"""Timing program (not a test): what the running game costs the machine.

Runs the real game (build/kablix, or $KABLIX_BINARY, or --binary) under its own Xvfb on the demo
pack, takes up the rotary and prints, from the per-thread CPU times in /proc/<pid>/task (the
renderer's threads and the sound thread included):
  - CPU per second at rest (the idle sway only) and with the trigger held (firing continuously),
    in cores, with the share of each thread;
  - frames drawn per second in both states (from the game's trace lines, KABLIX_TRACE_FRAMES=1);
  - press-to-next-frame time: from the moment this program sends a mouse press to the X server
    until the game has swapped the first frame drawn after handling it (median and worst).

    python3 bench/frame_pacing_bench.py [--binary build/kablix] [--seconds 8] [--presses 15]

Goals on the 2-core development machine: at rest at most 0.25 of one core, firing at most 0.6,
at least 30 frames drawn per second while firing (the animations' rate).
"""

import argparse
import ctypes
import ctypes.util
import os
import random
import re
import statistics
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
FIRE_AT = (284, 200)  # window pixels: on the rotary, away from any switch


def thread_times(pid):
    """{thread id: (name, CPU seconds)} of every thread of the process."""
    times = {}
    task = "/proc/%d/task" % pid
    for tid in os.listdir(task):
        try:
            with open(os.path.join(task, tid, "stat")) as f:
                stat = f.read()
        except OSError:
            continue  # the thread ended meanwhile
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        # utime and stime are fields 14 and 15 of stat; fields[0] here is field 3.
        times[int(tid)] = (name, (int(fields[11]) + int(fields[12])) / CLOCK_TICKS)
    return times


def frame_counts(stderr):
    """[(steady seconds, frames drawn so far)] from the game's trace."""
    return [(float(t), int(n)) for n, t in re.findall(r"^kablix: frame count (\d+) at ([\d.]+) s$", stderr, re.M)]


def frames_per_second(stderr, start, end):
    inside = [(t, n) for t, n in frame_counts(stderr) if start <= t <= end]
    if len(inside) < 2:
        return float("nan")
    (t0, n0), (t1, n1) = inside[0], inside[-1]
    return (n1 - n0) / (t1 - t0)


class Measurement:
    def __init__(self, name, seconds, cores, per_thread, fps):
        self.name, self.seconds, self.cores, self.per_thread, self.fps = name, seconds, cores, per_thread, fps


def measure(game, name, seconds):
    pid = game.process.pid
    before, start = thread_times(pid), time.monotonic()
    time.sleep(seconds)
    after, end = thread_times(pid), time.monotonic()
    elapsed = end - start
    per_thread = []
    for tid, (thread_name, spent) in sorted(after.items()):
        used = (spent - before.get(tid, (thread_name, 0.0))[1]) / elapsed
        label = "main" if tid == pid else thread_name
        per_thread.append((label, used))
    cores = sum(used for _, used in per_thread)
    # The trace writes a count once a second: give it time to write the one after the window.
    time.sleep(1.2)
    return Measurement(name, elapsed, cores, per_thread, frames_per_second(game.stderr(), start, end))


class Pointer:
    """Mouse buttons sent straight to the X server (XTest), stamped just before the flush."""

    def __init__(self, display):
        self.xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xlib.XFlush.argtypes = [ctypes.c_void_p]
        self.xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = self.xlib.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)

    def button(self, pressed):
        self.xtst.XTestFakeButtonEvent(self.dpy, 1, 1 if pressed else 0, 0)
        sent = time.monotonic()
        self.xlib.XFlush(self.dpy)
        return sent

    def close(self):
        self.xlib.XCloseDisplay(self.dpy)


def press_latencies(game, pointer, presses):
    """Milliseconds from each press sent to its first frame shown."""
    chooser = random.Random(17)
    sent = []
    for _ in range(presses):
        # A varying pause, so that presses land at every phase of the loop's turn.
        time.sleep(1.6 + chooser.random() * 0.5)
        sent.append(pointer.button(True))
        time.sleep(0.15)
        pointer.button(False)
    time.sleep(1.0)
    shown = [float(s) for _, s in re.findall(r"^kablix: press handled at ([\d.]+) s, shown at ([\d.]+) s$",
                                             game.stderr(), re.M)]
    shown = shown[-presses:]
    return [(s - t) * 1000.0 for t, s in zip(sent, shown)]


def report(label, rest, firing, latencies):
    with open("/proc/loadavg") as f:
        load = f.read().split()[0]
    print("%s (load average %s on %d cores)" % (label, load, os.cpu_count()))
    for m in (rest, firing):
        threads = ", ".join("%s %.3f" % (name, used) for name, used in m.per_thread if used >= 0.0005)
        print("  %-7s CPU %.3f cores (%s); frames drawn %.1f per second" % (m.name, m.cores, threads, m.fps))
    if latencies:
        print("  press to next frame: median %.1f ms, worst %.1f ms, best %.1f ms (%d presses)"
              % (statistics.median(latencies), max(latencies), min(latencies), len(latencies)))
    else:
        print("  press to next frame: no press was traced")
    print("  goals: at rest <= 0.25 cores, firing <= 0.6 cores, firing >= 30 frames per second")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--binary", default=None)
    parser.add_argument("--seconds", type=float, default=8.0)
    parser.add_argument("--presses", type=int, default=15)
    args = parser.parse_args()

    assets, catalogue = demo_pack()
    with XServer() as x, Game(x, catalogue=catalogue, assets=assets, binary=args.binary,
                              env={"KABLIX_TRACE_FRAMES": "1"}) as game:
        game.wait_for_window()
        game.key("3")
        game.wait_for_stdout("Portrait: ")
        time.sleep(2.0)  # the load's own work settles; the idle sway plays
        rest = measure(game, "at rest", args.seconds)

        x.xdotool("mousemove", "--window", game.window, *FIRE_AT)
        pointer = Pointer(x.display)
        try:
            pointer.button(True)
            time.sleep(1.5)  # past the spin-up: firing continuously
            firing = measure(game, "firing", args.seconds)
            pointer.button(False)
            latencies = press_latencies(game, pointer, args.presses)
        finally:
            pointer.close()
        game.key("Escape")
        game.wait()
    report(os.path.relpath(game.binary), rest, firing, latencies)


if __name__ == "__main__":
    main()
