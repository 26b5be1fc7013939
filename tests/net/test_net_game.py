"""The real game on a real (namespaced) network: two copies, each under its own X server, on one
bridge (kablix_e2e.Lan). Needs root and the demo pack next to the binary."""

import os
import re
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, HarnessError, Lan, XServer, _wait_until, demo_pack  # noqa: E402


def badge_pixels(screenshot):
    """White pixels in the top right corner, where the network badge goes."""
    _, _, n, rows = screenshot
    return sum(1 for row in rows[:24] for x in range(400, 568) if min(row[x * n:x * n + 3]) > 200)


class NetGameTest(unittest.TestCase):
    def game(self, host, args=()):
        x = XServer()
        self.addCleanup(x.close)
        assets, catalogue = demo_pack()
        game = Game(x, catalogue=catalogue, assets=assets, args=args, netns=host)
        self.addCleanup(game.close)
        game.start().wait_for_window()
        game.wait_for_stdout("   E: switchedMode data1: ")  # the weapon is in hand
        return game

    def fire(self, game, line):
        """Clicks until `line` is on standard output once more (an intro may swallow the first presses)."""
        seen = game.stdout().count(line)
        for _ in range(8):
            game.click(400, 200)
            try:
                return _wait_until(lambda: game.stdout().count(line) > seen, 2.0, repr(line))
            except HarnessError:
                pass
        self.fail("no %r; stdout:\n%s" % (line, game.stdout()))

    def test_team_one_shot_hurts_team_two_and_waits_for_a_peer_but_not_from_offline_or_the_strip(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        lan = Lan(2)
        self.addCleanup(lan.close)
        a, b = self.game(lan.hosts[0], ["pulsar"]), self.game(lan.hosts[1])
        a.key("space")  # the pulsar starts in burst; single fire sends shot 5
        a.wait_for_stdout("   E: switchedMode data1: 0 ")
        # A shot fired with networking off is for nobody, not for the first player to join later.
        self.fire(a, "   E: shot data1: 0 data2: 1\n")
        time.sleep(1.0)  # the frame that sends the shot has been shown
        before = a.screenshot()
        a.key("KP_1")
        b.key("KP_2")
        for game in (a, b):
            game.wait_for_stdout("peerConnected 1\n   new peer\n")
        # A badge in the top right corner shows the team and the connected copies.
        self.assertGreater(badge_pixels(a.screenshot()), badge_pixels(before) + 40)
        time.sleep(0.5)
        self.assertNotIn("QelPeer::shoot", a.stdout())
        # In a team game a press fires, unless it is in the dodge strip along the top.
        self.fire(a, "\nQelPeer::shoot  10005, len = 5\n")
        time.sleep(1.0)  # the shot and its wind-down run out
        a.click(50, 30)
        time.sleep(0.5)
        b.wait_for_stdout("gotshot 10005\n")
        hit = re.search(r"gotshot 10005\n   E: incomingHit data1: 5 data2: (\d+)\n", b.stdout())
        self.assertIn(int(hit.group(1)) if hit else None, range(10, 17), b.stdout()[-1500:])  # effect 5: 10 to 16

        # With networking on and nobody connected, a shot waits for the next player to join.
        b.key("Escape")
        self.assertEqual(b.wait(), 0, b.stderr())
        a.wait_for_stdout("peerDiscon 0\n   lost peer\n")
        self.fire(a, "   E: shot data1: 0 data2: 1\n")
        time.sleep(1.0)
        b.start().wait_for_window()
        b.key("KP_2")
        _wait_until(lambda: b.stdout().count("gotshot 10005\n") == 2, 20, "the waiting shot on B")

        # After the scores are saved, networking goes off with its lines; B sees A leave.
        a.key("Escape")
        self.assertEqual(a.wait(), 0, a.stderr())
        out = a.stdout()
        self.assertEqual(out.count("QelPeer::shoot"), 2)
        self.assertIn("   shut off networking.\n   Changing multiplayer mode:1\n", out[out.index("   Saving scores..."):])
        b.wait_for_stdout("Message with identifier 21 has arrived.\npeerDiscon 0\n   lost peer\n")
        b.key("Escape")
        self.assertEqual(b.wait(), 0, b.stderr())


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *unused: sys.exit(1))  # the clean-ups remove the namespaces
    unittest.main()
