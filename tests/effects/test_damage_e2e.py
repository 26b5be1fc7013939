#!/usr/bin/env python3
"""Taking hits in the real game: the demo pack's sidearm in team 1, inside a network namespace of
its own (a team mode switches networking on, and its advertisement must stay in there). Shift+3
simulates shot 3 (the carbine burst's hit effect, 25 to 40 damage, halved by damage.txt's 51):
hits are logged, heavy damage darkens and reddens the picture, death shows the death screen and
quick presses dig the player out again."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from kablix_e2e import Game, NetNamespace, XServer, demo_pack  # noqa: E402

HIT = re.compile(r"^   E: incomingHit data1: 3 data2: (\d+)$", re.M)
DEATH = "   E: playerDeath data1: -1 data2: -1\n"


def colour(picture):
    """(mean brightness, mean redness: red minus the mean of green and blue) of a screenshot."""
    _, _, channels, rows = picture
    r, g, b = (sum(sum(row[c::channels]) for row in rows) / (len(rows) * len(rows[0]) // channels)
               for c in range(3))
    return (r + g + b) / 3, r - (g + b) / 2


class DamageTest(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")

    def hit(self, game):
        before = len(HIT.findall(game.stdout()))
        game.key("shift+3")
        deadline = time.monotonic() + 10
        while len(HIT.findall(game.stdout())) == before:
            self.assertLess(time.monotonic(), deadline, "the hit was not logged")
            time.sleep(0.02)

    def health(self, game):
        # 200 at the start of a team game; damage.txt's 51 halves every hit.
        return 200 - 0.5 * sum(int(d) for d in HIT.findall(game.stdout()))

    def test_hits_darken_and_redden_then_kill_and_digging_revives(self):
        assets, catalogue = demo_pack()
        with XServer() as x, NetNamespace() as ns, \
                Game(x, catalogue=catalogue, assets=assets, args=("sidearm",), netns=ns) as game:
            game.wait_for_window()
            game.wait_for_stdout("   E: switchedMode data1: ")
            game.key("KP_1")
            game.wait_for_stdout("   Changing multiplayer mode:2\n")
            time.sleep(1.0)
            healthy = colour(game.screenshot())

            # Health regenerates while hits are slow to arrive: aim low enough that the blood shows.
            # From above 20 one hit (at most 20) leaves at least 0, far from death below -15.
            while self.health(game) > 20:
                self.hit(game)
            time.sleep(1.0)  # the hit effects' particles die away; health regenerates by ~10
            hurt = colour(game.screenshot())
            self.assertLess(hurt[0], healthy[0] - 5, "heavy damage darkens the picture")
            self.assertGreater(hurt[1], healthy[1] + 1, "heavy damage reddens the picture")

            while DEATH not in game.stdout():
                self.hit(game)
            time.sleep(0.5)
            dead = colour(game.screenshot())
            self.assertGreater(dead[1], 10, "the death screen is a dark red picture")
            self.assertLess(dead[0], healthy[0] - 15)

            # Each press digs once the one before it was released; the gauge drains between
            # presses, so they come from one xdotool run, 25 ms apart.
            game.click(300, 200)
            x.xdotool("click", "--repeat", "40", "--delay", "25", "1")
            time.sleep(2.5)  # the gauge is full: revival 1500 ms later
            revived = colour(game.screenshot())
            self.assertLess(abs(revived[0] - healthy[0]), 6, "back to the weapon after digging out")

            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            log = game.stdout()
        for damage in HIT.findall(log):
            self.assertIn(int(damage), range(25, 41))
        self.assertEqual(log.count(DEATH), 1)
        self.assertNotIn("\a", log)  # no error line


if __name__ == "__main__":
    unittest.main()
