"""Three copies on one local network: each a net_probe (the game's network side, driven through its
standard input) in a namespace of its own on a bridge (kablix_e2e.Lan). Needs root.

    test_net.py --probe PATH
"""

import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Lan  # noqa: E402

PROBE = None
A, B, C = ("%s|54776" % Lan.address(i) for i in range(3))


class Probe:
    def __init__(self, host, mode, workdir):
        self.process = subprocess.Popen(host.wrap([PROBE, str(mode)]), cwd=workdir, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, env=dict(os.environ, SDL_AUDIODRIVER="dummy"), text=True)
        self.lines = []
        self.reader = threading.Thread(target=lambda: self.lines.extend(l.rstrip("\n") for l in self.process.stdout))
        self.reader.start()

    def wait(self, find, what, timeout=15):
        """Waits until `find(lines)` is not None and returns it."""
        deadline = time.monotonic() + timeout
        while (found := find(list(self.lines))) is None:
            if time.monotonic() > deadline or not self.reader.is_alive():
                raise AssertionError("no %s in:\n%s" % (what, "\n".join(self.lines)))
            time.sleep(0.02)
        return found

    def block(self, block, start=0, timeout=15):
        """The index after `block`, once it has come as consecutive lines at or after line `start`."""
        return self.wait(lambda lines: next((i + len(block) for i in range(start, len(lines))
                                             if lines[i:i + len(block)] == block), None), block, timeout)

    def line(self, prefix):
        return self.wait(lambda lines: next((l for l in lines if l.startswith(prefix)), None), prefix)

    def command(self, text):
        """Sends a command; returns the index after its echo."""
        start = len(self.lines)
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()
        return self.block(["probe: " + text], start)

    def quit(self):
        self.process.stdin.close()
        code = self.process.wait(timeout=15)
        self.reader.join()
        return code, self.lines[-3:]


def got_msg(sender, guid, me, others):
    """The block a copy prints for each message: the sender and its own connection list."""
    return (["Got msg from %s %s" % (sender, guid), "---", "Me %s: Connected to: (%d) " % (me, len(others))]
            + ["     %s " % g for g in others] + ["---"])


