"""What a hostile copy on the network costs the real game: the game (team 1) in one namespace, an
honest net probe (team 2) in a second and tests/net/net_hostile in a third, all on one bridge. For
each attack the honest probe joins a second into it and fires shot 5 four times a second; printed
are the hostile's shots the game took a second, the game's standard output in KB/s, the growth of
its resident memory, how long the honest probe took to link and how many of its shots arrived.

    sudo python3 bench/lan_hostile.py [--seconds 10] [--build build]
"""

import argparse
import os
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e"))
from kablix_e2e import Game, Lan, XServer, demo_pack  # noqa: E402

GAME, HONEST, HOSTILE = (Lan.address(i) for i in range(3))

# name, net_hostile's arguments (the duration is added to floods and junk)
ATTACKS = [
    ("none", None),
    ("flood 100/s", ["flood", "100", "20003"]),
    ("flood 1,000/s", ["flood", "1000", "20003"]),
    ("flood at full speed", ["flood", "0", "20003"]),
    ("shots naming no effect", ["flood", "1000", "20777"]),
    ("untagged shots", ["flood", "1000", "3"]),
    ("110 silent connections", ["silent", "110"]),
    ("the honest copy's GUID", ["--guid", "GUID", "flood", "100", "20003"]),
    ("junk 60,000/s", ["junk", "60000"]),
    ("junk at full speed", ["junk", "0"]),
    ("made-up advertisements 1,000/s", ["ads", "1000"]),
]


class Probe:
    def __init__(self, host, binary):
        self.process = subprocess.Popen(host.wrap([binary, "3"]), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True,
                                        env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
        self.lines = []
        threading.Thread(target=lambda: self.lines.extend(self.process.stdout), daemon=True).start()

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def quit(self):
        self.send("quit")
        self.process.wait(timeout=30)


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def taken(out, sender):
    """Shots from `sender` (an address start) the game took: logged ones and those summaries count."""
    logged = out.count("ID_SHOT Was sent from " + sender)
    summary = re.compile(r"^ID_SHOT summary from %s\S* \d+: (\d+) taken" % re.escape(sender), re.M)
    return logged + sum(int(n) for n in summary.findall(out))


def wait_until(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate() and time.monotonic() < deadline:
        time.sleep(0.02)
    return predicate()


def run_attack(lan, game, args, name, attack):
    out_file = os.path.join(game.root, "stdout.txt")
    guid_probe = None
    if attack and "GUID" in attack:  # the honest copy must be linked first for its GUID to be known
        guid_probe = Probe(lan.hosts[1], args.probe)
        wait_until(lambda: "peerConnected 1" in "".join(guid_probe.lines), 15)
        guid = re.search(r"^Me (\d+):", "".join(guid_probe.lines), re.M).group(1)
        attack = [guid if a == "GUID" else a for a in attack]
    start_size, start_rss, start_text = os.path.getsize(out_file), rss_kb(game.process.pid), len(game.stdout())
    started = time.monotonic()
    hostile = None
    if attack:
        timed = attack + [str(args.seconds)]
        hostile = subprocess.Popen(lan.hosts[2].wrap([args.hostile, GAME] + timed), stdout=subprocess.PIPE, text=True)
    time.sleep(1.0)
    honest = guid_probe or Probe(lan.hosts[1], args.probe)
    joined = time.monotonic()
    linked = wait_until(lambda: "peerConnected 1" in "".join(honest.lines), 10)
    join_time = time.monotonic() - joined if linked and not guid_probe else None
    fired = 0
    while time.monotonic() - started < args.seconds - 0.5:
        honest.send("shoot 5")
        fired += 1
        time.sleep(0.25)
    if hostile:
        hostile.communicate(timeout=60)
    elapsed = time.monotonic() - started
    time.sleep(1.5)  # the last summaries and shots
    out = game.stdout()[start_text:]
    print("%-24s %8.1f %8.2f %8.1f %8s %6d/%d" % (
        name, taken(out, HOSTILE + "|") / elapsed, (os.path.getsize(out_file) - start_size) / 1024.0 / elapsed,
        (rss_kb(game.process.pid) - start_rss) / 1024.0, "%.2f s" % join_time if join_time is not None else "-",
        taken(out, HONEST + "|"), fired), flush=True)
    honest.quit()
    wait_until(lambda: game.stdout().count("peerDiscon 0") > out.count("peerDiscon 0"), 10)
    time.sleep(1.0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"))
    args = parser.parse_args()
    os.environ["KABLIX_BINARY"] = os.path.abspath(os.path.join(args.build, "kablix"))
    args.probe = os.path.abspath(os.path.join(args.build, "tests", "net", "net_probe"))
    args.hostile = os.path.abspath(os.path.join(args.build, "tests", "net", "net_hostile"))
    with Lan(3) as lan, XServer() as x:
        assets, catalogue = demo_pack()
        game = Game(x, catalogue=catalogue, assets=assets, netns=lan.hosts[0], audio="dummy")
        game.start().wait_for_window()
        game.wait_for_stdout("   E: switchedMode data1: ")
        game.key("KP_1")
        game.wait_for_stdout("Changing multiplayer mode:2")
        print("%d s per attack; the game is in team 1, the honest probe in team 2" % args.seconds)
        print("%-24s %8s %8s %8s %8s %9s" % ("attack", "taken/s", "KB/s", "RSS MB", "join", "delivered"))
        for name, attack in ATTACKS:
            run_attack(lan, game, args, name, attack)
        game.key("Escape")
        game.wait(timeout=60)
        game.close()


if __name__ == "__main__":
    main()
