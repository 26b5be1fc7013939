#!/usr/bin/env python3
"""Taking hits in the real game, team 1, in a network namespace of its own (a team mode switches
networking on). Shift+3 simulates shot 3 (25 to 40 damage, halved by the pack's damage.txt): heavy
damage darkens and reddens the picture, death shows the death screen, quick presses dig out."""

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
    """(mean brightness, redness: red minus the mean of green and blue) of a screenshot."""
    _, _, n, rows = picture
    r, g, b = (sum(sum(row[c::n]) for row in rows) / (len(rows) * len(rows[0]) // n) for c in range(3))
    return (r + g + b) / 3, r - (g + b) / 2


class DamageTest(unittest.TestCase):
    def test_hits_darken_and_redden_then_kill_and_digging_revives(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        assets, catalogue = demo_pack()
        with XServer() as x, NetNamespace() as ns, \
                Game(x, catalogue, assets, args=("sidearm",), netns=ns) as game:
            def hit():  # one Shift+3, once it is logged; the health left
                hits = HIT.findall(game.stdout())
                game.key("shift+3")
                deadline = time.monotonic() + 10
                while len(HIT.findall(game.stdout())) == len(hits):
                    self.assertLess(time.monotonic(), deadline, "the hit was not logged")
                    time.sleep(0.02)
                return 200 - 0.5 * sum(map(int, HIT.findall(game.stdout())))

            game.wait_for_window()
            game.wait_for_stdout("   E: switchedMode data1: ")
            game.key("KP_1")
            game.wait_for_stdout("   Changing multiplayer mode:2\n")
            time.sleep(1.0)
            healthy = colour(game.screenshot())
            while hit() > 20:  # health regenerates below 100; from 20 one more hit cannot kill
                pass
            time.sleep(1.0)  # the hit effects' particles die away
            hurt = colour(game.screenshot())
            self.assertTrue(hurt[0] < healthy[0] - 5 and hurt[1] > healthy[1] + 1, (healthy, hurt))
            while DEATH not in game.stdout():
                hit()
            time.sleep(0.5)
            dead = colour(game.screenshot())
            self.assertTrue(dead[1] > 10 and dead[0] < healthy[0] - 15, (healthy, dead))  # dark red
            game.click(300, 200)  # each press digs once released; the gauge drains between them
            x.xdotool("click", "--repeat", "40", "--delay", "25", "1")
            time.sleep(2.5)  # full: revival 1500 ms later
            self.assertLess(abs(colour(game.screenshot())[0] - healthy[0]), 6, "back to the weapon")
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            log = game.stdout()
        self.assertTrue(all(25 <= int(d) <= 40 for d in HIT.findall(log)))
        self.assertEqual(log.count(DEATH), 1)
        self.assertNotIn("\a", log)  # no error line


if __name__ == "__main__":
    unittest.main()
