"""The demo pack in the real game: every catalogue weapon is taken up, fired in each of its modes,
reloaded and run dry without one error or warning line, and the shots are heard."""

import array
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

# Catalogue key -> (weapon, fire modes it offers, portrait, background off, counts ammunition)
WEAPON_KEYS = {"1": ("sidearm", 1, 0, 0, True), "2": ("carbine", 3, 0, 0, True), "3": ("rotary", 1, 0, 1, False),
               "4": ("pulsar", 2, 1, 0, True)}
CENTRE = (284, 200)   # window pixels: clear of the fire-mode switch and the ammunition


def problem_lines(stdout):
    return [line for line in stdout.splitlines() if line.startswith("E: (") or line.startswith("W: (")]


class PackGameTest(unittest.TestCase):
    def setUp(self):
        self.x = XServer()
        self.addCleanup(self.x.close)
        assets, catalogue = demo_pack()
        self.game = Game(self.x, catalogue=catalogue, assets=assets)
        self.addCleanup(self.game.close)
        self.game.start()
        self.game.wait_for_window()

    def take_up(self, key):
        loads = self.game.stdout().count("   Portrait: ")
        self.game.key(key)
        deadline = time.monotonic() + 20
        while self.game.stdout().count("   Portrait: ") <= loads:
            self.assertLess(time.monotonic(), deadline, "weapon key %s loaded nothing" % key)
            time.sleep(0.05)

    def trigger(self, hold_s, rest_s=0.6):
        self.game.mouse_down(*CENTRE)
        time.sleep(hold_s)
        self.game.mouse_up()
        time.sleep(rest_s)

    def run_dry(self):
        """Fires until the weapon clicks empty; auto fire where the weapon offers it."""
        for _ in range(3):
            if self.game.stdout().rstrip().endswith("auto fire"):
                break
            self.game.key("space")
            time.sleep(0.1)
        empties = self.game.stdout().count("   E: emptyShot data1: ")
        for _ in range(40):
            self.trigger(0.6, 0.3)
            if self.game.stdout().count("   E: emptyShot data1: ") > empties:
                return
        self.fail("the magazine never ran dry")

    def test_every_weapon_key_loads_without_an_error_or_warning_line(self):
        for key, (name, _, portrait, background_off, _) in WEAPON_KEYS.items():
            self.take_up(key)
            tail = self.game.stdout().rsplit("   FPS: ", 1)[1]
            self.assertTrue(tail.startswith("%d\n   Portrait: %d" % (background_off, portrait)), name + ": " + tail[:40])
        self.game.key("Escape")
        self.assertEqual(self.game.wait(), 0)
        self.assertEqual(problem_lines(self.game.stdout()), [])

    def fire_reload_and_run_dry(self, key):
        name, modes, _, _, counts_rounds = WEAPON_KEYS[key]
        self.take_up(key)
        self.trigger(0.1)                       # the carbine's intro takes the first press
        fired_modes = set()
        for _ in range(modes):
            fired_modes.add(re.findall(r"^   (\w+) fire$", self.game.stdout(), re.M)[-1])
            self.trigger(0.1)
            self.trigger(1.0)
            self.game.key("space")              # next fire mode
        self.game.key("Return")
        time.sleep(1.6)
        if counts_rounds:
            self.run_dry()
            self.game.key("Return")
            time.sleep(1.6)
        self.game.key("Escape")
        self.assertEqual(self.game.wait(), 0)
        out = self.game.stdout()
        self.assertEqual(problem_lines(out), [])
        self.assertEqual(len(fired_modes), modes)
        codes = {"single": "0", "burst": "1", "auto": "2"}
        for mode in fired_modes:
            self.assertIn("   E: shot data1: " + codes[mode], out, name + " did not fire in " + mode)
        self.assertGreaterEqual(out.count("   E: reload data1: "), 2 if counts_rounds else 1)
        if counts_rounds:
            self.assertIn("   E: emptyShot data1: ", out)

    def test_sidearm_fires_reloads_and_runs_dry(self):
        self.fire_reload_and_run_dry("1")

    def test_carbine_fires_in_each_mode_reloads_and_runs_dry(self):
        self.fire_reload_and_run_dry("2")

    def test_rotary_fires_and_reloads(self):
        self.fire_reload_and_run_dry("3")

    def test_pulsar_fires_in_each_mode_reloads_and_runs_dry(self):
        self.fire_reload_and_run_dry("4")

    def test_the_output_is_not_silent_after_a_shot(self):
        self.take_up("1")
        time.sleep(0.5)
        before = os.path.getsize(self.game.audio_file) if os.path.exists(self.game.audio_file) else 0
        self.trigger(0.1)
        self.game.key("Escape")
        self.assertEqual(self.game.wait(), 0)
        with open(self.game.audio_file, "rb") as f:
            f.seek(before - before % 4)
            samples = array.array("h", f.read())
        loud = sum(1 for s in samples if abs(s) > 2000)
        self.assertGreater(loud, 2000, "the shot was not heard (%d loud samples)" % loud)


if __name__ == "__main__":
    unittest.main()
