#!/usr/bin/env python3
"""Real copies on one local network: each net_probe runs in a network namespace of its own,
joined by veth pairs to a bridge that lives in yet another namespace. Nothing is created in this
machine's own namespace, and everything made here is removed again, also when a test fails or
the run is interrupted.

    test_net_hosts.py [--probe PATH] [unittest arguments]

Needs root (ip netns); without it every test is skipped and the exit status is 77.
"""

import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

PROBE = os.environ.get("KABLIX_NET_PROBE", "")
PORT = 54776
SUBNET = "10.213.77."
TIMEOUT = 15.0


def _ip(*args, check=True):
    return subprocess.run(["ip"] + list(args), check=check, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True)


def remove_stale_namespaces():
    """Namespaces of earlier runs that were killed before they could clean up (kbxnet<pid>-…,
    kbxnet-<pid>) are removed once their process is gone."""
    listed = _ip("netns", "list", check=False).stdout
    for name, pid in re.findall(r"^(kbxnet-?(\d+)\S*)", listed, re.M):
        try:
            os.kill(int(pid), 0)
        except ProcessLookupError:
            _ip("netns", "delete", name, check=False)
        except PermissionError:
            pass


class Network:
    """`hosts` namespaces, host i at SUBNET + (i + 1), all on one bridge in its own namespace."""

    def __init__(self, hosts):
        remove_stale_namespaces()
        tag = "kbxnet%d-%d" % (os.getpid(), random.randrange(100000))
        self.bridge_ns = tag + "-br"
        self.hosts = [tag + "-h%d" % i for i in range(hosts)]
        self.created = []
        try:
            self._build()
        except BaseException:
            self.close()
            raise

    def _add_namespace(self, name):
        _ip("netns", "add", name)
        self.created.append(name)
        _ip("-n", name, "link", "set", "lo", "up")

    def _build(self):
        self._add_namespace(self.bridge_ns)
        _ip("-n", self.bridge_ns, "link", "add", "br0", "type", "bridge")
        _ip("-n", self.bridge_ns, "link", "set", "br0", "up")
        for i, host in enumerate(self.hosts):
            self._add_namespace(host)
            # Both ends are born inside namespaces: `ip -n` makes the pair in the bridge's.
            _ip("-n", self.bridge_ns, "link", "add", "port%d" % i, "type", "veth",
                "peer", "name", "eth0", "netns", host)
            _ip("-n", self.bridge_ns, "link", "set", "port%d" % i, "master", "br0", "up")
            _ip("-n", host, "addr", "add", self.address(i) + "/24", "dev", "eth0")
            _ip("-n", host, "link", "set", "eth0", "up")
            # The limited broadcast 255.255.255.255 needs a route to leave by.
            _ip("-n", host, "route", "add", "default", "dev", "eth0")

    @staticmethod
    def address(i):
        return SUBNET + str(i + 1)

    def wrap(self, i, command):
        return ["ip", "netns", "exec", self.hosts[i]] + list(command)

    def close(self):
        # Removing a namespace removes its end of each veth pair, and with it the pair.
        for name in reversed(self.created):
            _ip("netns", "delete", name, check=False)
        self.created = []


