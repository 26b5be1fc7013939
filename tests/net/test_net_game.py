#!/usr/bin/env python3
"""The real game on a real (namespaced) network: two copies, each under its own X server, in
namespaces joined by a bridge (test_net_hosts.Network). Copy A takes up the demo pack's pulsar in
single mode, whose shot frame sends shot number 5; B plays in another team or the same one. A
third namespace floods A's port while it runs. Needs root and the demo pack next to the binary.
"""

import os
import re
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kablix_e2e import Game, HarnessError, XServer, demo_pack  # noqa: E402
from test_net_hosts import HOSTILE_SENDER, PORT, Network  # noqa: E402

PULSAR_DAMAGE = range(10, 17)  # effect 5: dMin 10, dMax 16


class HostOf:
    """One host namespace of a Network, shaped as the harness's netns argument."""

    def __init__(self, network, i):
        self.network, self.i = network, i

    def wrap(self, command):
        return self.network.wrap(self.i, command)


class NetGameTest(unittest.TestCase):
    HOSTS = 2

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        self.network = Network(self.HOSTS)
        self.addCleanup(self.network.close)

    def game(self, i, args=()):
        x = XServer()
        self.addCleanup(x.close)
        assets, catalogue = demo_pack()
        game = Game(x, catalogue=catalogue, assets=assets, args=args, netns=HostOf(self.network, i))
        self.addCleanup(game.close)
        game.start()
        game.wait_for_window()
        game.wait_for_stdout("   E: switchedMode data1: ")  # the weapon is in hand
        return game

    def connect(self, a, key_a, mode_a, b, key_b, mode_b):
        a.key(key_a)
        a.wait_for_stdout("   Changing multiplayer mode:%d\n" % mode_a)
        b.key(key_b)
        b.wait_for_stdout("   Changing multiplayer mode:%d\n" % mode_b)
        for game in (a, b):
            game.wait_for_stdout("peerConnected 1\n   new peer\n")

    def fire_until_sent(self, game, tagged):
        """Fires until the weapon's shot went out as `tagged` (an intro may swallow the first). In a
        team mode a press on the screen belongs to the dodge strip, so the shake binding fires."""
        line = "\nQelPeer::shoot  %d, len = %d\n" % (tagged, len(str(tagged)))
        game.key("F3")
        game.wait_for_stdout("ON SHAKE:  FIRE\n")
        for attempt in range(8):
            game.key("minus")
            try:
                return game.wait_for_stdout(line, timeout=2.0)
            except HarnessError:
                continue
        self.fail("no shot sent; stdout:\n" + game.stdout())

    def quit(self, game):
        game.key("Escape")
        self.assertEqual(game.wait(), 0, game.stderr())
        # After the scores are saved, networking goes off with its lines.
        out = game.stdout()
        self.assertIn("   Saving scores...", out)
        self.assertIn("   shut off networking.\n   Changing multiplayer mode:1\n", out[out.index("   Saving scores..."):])


class TwoGames(NetGameTest):
    def test_team_one_shot_hurts_team_two_with_the_damage_of_its_effect(self):
        a = self.game(0, ["pulsar"])
        b = self.game(1)
        a.key("space")  # the pulsar starts in burst; single fire sends shot 5
        a.wait_for_stdout("   E: switchedMode data1: 0 ")
        self.connect(a, "KP_1", 2, b, "KP_2", 3)
        self.fire_until_sent(a, 10005)
        b.wait_for_stdout("gotshot 10005\n")
        hit = re.search(r"gotshot 10005\n   E: incomingHit data1: 5 data2: (\d+)\n", b.stdout())
        self.assertIsNotNone(hit, b.stdout()[-1500:])
        self.assertIn(int(hit.group(1)), PULSAR_DAMAGE)

        # Now in the same team: the shot arrives and hurts nobody.
        b.key("KP_1")
        b.wait_for_stdout("   Changing multiplayer mode:2\n")
        before = b.stdout().count("E: incomingHit")
        self.fire_until_sent(a, 10005)
        _wait(lambda: b.stdout().count("gotshot 10005\n") >= 2, "the second shot on B")
        time.sleep(0.3)
        self.assertEqual(b.stdout().count("E: incomingHit"), before)

        self.quit(a)
        b.wait_for_stdout("Message with identifier 21 has arrived.\npeerDiscon 0\n   lost peer\n")
        self.quit(b)


class GameUnderFire(NetGameTest):
    HOSTS = 3

    def test_garbage_on_the_port_leaves_the_game_drawing_and_silent(self):
        a = self.game(0)
        b = self.game(1)
        self.connect(a, "KP_1", 2, b, "KP_0", 0)
        mark = len(a.stdout())
        sender = subprocess.run(self.network.wrap(2, [sys.executable, "-c", HOSTILE_SENDER, Network.address(0), str(PORT),
                                                      "1"]), stderr=subprocess.PIPE, text=True)
        self.assertEqual(sender.returncode, 0, sender.stderr)
        time.sleep(0.5)
        # The replayed advertisement names a GUID nobody has: A tries to connect, and gives up.
        flood = a.stdout()[mark:]
        self.assertNotIn("gotshot", flood)
        self.assertNotIn("peerConnected", flood)
        self.assertNotIn("Message with identifier", flood.replace("Message with identifier 17 has arrived.", ""))
        # Still drawing: a screenshot is taken by the running loop.
        width, height = a.screenshot()[:2]
        self.assertEqual((width, height), (568, 320))
        self.quit(a)
        self.quit(b)


def _wait(predicate, what, timeout=20.0):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


if __name__ == "__main__":
    # A signal ends the run through the normal clean-ups, which remove the namespaces.
    signal.signal(signal.SIGTERM, lambda *unused: sys.exit(1))
    unittest.main()
