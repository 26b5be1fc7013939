#!/usr/bin/env python3
"""Real copies on one local network: each net_probe runs in a network namespace of its own,
joined by veth pairs to a bridge that lives in yet another namespace. Nothing is created in this
machine's own namespace, and everything made here is removed again, also when a test fails or
the run is interrupted.

    test_net_hosts.py [--probe PATH] [unittest arguments]

Needs root (ip netns); without it every test is skipped and the exit status is 77.
"""

import os
import queue
import random
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
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
        env = dict(os.environ, SDL_AUDIODRIVER="dummy")
        self.process = subprocess.Popen(network.wrap(i, [PROBE, str(mode)]), cwd=self.workdir, env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True, bufsize=1)
        self.lines = []
        self.arrived = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.stderr_text = ""
        self.wait_for_line("probe: ready")

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))
            self.arrived.put(None)

    def send(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def wait_for_line(self, text, start=0, timeout=TIMEOUT):
        """Index of the first line equal to `text` at or after `start`."""
        deadline = time.monotonic() + timeout
        while True:
            for index in range(start, len(self.lines)):
                if self.lines[index] == text:
                    return index
            remaining = deadline - time.monotonic()
            if remaining <= 0 or self.process.poll() is not None and not self.reader.is_alive():
                ended = self.process.poll()
                raise AssertionError("no line %r; output so far:\n%s%s" % (
                    text, "\n".join(self.lines),
                    "" if ended is None else "\n(ended with %d: %s)" % (ended, self.process.stderr.read())))
            try:
                self.arrived.get(timeout=min(remaining, 0.2))
            except queue.Empty:
                pass

    def wait_for_prefix(self, prefix, start=0, timeout=TIMEOUT):
        """Index of the first line starting with `prefix` at or after `start`."""
        deadline = time.monotonic() + timeout
        while True:
            for index in range(start, len(self.lines)):
                if self.lines[index].startswith(prefix):
                    return index
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("no line starting %r; output so far:\n%s" % (prefix, "\n".join(self.lines)))
            try:
                self.arrived.get(timeout=min(remaining, 0.2))
            except queue.Empty:
                pass

    def line(self, index, timeout=TIMEOUT):
        """Line `index`, once it has arrived."""
        deadline = time.monotonic() + timeout
        while len(self.lines) <= index:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("no line %d; output so far:\n%s" % (index, "\n".join(self.lines)))
            try:
                self.arrived.get(timeout=min(remaining, 0.2))
            except queue.Empty:
                pass
        return self.lines[index]

    def advertised_guid(self, address, start=0):
        """The GUID of this copy's own advertisement, which it hears and leaves alone."""
        line = self.lines[self.wait_for_prefix("ID_ADVERTISE_SYSTEM Was sent from %s " % address, start)]
        return line.rsplit(" ", 1)[1]

    def command(self, text):
        """Sends a command and returns the index of its echo line."""
        start = len(self.lines)
        self.send(text)
        return self.wait_for_line("probe: " + text, start)

    def quit(self):
        if self.process.poll() is None:
            self.send("quit")
        try:
            code = self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
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
            except OSError:
                pass



def connection_list(me, others):
    return ["---", "Me %s: Connected to: (%d) " % (me, len(others))] + ["     %s " % g for g in others] + ["---"]


class NetTestCase(unittest.TestCase):
    HOSTS = 2

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.network = Network(self.HOSTS)
        self.addCleanup(self.network.close)
        self.probes = []

    def start(self, i, mode):
        probe = Probe(self.network, i, mode)
        self.probes.append(probe)
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

    def assertQuitsCleanly(self, probe):
        self.assertEqual(probe.quit(), 0, probe.stderr_text)
        self.assertEqual(probe.lines[-3:], ["   shut off networking.", "   Changing multiplayer mode:1", "probe: done"])

    def connect_pair(self, mode_a=2, mode_b=3):
        """A starts, then B; A hears B's advertisement and connects. Returns (a, b, guid a, guid b)."""
        a = self.start(0, mode_a)
        a_address = "%s|%d" % (Network.address(0), PORT)
        b_address = "%s|%d" % (Network.address(1), PORT)
        # Each hears its own advertisement and leaves it alone.
        ga = a.advertised_guid(a_address)
        self.assertBlock(a, ["Got msg from %s %s" % (a_address, ga)] + connection_list(ga, [])
                         + ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (a_address, ga)])
        b = self.start(1, mode_b)
        gb = b.advertised_guid(b_address)
        self.assertBlock(a, ["Got msg from %s %s" % (b_address, gb)] + connection_list(ga, [])
                         + ["ID_ADVERTISE_SYSTEM Connecting to new system %s %s" % (b_address, gb)])
        self.assertBlock(a, ["Got msg from %s %s" % (b_address, gb)] + connection_list(ga, [gb])
                         + ["ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (b_address, gb),
                            "peerConnected 1", "   new peer"])
        self.assertBlock(b, ["Got msg from %s %s" % (a_address, ga)] + connection_list(gb, [ga])
                         + ["ID_NEW_INCOMING_CONNECTION A connection is incoming. ",
                            "peerConnected 1", "   new peer"])
        return a, b, ga, gb