class Probe:
    """One net_probe in host namespace `i`, started in `mode`; its standard output is collected."""

    def __init__(self, network, i, mode):
        self.workdir = tempfile.mkdtemp(prefix="kbxprobe")
        self.process = subprocess.Popen(network.wrap(i, [PROBE, str(mode)]), cwd=self.workdir,
                                        env=dict(os.environ, SDL_AUDIODRIVER="dummy"), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)
        self.lines = []
        self.reader = threading.Thread(target=lambda: self.lines.extend(l.rstrip("\n") for l in self.process.stdout),
                                       daemon=True)
        self.reader.start()
        self.stderr_text = ""
        self.wait_for_line("probe: ready")

    def _wait(self, find, what):
        """Waits until `find()` gives something other than None and returns it."""
        deadline = time.monotonic() + TIMEOUT
        while True:
            found = find()
            if found is not None:
                return found
            if time.monotonic() > deadline or not self.reader.is_alive():
                raise AssertionError("no %s; output so far:\n%s\n(stderr: %s)" % (
                    what, "\n".join(self.lines), self.process.stderr.read() if not self.reader.is_alive() else "-"))
            time.sleep(0.02)

    def wait_for_line(self, text, start=0, prefix=False):
        """Index of the first line equal to (or with `prefix`, starting with) `text` at or after `start`."""
        def find():
            return next((i for i in range(start, len(self.lines))
                         if self.lines[i] == text or prefix and self.lines[i].startswith(text)), None)
        return self._wait(find, "line %r" % text)

    def line(self, index):
        """Line `index`, once it has arrived."""
        return self._wait(lambda: self.lines[index] if index < len(self.lines) else None, "line %d" % index)

    def advertised_guid(self, address, start=0):
        """The GUID of this copy's own advertisement, which it hears and leaves alone."""
        line = self.lines[self.wait_for_line("ID_ADVERTISE_SYSTEM Was sent from %s " % address, start, prefix=True)]
        return line.rsplit(" ", 1)[1]

    def command(self, text):
        """Sends a command and returns the index of its echo line."""
        start = len(self.lines)
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()
        return self.wait_for_line("probe: " + text, start)

    def quit(self):
        self.process.stdin.write("quit\n")
        self.process.stdin.close()
        try:
            code = self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            code = None
        self.reader.join(timeout=5)
        self.stderr_text = self.process.stderr.read()
        return code

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for stream in (self.process.stdin, self.process.stdout, self.process.stderr):
            try:
                stream.close()
            except (OSError, ValueError):
                pass
        shutil.rmtree(self.workdir, ignore_errors=True)


# Each host's address as the copies print it.
A, B, C = ("%s%d|%d" % (SUBNET, i + 1, PORT) for i in range(3))


def got_msg(sender, guid, me, others):
    """The block a copy prints for each message: the sender and its own connection list."""
    return (["Got msg from %s %s" % (sender, guid), "---", "Me %s: Connected to: (%d) " % (me, len(others))]
            + ["     %s " % g for g in others] + ["---"])


class NetTestCase(unittest.TestCase):
    HOSTS = 2

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.network = Network(self.HOSTS)
        self.addCleanup(self.network.close)

    def start(self, i, mode):
        probe = Probe(self.network, i, mode)
        self.addCleanup(probe.kill)
        return probe

    def assertBlock(self, probe, block, start=0):
        """`block` appears as consecutive lines of the probe's output at or after `start`;
        returns the index after it."""
        first = probe.wait_for_line(block[0], start)
        while True:
            probe.line(first + len(block) - 1)
            if probe.lines[first:first + len(block)] == block:
                return first + len(block)
            first = probe.wait_for_line(block[0], first + 1)

    def assertCount(self, probe, peers):
        at = probe.command("count")
        self.assertEqual(probe.line(at + 1), "probe: peerCount %d connections %d" % (peers, peers))

    def assertQuitsCleanly(self, probe):
        self.assertEqual(probe.quit(), 0, probe.stderr_text)
        self.assertEqual(probe.lines[-3:], ["   shut off networking.", "   Changing multiplayer mode:1", "probe: done"])

    def connect_pair(self, mode_a=2, mode_b=3):
        """A starts, then B; A hears B's advertisement and connects. Returns (a, b, guid a, guid b)."""
        a = self.start(0, mode_a)
        # Each hears its own advertisement and leaves it alone.
        ga = a.advertised_guid(A)
        self.assertBlock(a, got_msg(A, ga, ga, []) + ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (A, ga)])
        b = self.start(1, mode_b)
        gb = b.advertised_guid(B)
        self.assertBlock(a, got_msg(B, gb, ga, []) + ["ID_ADVERTISE_SYSTEM Connecting to new system %s %s" % (B, gb)])
        self.assertBlock(a, got_msg(B, gb, ga, [gb]) + ["ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (B, gb),
                                                         "peerConnected 1", "   new peer"])
        self.assertBlock(b, got_msg(A, ga, gb, [ga]) + ["ID_NEW_INCOMING_CONNECTION A connection is incoming. ",
                                                         "peerConnected 1", "   new peer"])
        return a, b, ga, gb


