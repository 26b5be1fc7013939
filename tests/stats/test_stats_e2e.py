"""Statistics seen from outside: fire the demo weapon, ask for two status messages with the = key,
quit, and compare scores.db with the event lines the game wrote."""

import os
import re
import sqlite3
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

SHOT = re.compile(r"^   E: shot data1: (-?\d+) data2: (-?\d+)$", re.M)


def expected_rounds(stdout):
    """singleShot, burstShot, autoShot as the store counts the shot event lines."""
    rounds = [0, 0, 0]
    for mode, count in ((int(m), int(n)) for m, n in SHOT.findall(stdout)):
        if mode in (0, 1):
            rounds[mode] += count if count != 0 else 1
        elif mode == 2:
            rounds[2] += count
    return rounds


class StatsTest(unittest.TestCase):
    def test_firing_then_equals_twice_then_quit_stores_the_counts(self):
        assets, catalogue = demo_pack()  # each run starts without a score database
        with XServer() as x, Game(x, catalogue=catalogue, assets=assets) as game:
            game.wait_for_window()
            deadline = time.monotonic() + 30
            while len(SHOT.findall(game.stdout())) < 3:  # presses during the intro are refused
                self.assertLess(time.monotonic(), deadline, "fewer than 3 shots logged:\n" + game.stdout())
                game.click(284, 160)
                time.sleep(0.3)
            game.key("equal", "equal", "Escape")
            self.assertEqual(game.wait(), 0)
            out = game.stdout()
            db = sqlite3.connect(os.path.join(game.assetsdir, "scores.db"))
            try:
                rows = db.execute("SELECT used, modeSwitch, singleShot, burstShot, autoShot FROM score").fetchall()
            finally:
                db.close()

        # Status messages: plain lines, no indent, every one of them names #Kablix.
        messages = [line for line in out.splitlines() if "#Kablix" in line and not line.startswith(" ")]
        self.assertEqual(len(messages), 2)
        self.assertEqual(len(rows), 1)  # the one weapon that was in hand
        used, mode_switch, *rounds = rows[0]
        self.assertEqual(used, out.count("   E:  data1: -1 data2: -1\n"))
        self.assertEqual(mode_switch, out.count("   E: switchedMode data1: "))
        self.assertEqual(rounds, expected_rounds(out))
        self.assertGreater(sum(rounds), 0)


if __name__ == "__main__":
    unittest.main()
