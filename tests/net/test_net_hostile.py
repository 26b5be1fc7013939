"""A hostile copy (net_hostile) against the game's network side (net_probe) on a network of
namespaces: what each attack may cost the honest copies. Needs root.

    test_net_hostile.py --probe PATH --hostile PATH
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import test_net  # noqa: E402
from kablix_e2e import Lan, demo_pack  # noqa: E402

HOSTILE = None
V, H = ("%s|54776" % Lan.address(i) for i in range(2))

# name, the hostile's attack, seconds it lasts, the most shots of it the victim may take a second
ATTACKS = [
    ("flood at 100/s", ["flood", "100", "20003", "4"], 4, 40),
    ("flood at 1,000/s", ["flood", "1000", "20003", "4"], 4, 40),
    ("flood as fast as it can", ["flood", "0", "20003", "4"], 4, 40),
    ("shots naming no effect", ["flood", "1000", "20777", "3"], 3, 0),
    ("untagged shots", ["flood", "1000", "3", "3"], 3, 40),  # the default room keeps the old team rule
    ("junk datagrams", ["junk", "60000", "4"], 4, 0),
    ("made-up advertisements", ["ads", "1000", "3"], 3, 0),
]


class Copy(test_net.Probe):
    """A net_probe with options; its standard error is kept in `errors`."""

    def __init__(self, host, args, workdir):  # noqa: super's start takes no options
        self.process = subprocess.Popen(host.wrap([PROBE] + args), cwd=workdir, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        env=dict(os.environ, SDL_AUDIODRIVER="dummy"), text=True)
        self.lines, self.errors = [], []
        self.reader = threading.Thread(target=lambda: self.lines.extend(l.rstrip("\n") for l in self.process.stdout))
        self.reader.start()
        threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True).start()
        self.block(["probe: ready"])

    def rss_kb(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))

    def taken_from(self, sender, start):
        """Shots taken from `sender` (an address, or its start) since line `start`: those logged
        and those its summaries count."""
        lines = self.lines[start:]
        logged = sum(1 for l in lines if l.startswith("ID_SHOT Was sent from " + sender))
        summary = re.compile(r"ID_SHOT summary from %s\S* \d+: (\d+) taken" % re.escape(sender))
        return logged + sum(int(m.group(1)) for l in lines for m in [summary.match(l)] if m)


class HostileTest(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.lan = Lan(3)
        self.addCleanup(self.lan.close)
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root)
        os.makedirs(os.path.join(root, "assets"))
        shutil.copy(os.path.join(demo_pack()[0], "EFFECTS.xml"), os.path.join(root, "assets"))
        self.workdir = os.path.join(root, "play")
        os.makedirs(self.workdir)

    def copy(self, i, *args):
        copy = Copy(self.lan.hosts[i], [str(a) for a in args], self.workdir)
        self.addCleanup(lambda: copy.process.poll() is None and copy.process.kill())
        return copy

    def hostile(self, *args, address=0):
        command = [HOSTILE, Lan.address(address)] + [str(a) for a in args]
        return subprocess.Popen(self.lan.hosts[2].wrap(command), stdout=subprocess.PIPE, text=True)

    def test_attacks_cost_the_honest_game_a_budget_of_shots_log_and_memory_only(self):
        victim, honest = self.copy(0, 2), self.copy(1, 3)
        for copy in (victim, honest):
            copy.block(["peerConnected 1", "   new peer"])
        for name, attack, seconds, per_second in ATTACKS:
            with self.subTest(name):
                start, rss = len(victim.lines), victim.rss_kb()
                hostile = self.hostile(*attack)
                time.sleep(0.5)
                for _ in range(10):  # the honest copy fires all through the attack
                    honest.command("shoot 5")
                    time.sleep(0.25)
                hostile.communicate(timeout=30)
                time.sleep(1.2)  # the last summaries
                out = "\n".join(victim.lines[start:])
                self.assertLessEqual(victim.taken_from(Lan.address(2) + "|", start), per_second * seconds + 10,
                                     out[-3000:])
                self.assertEqual(victim.taken_from(H, start), 10, out[-3000:])
                self.assertLessEqual(len(out), 10240 * (seconds + 2))
                if os.environ.get("KABLIX_SANITIZED") != "1":  # AddressSanitizer keeps what is freed for a while
                    self.assertLess(victim.rss_kb() - rss, 8192)
                if "20777" in attack:
                    self.assertRegex(out, r"ID_SHOT summary from %s\|\d+ \d+: 0 taken unlogged, 0 dropped over the "
                                     r"budget, [1-9]\d* naming no effect" % Lan.address(2))
        # A second link that claims the honest copy's GUID is refused; the honest link stays.
        guid = honest.line("Me ").split()[1].rstrip(":")
        hostile = self.hostile("--guid", guid, "flood", 10, 20003, 2)
        self.assertIn("(dropped)", hostile.communicate(timeout=30)[0])
        at = len(victim.lines)
        honest.command("shoot 5")
        victim.block(["Got ID_SHOT : 20005"], at)
        victim.block(["probe: peerCount 1 connections 1"], victim.command("count"))
        self.assertIn("refused: its GUID is linked already from another address", "".join(victim.errors))

    def test_silent_connections_leave_room_for_an_honest_copy(self):
        victim = self.copy(0, 2)
        hostile = self.hostile("silent", 110, 8)
        time.sleep(2)
        joined = time.monotonic()
        honest = self.copy(1, 3)
        victim.block(["peerConnected 1", "   new peer"], timeout=10)
        self.assertLess(time.monotonic() - joined, 3.0)
        held = int(hostile.communicate(timeout=30)[0].split()[-1])
        self.assertLessEqual(held, 4)
        honest.command("shoot 5")
        victim.line("gotshot 20005")

    def test_rooms_keep_apart_and_a_key_admits_only_its_holders(self):
        keys = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, keys)
        for name, passphrase in (("k1", "the same long passphrase\n"), ("k2", "another passphrase\n")):
            with open(os.path.join(keys, name), "w") as f:
                f.write(passphrase)
        # Two rooms and the default room on one network never link.
        red, blue, plain = self.copy(0, "--room", "red", 2), self.copy(1, "--room", "blue", 3), self.copy(2, 0)
        # In a room a link's hello fixes its team: untagged shots and another team's are dropped.
        hostile = self.hostile("--room", "red", "--team", 3, "flood", 50, 5, 2)
        hostile.communicate(timeout=30)
        red.line("ID_SHOT summary from %s|" % Lan.address(2))
        self.assertFalse([l for l in red.lines if l.startswith("gotshot")])
        time.sleep(5.5)  # every copy has advertised twice
        for copy in (red, blue, plain):
            copy.block(["probe: peerCount 0 connections 0"], copy.command("count"))
            copy.quit()
        # In a room with a key, only the copies holding it link.
        a = self.copy(0, "--room", "red", "--room-key", os.path.join(keys, "k1"), 2)
        b = self.copy(1, "--room", "red", "--room-key", os.path.join(keys, "k1"), 3)
        c = self.copy(2, "--room", "red", "--room-key", os.path.join(keys, "k2"), 0)
        for copy in (a, b):
            copy.block(["peerConnected 1", "   new peer"])
        time.sleep(5.5)
        for copy, linked in ((a, 1), (b, 1), (c, 0)):
            copy.block(["probe: peerCount %d connections %d" % (linked, linked)], copy.command("count"))
        b.command("shoot 5")
        a.line("gotshot 20005")
        b.command("mode 4")  # a new team links anew, and its shots carry it
        a.wait(lambda lines: lines.count("peerConnected 1") == 2 or None, "the link anew")
        b.command("shoot 5")
        a.line("gotshot 30005")
        a.quit()
        self.assertIn("refused: its room key is another", "".join(a.errors))


if __name__ == "__main__":
    for flag in ("--probe", "--hostile"):
        if flag in sys.argv:
            at = sys.argv.index(flag)
            globals()[flag[2:].upper()] = os.path.abspath(sys.argv[at + 1])
            del sys.argv[at:at + 2]
    if os.geteuid() != 0:
        print("network namespaces need root: skipped")
        sys.exit(77)
    unittest.main()