class TwoCopies(NetTestCase):
    def test_later_copy_is_found_connected_and_counted(self):
        a, b, ga, gb = self.connect_pair()
        for probe in (a, b):
            at = probe.command("count")
            self.assertEqual(probe.line(at + 1), "probe: peerCount 1 connections 1")
        # Neither ever tries to connect to itself.
        for probe, guid in ((a, ga), (b, gb)):
            self.assertFalse([l for l in probe.lines if l.startswith("ID_ADVERTISE_SYSTEM Connecting") and l.endswith(guid)])
        self.assertEqual(sum(l.startswith("ID_ADVERTISE_SYSTEM Connecting") for l in b.lines), 0)

    def test_shots_carry_the_team_and_a_team_mate_is_not_hurt(self):
        a, b, ga, gb = self.connect_pair(mode_a=2, mode_b=3)
        a_address = "%s|%d" % (Network.address(0), PORT)
        b_address = "%s|%d" % (Network.address(1), PORT)

        start = a.command("shoot 5")
        self.assertEqual([a.line(start + 1), a.line(start + 2)], ["", "QelPeer::shoot  10005, len = 5"])
        after = self.assertBlock(b, ["Got msg from %s %s" % (a_address, ga)] + connection_list(gb, [ga])
                                 + ["Got ID_SHOT : 10005", "gotshot 10005"])
        # Team 1's shot 5 hurts a player of team 2: the hit of effect 5 is logged.
        self.assertTrue(b.line(after).startswith("   E: incomingHit data1: 5 data2: "), b.lines[after:])
        self.assertEqual(b.line(after + 1), "ID_SHOT Was sent from %s %s" % (a_address, ga))

        b.command("mode 2")  # now the same team as A
        start = len(b.lines)
        a.command("shoot 6")
        after = self.assertBlock(b, ["Got ID_SHOT : 10006", "gotshot 10006",
                                     "ID_SHOT Was sent from %s %s" % (a_address, ga)], start)

        start = len(a.lines)
        b.command("shoot 7")  # team 1 to team 1
        self.assertBlock(a, ["Got ID_SHOT : 10007", "gotshot 10007",
                             "ID_SHOT Was sent from %s %s" % (b_address, gb)], start)

        a.command("mode 0")  # open play: sends untagged, hurt by everyone
        start = len(b.lines)
        a.command("shoot 8")
        after = self.assertBlock(b, ["Got ID_SHOT : 8", "gotshot 8"], start)
        self.assertTrue(b.line(after).startswith("   E: incomingHit data1: 8 data2: "), b.lines[after:])

        # A number that cannot carry a team is not sent.
        start = a.command("shoot 12000")
        a.command("count")
        self.assertTrue(a.line(start + 1).startswith("W: (QEL::cApp::sendShot) shot 12000 is 10000 or more"))
        self.assertNotIn("QelPeer::shoot  12000, len = 5", a.lines)

        incoming_hits = [l for l in b.lines if "incomingHit" in l]
        self.assertEqual(len(incoming_hits), 2, b.lines)

    def test_a_copy_that_leaves_cleanly_is_a_lost_peer(self):
        a, b, ga, gb = self.connect_pair()
        a_address = "%s|%d" % (Network.address(0), PORT)
        self.assertQuitsCleanly(a)
        self.assertBlock(b, ["Got msg from %s %s" % (a_address, ga)] + connection_list(gb, [])
                         + ["Message with identifier 21 has arrived.", "peerDiscon 0", "   lost peer"])
        at = b.command("count")
        self.assertEqual(b.line(at + 1), "probe: peerCount 0 connections 0")
        self.assertQuitsCleanly(b)

    def test_networking_off_and_on_again_reconnects_as_a_new_copy(self):
        a, b, ga, gb = self.connect_pair()
        b_address = "%s|%d" % (Network.address(1), PORT)
        b.command("mode 1")
        self.assertBlock(a, ["Message with identifier 21 has arrived.", "peerDiscon 0", "   lost peer"])
        start = b.command("mode 3")
        self.assertEqual(b.line(start + 1), "Starting the peer. port 54776")
        gb2 = b.advertised_guid(b_address, start)
        self.assertNotEqual(gb2, gb)
        self.assertBlock(a, ["ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (b_address, gb2), "peerConnected 1", "   new peer"])
        self.assertBlock(b, ["ID_NEW_INCOMING_CONNECTION A connection is incoming. ", "peerConnected 1", "   new peer"], start)


HOSTILE_SENDER = r"""
import os, random, socket, sys, time
target, port, guid = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
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
time.sleep(1.0)  # after the flood has drained, so that it is not lost with it
send(bytes([29, 0x51, 0x45, 0x4C, 1]) + guid.to_bytes(8, "big"))
"""


class HostileTraffic(NetTestCase):
    HOSTS = 3

    def test_garbage_and_malformed_shots_do_no_harm(self):
        a, b, ga, gb = self.connect_pair(mode_a=2, mode_b=3)
        a_address = "%s|%d" % (Network.address(0), PORT)
        c_address = "%s|%d" % (Network.address(2), PORT)

        # Raw datagrams of every kind from the third host; then a replayed advertisement of B.
        marker = len(a.lines)
        sender = subprocess.run(self.network.wrap(2, [sys.executable, "-c", HOSTILE_SENDER, Network.address(0),
                                                      str(PORT), str(int(gb))]), stderr=subprocess.PIPE, text=True)
        self.assertEqual(sender.returncode, 0, sender.stderr)
        # The flood itself prints nothing; the replayed advertisement is known and not connected to;
        # B's next shot still arrives.
        b.command("shoot 3")
        replayer = "%s|40001" % Network.address(2)
        b_address = "%s|%d" % (Network.address(1), PORT)
        end = self.assertBlock(a, ["Got ID_SHOT : 20003", "gotshot 20003"], marker)
        self.assertEqual(a.lines[marker:end],
                         ["Got msg from %s %s" % (replayer, gb)] + connection_list(ga, [gb])
                         + ["ID_ADVERTISE_SYSTEM Was sent from %s %s" % (replayer, gb)]
                         + ["Got msg from %s %s" % (b_address, gb)] + connection_list(ga, [gb])
                         + ["Got ID_SHOT : 20003", "gotshot 20003"])

        # A third copy joins and sends malformed shots over a real connection.
        c = self.start(2, 0)
        gc = c.advertised_guid(c_address)
        for probe in (a, b):
            probe.wait_for_line("ID_CONNECTION_REQUEST_ACCEPTED by: %s %s " % (c_address, gc))
            probe.wait_for_line("peerConnected 2")
        c.wait_for_line("peerConnected 2")
        marker = len(a.lines)
        malformed = ["", "84", "8400", "84000531 32", "84FFFF31", "8400030A0A0A", "8400023178", "84000B3130303030303030303030",
                     "10", "13", "85" + "00" * 8, "63"]
        for hex_bytes in malformed:
            c.command("raw " + hex_bytes.replace(" ", ""))
        end = self.assertBlock(a, ["Message with identifier 99 has arrived."], marker)
        shot_block = ["Got msg from %s %s" % (c_address, gc)] + connection_list(ga, [gb, gc]) + [
            "Got ID_SHOT : ", "gotshot 0", "   Received message with ID 0 from peer? ignoring.",
            "ID_SHOT Was sent from %s %s" % (c_address, gc)]

        def other(identifier):
            return ["Got msg from %s %s" % (c_address, gc)] + connection_list(ga, [gb, gc]) + [
                "Message with identifier %d has arrived." % identifier]
        # The empty packet says nothing; each unreadable shot is shot 0; other identifiers get the
        # generic line (connection events never come from a copy's data).
        expected = shot_block * 7 + other(16) + other(19) + other(133) + other(99)
        self.assertEqual(a.lines[marker:end], expected)

        # Still working and still counting: B's next shot reaches A, and everyone leaves cleanly.
        start = len(a.lines)
        b.command("shoot 4")
        self.assertBlock(a, ["Got ID_SHOT : 20004", "gotshot 20004"], start)
        for probe in (c, b, a):
            self.assertQuitsCleanly(probe)


def main():
    global PROBE
    args = sys.argv[1:]
    if len(args) >= 2 and args[0] == "--probe":
        PROBE = os.path.abspath(args[1])
        args = args[2:]
    PROBE = os.path.abspath(PROBE) if PROBE else PROBE
    if not PROBE:
        sys.exit("give the net_probe binary with --probe or KABLIX_NET_PROBE")
    if os.geteuid() != 0:
        print("network namespaces need root: skipped")
        sys.exit(77)
    # A signal ends the run through the normal clean-ups.
    signal.signal(signal.SIGTERM, lambda *unused: sys.exit(1))
    unittest.main(argv=[sys.argv[0]] + args)


if __name__ == "__main__":
    main()