class TwoCopies(NetTestCase):
    def test_later_copy_is_found_and_shots_carry_the_team(self):
        a, b, ga, gb = self.connect_pair(mode_a=2, mode_b=3)
        for probe in (a, b):
            self.assertCount(probe, 1)
        # Only A connects, and never to itself.
        self.assertEqual([l for l in a.lines + b.lines if l.startswith("ID_ADVERTISE_SYSTEM Connecting")],
                         ["ID_ADVERTISE_SYSTEM Connecting to new system %s %s" % (B, gb)])

        start = a.command("shoot 5")
        self.assertEqual([a.line(start + 1), a.line(start + 2)], ["", "QelPeer::shoot  10005, len = 5"])
        after = self.assertBlock(b, got_msg(A, ga, gb, [ga]) + ["Got ID_SHOT : 10005", "gotshot 10005"])
        # Team 1's shot 5 hurts a player of team 2: the hit of effect 5 is logged.
        self.assertTrue(b.line(after).startswith("   E: incomingHit data1: 5 data2: "), b.lines[after:])
        self.assertEqual(b.line(after + 1), "ID_SHOT Was sent from %s %s" % (A, ga))

        b.command("mode 2")  # now the same team as A: the shot arrives and hurts nobody
        start = len(b.lines)
        a.command("shoot 6")
        self.assertBlock(b, ["Got ID_SHOT : 10006", "gotshot 10006", "ID_SHOT Was sent from %s %s" % (A, ga)], start)
        self.assertEqual(len([l for l in b.lines if "incomingHit" in l]), 1, b.lines)

    def test_a_copy_that_leaves_is_a_lost_peer_and_comes_back_as_a_new_copy(self):
        a, b, ga, gb = self.connect_pair()
        lost = ["Message with identifier 21 has arrived.", "peerDiscon 0", "   lost peer"]
        b.command("mode 1")
        self.assertBlock(a, lost)
        start = b.command("mode 3")
        self.assertEqual(b.line(start + 1), "Starting the peer. port 54776")
        gb2 = b.advertised_guid(B, start)
        self.assertNotEqual(gb2, gb)
        self.assertBlock(a, ["ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (B, gb2), "peerConnected 1", "   new peer"])
        self.assertBlock(b, ["ID_NEW_INCOMING_CONNECTION A connection is incoming. ", "peerConnected 1", "   new peer"],
                         start)
        # A clean shutdown is seen as a lost peer too.
        self.assertQuitsCleanly(a)
        self.assertBlock(b, got_msg(A, ga, gb2, []) + lost)
        self.assertCount(b, 0)
        self.assertQuitsCleanly(b)


HOSTILE_SENDER = r"""
import os, random, socket, sys, time
target, port, guid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
parts = sys.argv[4] if len(sys.argv) > 4 else "flood,replay"
rng = random.Random(1234)
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 40001))
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
def send(data, to=target):
    try:
        s.sendto(data, (to, port))
    except OSError:
        pass
if "flood" in parts:
    for i in range(3000):
        send(bytes(rng.getrandbits(8) for _ in range(rng.randrange(1, 1400))))
    for i in range(200):
        send(b"")
    for i in range(50):
        send(os.urandom(5000))  # larger than any datagram the host reads
    for i in range(500):  # shots without any connection around them
        n = rng.randrange(0, 40)
        send(bytes([0x84, rng.getrandbits(8), rng.getrandbits(8)]) + os.urandom(n))
    for i in range(300):  # advertisements with a wrong mark or length
        send(bytes([29]) + os.urandom(rng.choice([0, 4, 12, 13, 20])))
        send(bytes([29, 0x51, 0x45, 0x4C, 2]) + os.urandom(8))
    for i in range(200):
        send(os.urandom(rng.randrange(1, 64)), "255.255.255.255")
# A replay of a connected copy's advertisement from another address: already known, no connect.
if "replay" in parts:
    if "flood" in parts:
        time.sleep(1.0)  # after the flood has drained, so that it is not lost with it
    send(bytes([29, 0x51, 0x45, 0x4C, 1]) + guid.to_bytes(8, "big"))
"""


class HostileTraffic(NetTestCase):
    HOSTS = 3

    def test_garbage_and_malformed_shots_do_no_harm(self):
        a, b, ga, gb = self.connect_pair(mode_a=2, mode_b=3)

        # Raw datagrams of every kind from the third host print nothing: B's next shot, queued behind
        # them, is the next thing A prints. Then a replayed advertisement of B is known and not
        # connected to.
        def hostile(parts):
            sender = subprocess.run(self.network.wrap(2, [sys.executable, "-c", HOSTILE_SENDER, Network.address(0),
                                                          str(PORT), str(int(gb)), parts]),
                                    stderr=subprocess.PIPE, text=True)
            self.assertEqual(sender.returncode, 0, sender.stderr)
        marker = len(a.lines)
        hostile("flood")
        b.command("shoot 3")
        self.assertBlock(a, ["Got ID_SHOT : 20003", "gotshot 20003"], marker)
        hostile("replay")
        replayer = "%s|40001" % Network.address(2)
        end = self.assertBlock(a, ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (replayer, gb)], marker)
        self.assertEqual(a.lines[marker:end],
                         got_msg(B, gb, ga, [gb]) + ["Got ID_SHOT : 20003", "gotshot 20003",
                                                     "   E: incomingHit data1: 3 data2: 0",
                                                     "ID_SHOT Was sent from %s %s" % (B, gb)]
                         + got_msg(replayer, gb, ga, [gb]) + ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (replayer, gb)])

        # A third copy joins and sends malformed shots over a real connection.
        c = self.start(2, 0)
        gc = c.advertised_guid(C)
        for probe in (a, b):
            probe.wait_for_line("ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (C, gc))
            probe.wait_for_line("peerConnected 2")
        c.wait_for_line("peerConnected 2")
        marker = len(a.lines)
        malformed = ["", "84", "8400", "8400053132", "84FFFF31", "8400030A0A0A", "8400023178",
                     "84000B3130303030303030303030", "10", "13", "85" + "00" * 8, "63"]
        for hex_bytes in malformed:
            c.command("raw " + hex_bytes)
        end = self.assertBlock(a, ["Message with identifier 99 has arrived."], marker)
        from_c = got_msg(C, gc, ga, [gb, gc])
        shot_block = from_c + ["Got ID_SHOT : ", "gotshot 0", "   Received message with ID 0 from peer? ignoring.",
                               "ID_SHOT Was sent from %s %s" % (C, gc)]
        # The empty packet says nothing; each unreadable shot is shot 0; other identifiers get the
        # generic line (connection events never come from a copy's data).
        expected = shot_block * 7 + sum((from_c + ["Message with identifier %d has arrived." % identifier]
                                         for identifier in (16, 19, 133, 99)), [])
        self.assertEqual(a.lines[marker:end], expected)

        # Still working and still counting: B's next shot reaches A, and everyone leaves cleanly.
        start = len(a.lines)
        b.command("shoot 4")
        self.assertBlock(a, ["Got ID_SHOT : 20004", "gotshot 20004"], start)
        for probe in (c, b, a):
            self.assertQuitsCleanly(probe)


def main():
    global PROBE
    if len(sys.argv) > 2 and sys.argv[1] == "--probe":
        PROBE = sys.argv[2]
        del sys.argv[1:3]
    if not PROBE:
        sys.exit("give the net_probe binary with --probe or KABLIX_NET_PROBE")
    PROBE = os.path.abspath(PROBE)
    if os.geteuid() != 0:
        print("network namespaces need root: skipped")
        sys.exit(77)
    # A signal ends the run through the normal clean-ups.
    signal.signal(signal.SIGTERM, lambda *unused: sys.exit(1))
    unittest.main()


if __name__ == "__main__":
    main()
