"""How the team game holds up with many copies on one network: the real game (team 2) and N net
probes (team 1, the game's network side without a window), each in a namespace of its own on one
bridge, all started together. Prints how long the game took to connect to every probe, how many
of the probes' shots it took (logged, or counted in its summaries once the log's budget is spent), and the probes' peer counts (N for a full mesh).

    sudo python3 bench/lan_scale.py [--probes 40] [--shots 100] [--build build]
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


class Probe:
    def __init__(self, host, binary):
        self.process = subprocess.Popen(host.wrap([binary, "2"]), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True, env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
        self.lines = []
        threading.Thread(target=lambda: self.lines.extend(self.process.stdout), daemon=True).start()

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()


def delivered(out):
    """Shots 10005 the game took: those logged, and those its per-link summaries count as taken
    after the log's budget was spent."""
    return out.count("gotshot 10005\n") + sum(int(n) for n in re.findall(r"^ID_SHOT summary from \S+ \d+: (\d+) taken",
                                                                        out, re.M))


def wait_until(predicate, timeout):
    deadline = time.monotonic() + timeout
    while not predicate() and time.monotonic() < deadline:
        time.sleep(0.05)
    return predicate()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probes", type=int, default=40)
    parser.add_argument("--shots", type=int, default=100)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"))
    parser.add_argument("--arp-limit", type=int, default=0,
                        help="raise the kernel's neighbour table limit (shared by every namespace) to this for the run")
    args = parser.parse_args()
    # Every namespace's ARP entries count against one kernel-wide table: N copies that all talk to
    # each other need about N * N entries, and past gc_thresh3 new neighbours (broadcasts included)
    # cannot be made, so copies stop hearing each other. The limit is put back afterwards.
    limits = "/proc/sys/net/ipv4/neigh/default/gc_thresh%d"
    kept = [open(limits % i).read().strip() for i in (1, 2, 3)]
    needed = (args.probes + 1) ** 2
    if int(kept[2]) < needed and not args.arp_limit:
        print("note: %d copies need about %d neighbour entries; the kernel keeps %s (--arp-limit %d raises it)"
              % (args.probes + 1, needed, kept[2], needed * 2))
    try:
        if args.arp_limit:
            for i, value in ((1, args.arp_limit // 4), (2, args.arp_limit // 2), (3, args.arp_limit)):
                with open(limits % i, "w") as f:
                    f.write(str(value))
        run(args)
    finally:
        for i, value in zip((1, 2, 3), kept):
            with open(limits % i, "w") as f:
                f.write(value)


def run(args):
    os.environ["KABLIX_BINARY"] = os.path.abspath(os.path.join(args.build, "kablix"))
    probe_binary = os.path.abspath(os.path.join(args.build, "tests", "net", "net_probe"))

    with Lan(args.probes + 1) as lan, XServer() as x:
        assets, catalogue = demo_pack()
        game = Game(x, catalogue=catalogue, assets=assets, netns=lan.hosts[0], audio="dummy")
        game.start().wait_for_window()
        game.wait_for_stdout("   E: switchedMode data1: ")
        start = time.monotonic()
        game.key("KP_2")
        probes = [Probe(host, probe_binary) for host in lan.hosts[1:]]
        everyone = args.probes
        linked = wait_until(lambda: "peerConnected %d\n" % everyone in game.stdout(), 30)
        connect_time = time.monotonic() - start
        for _ in range(args.shots):
            for probe in probes:
                probe.send("shoot 5")
            time.sleep(0.1)
        wanted = args.probes * args.shots
        wait_until(lambda: delivered(game.stdout()) >= wanted, 30)
        logged = delivered(game.stdout())
        for probe in probes:
            probe.send("count")
        time.sleep(1.0)
        counts = [int(found[-1]) for p in probes for found in [re.findall(r"^probe: peerCount (\d+)", "".join(p.lines), re.M)]
                  if found]
        peers = re.findall(r"^peerConnected (\d+)$", game.stdout(), re.M)
        print("probes: %d, shots each: %d" % (args.probes, args.shots))
        print("game connected to all: %s, %.1f s after networking went on (peer count %s)"
              % ("yes" if linked else "no", connect_time, peers[-1] if peers else 0))
        print("shots taken by the game: %d of %d" % (logged, wanted))
        out = game.stdout()
        print("game: %d connection attempts given up, %d links lost" % (out.count("Message with identifier 17 has"),
                                                                      out.count("   lost peer\n")))
        print("probes' peer counts: min %d, max %d (full mesh: %d)" % (min(counts or [0]), max(counts or [0]), everyone))
        for probe in probes:
            if probe.process.poll() is not None or not any("peerConnected" in l for l in probe.lines):
                print("unlinked probe %d: exit %s, advertisements heard %d" % (probes.index(probe) + 1, probe.process.poll(),
                      sum("ID_ADVERTISE_SYSTEM" in l for l in probe.lines)), file=sys.stderr)
        for probe in probes:
            probe.send("quit")
        game.key("Escape")
        game.wait(timeout=60)
        for probe in probes:
            probe.process.wait(timeout=30)
        game.close()


if __name__ == "__main__":
    main()