class NetTest(unittest.TestCase):
    def start(self, i, mode):
        probe = Probe(self.lan.hosts[i], mode, self.workdir.name)
        self.addCleanup(lambda: probe.process.poll() is None and probe.process.kill())
        probe.block(["probe: ready"])
        return probe

    def test_copies_connect_shots_carry_the_team_and_nothing_unreadable_does_harm(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.lan, self.workdir = Lan(3), tempfile.TemporaryDirectory()
        self.addCleanup(self.lan.close)
        self.addCleanup(self.workdir.cleanup)
        # A (team 1) starts and hears its own advertisement; B (team 2) starts, A hears it and connects.
        a = self.start(0, 2)
        ga = a.line("ID_ADVERTISE_SYSTEM Was sent from %s " % A).split()[-1]
        a.block(got_msg(A, ga, ga, []) + ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (A, ga)])
        b = self.start(1, 3)
        gb = b.line("ID_ADVERTISE_SYSTEM Was sent from %s " % B).split()[-1]
        a.block(got_msg(B, gb, ga, []) + ["ID_ADVERTISE_SYSTEM Connecting to new system %s %s" % (B, gb)]
                + got_msg(B, gb, ga, [gb]) + ["ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (B, gb),
                                               "peerConnected 1", "   new peer"])
        b.block(got_msg(A, ga, gb, [ga]) + ["ID_NEW_INCOMING_CONNECTION A connection is incoming. ",
                                            "peerConnected 1", "   new peer"])
        b.block(["probe: peerCount 1 connections 1"], b.command("count"))

        # Team 1's shot 5 hurts a player of team 2 with effect 5; 0 is no shot; 10000 and more cannot
        # carry a team.
        a.command("shoot 0")
        a.block(["W: (QEL::cApp::sendShot) shot 10000 is 10000 or more and cannot carry a team; not sent"],
                a.command("shoot 10000"))
        a.block(["", "QelPeer::shoot  10005, len = 5"], a.command("shoot 5"))
        b.block(got_msg(A, ga, gb, [ga]) + ["Got ID_SHOT : 10005", "gotshot 10005", "   E: incomingHit data1: 5 data2: 0",
                                            "ID_SHOT Was sent from %s %s" % (A, ga)])
        b.command("shoot 3")
        a.block(["Got ID_SHOT : 20003", "gotshot 20003", "   E: incomingHit data1: 3 data2: 0"])
        at = b.command("mode 2")  # the same team as A now: the peer keeps running, the shot hurts nobody
        a.command("shoot 6")
        b.block(["Got ID_SHOT : 10006", "gotshot 10006", "ID_SHOT Was sent from %s %s" % (A, ga)], at)

        # C (team 3) joins and sends the exact bytes of shot 15 (A's own shots were read by B above), then an
        # empty packet, unreadable shots (too short, a length past the end, not decimal, a line end,
        # past int32) and other identifiers (16, 133: a late hello, 99).
        c = self.start(2, 4)
        gc = c.line("ID_ADVERTISE_SYSTEM Was sent from %s " % C).split()[-1]
        for probe in (a, b, c):
            probe.block(["peerConnected 2"])
        at = len(a.lines)
        for hex_bytes in ["8400023135", "", "84", "8400053132", "8400023178", "8400030A0A0A", "84000A" + b"2147483648".hex(),
                          "10", "85" + "00" * 8, "63"]:
            c.command("raw " + hex_bytes)
        from_c = got_msg(C, gc, ga, [gb, gc])
        unreadable = from_c + ["Got ID_SHOT : ", "gotshot 0", "   Received message with ID 0 from peer? ignoring.",
                               "ID_SHOT Was sent from %s %s" % (C, gc)]
        a.block(from_c + ["Got ID_SHOT : 15", "gotshot 15", "   E: incomingHit data1: 15 data2: 0",
                          "ID_SHOT Was sent from %s %s" % (C, gc)] + unreadable * 5
                + sum((from_c + ["Message with identifier %d has arrived." % i] for i in (16, 133, 99)), []), at)

        # Shots that arrive while a weapon loads are dropped with a line.
        a.command("loading 1")
        c.command("shoot 7")
        a.block(["ID_SHOT Was IGNORED from %s %s" % (C, gc)])
        a.command("loading 0")

        # From port 40001 of C's namespace: a replay of B's advertisement (known: no second link), and
        # one of a copy nobody runs (A tries to connect, and gives up after 6 s).
        at = len(a.lines)
        send = ("import socket, sys; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(('', 40001)); "
                "[s.sendto(bytes.fromhex('1D51454C01%016X' % int(g)), (sys.argv[1], 54776)) for g in sys.argv[2:]]")
        self.assertEqual(subprocess.call(self.lan.hosts[2].wrap([sys.executable, "-c", send, Lan.address(0), gb, "77"])), 0)
        stray = "%s|40001" % Lan.address(2)
        a.block(["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (stray, gb)], at)
        a.block(["ID_ADVERTISE_SYSTEM Connecting to new system %s 77" % stray], at)
        a.block(["Got msg from %s 77" % stray] + from_c[1:] + ["Message with identifier 17 has arrived."], at)
        a.block(["probe: peerCount 2 connections 2"], a.command("count"))

        # Copies that leave, even cleanly, are lost peers.
        for probe, left in ((c, 1), (a, 0)):
            self.assertEqual(probe.quit(), (0, ["   shut off networking.", "   Changing multiplayer mode:1", "probe: done"]))
            b.block(["Message with identifier 21 has arrived.", "peerDiscon %d" % left, "   lost peer"])
        self.assertEqual(b.quit()[0], 0)
        self.assertEqual([p.lines.count("Starting the peer. port 54776") for p in (a, b, c)], [1, 1, 1])
        self.assertNotIn("QelPeer::shoot  0, len = 1", a.lines)

    def test_a_copy_whose_link_dropped_finds_the_others_again(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.lan, self.workdir = Lan(2), tempfile.TemporaryDirectory()
        self.addCleanup(self.lan.close)
        self.addCleanup(self.workdir.cleanup)
        a, b = self.start(0, 2), self.start(1, 3)
        for probe in (a, b):
            probe.block(["peerConnected 1", "   new peer"])
        # Both sides time the link out (ENet takes 5 to 30 s), then the repeated advertisements
        # bring them together again once the link is back.
        b_link = self.lan.hosts[1]
        b_link.ip("link", "set", "eth0", "down")
        at = [probe.block(["ID_CONNECTION_LOST A peer has lost the connection.", "peerDiscon 0", "   lost peer"],
                          timeout=45) for probe in (a, b)]
        b_link.ip("link", "set", "eth0", "up")
        b_link.ip("route", "add", "default", "dev", "eth0")
        for probe, start in zip((a, b), at):
            probe.block(["peerConnected 1", "   new peer"], start, timeout=15)
        a.command("shoot 5")
        b.block(["Got ID_SHOT : 10005", "gotshot 10005"], at[1])
        for probe in (a, b):
            self.assertEqual(probe.quit()[0], 0)


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "--probe":
        PROBE = os.path.abspath(sys.argv.pop(2))
        sys.argv.pop(1)
    if os.geteuid() != 0:
        print("network namespaces need root: skipped")
        sys.exit(77)
    unittest.main()
