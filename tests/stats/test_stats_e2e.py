"""Statistics seen from outside: fire the demo weapon, ask for two status messages with the = key,
quit, and compare scores.db with the event lines the game wrote."""

import os
import re
import sqlite3
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer  # noqa: E402

# The demo pack as the build lays it out; the tests run in the build directory.
DEMO_ASSETS = os.path.abspath("assets")
DEMO_CATALOGUE = os.path.join("play", "gunList.txt")
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
    def setUp(self):
        self.weapon = _first_weapon()
        if not (os.path.isdir(DEMO_ASSETS) and self.weapon):
            self.skipTest("no demo pack in the build directory")
        self.x = XServer()
        self.addCleanup(self.x.close)

    def test_firing_then_equals_twice_then_quit_stores_the_counts(self):
        game = Game(self.x, catalogue="0=%s\n" % self.weapon, assets=DEMO_ASSETS)
        self.addCleanup(game.close)
        stale = os.path.join(game.assetsdir, "scores.db")
        if os.path.exists(stale):
            os.remove(stale)
        game.start()
        game.wait_for_window()
        _fire(game, shots=3)
        game.key("equal", "equal", "Escape")
        self.assertEqual(game.wait(), 0)

        out = game.stdout()
        self.assertEqual(len(_messages(out)), 2)
        db = sqlite3.connect(os.path.join(game.assetsdir, "scores.db"))
        try:
            rows = db.execute("SELECT used, modeSwitch, singleShot, burstShot, autoShot FROM score").fetchall()
        finally:
            db.close()
        self.assertEqual(len(rows), 1)  # the one weapon that was in hand
        row = rows[0]
        self.assertEqual(row[0], out.count("   E:  data1: -1 data2: -1\n"))
        self.assertEqual(row[1], out.count("   E: switchedMode data1: "))
        self.assertEqual(list(row[2:]), expected_rounds(out))
        self.assertGreater(sum(row[2:]), 0)


def _messages(stdout):
    """Status messages: plain lines, no indent, every one of them names #Kablix."""
    return [line for line in stdout.splitlines() if "#Kablix" in line and not line.startswith(" ")]


def _fire(game, shots, timeout=30.0):
    """Clicks until `shots` shot events were logged (presses during the intro are refused)."""
    deadline = time.monotonic() + timeout
    while len(SHOT.findall(game.stdout())) < shots:
        if time.monotonic() > deadline:
            raise AssertionError("fewer than %d shots logged:\n%s" % (shots, game.stdout()))
        game.click(284, 160)
        time.sleep(0.3)


def _first_weapon():
    try:
        with open(DEMO_CATALOGUE) as catalogue:
            for line in catalogue:
                key, _, value = line.partition("=")
                if key.strip() == "0":
                    return value.split("#")[0].strip()
    except OSError:
        pass
    return ""


if __name__ == "__main__":
    unittest.main()
