"""The demo pack in the real game: every catalogue weapon key takes its weapon up without one error
or warning line, with the checker's flags, and a shot is heard. (Firing every weapon in each of its
modes, reloading and running dry is played through the real weapon manager by pack_tests.)"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

# Catalogue key -> (weapon, background off, portrait)
WEAPON_KEYS = {"2": ("carbine", 0, 0), "3": ("rotary", 1, 0), "4": ("pulsar", 0, 1), "1": ("sidearm", 0, 0)}


class PackGameTest(unittest.TestCase):
    def test_every_weapon_key_loads_cleanly_and_a_shot_is_heard(self):
        x = XServer()
        self.addCleanup(x.close)
        assets, catalogue = demo_pack()
        game = Game(x, catalogue=catalogue, assets=assets)
        self.addCleanup(game.close)
        game.start()
        game.wait_for_window()
        for key, (name, background_off, portrait) in WEAPON_KEYS.items():
            loads = game.stdout().count("   Portrait: ")
            game.key(key)
            deadline = time.monotonic() + 20
            while game.stdout().count("   Portrait: ") <= loads:
                self.assertLess(time.monotonic(), deadline, "weapon key %s loaded nothing" % key)
                time.sleep(0.05)
            tail = game.stdout().rsplit("   FPS: ", 1)[1]
            self.assertTrue(tail.startswith("%d\n   Portrait: %d" % (background_off, portrait)), name + ": " + tail[:40])

        # The sidearm is in hand: one shot must reach the disk audio output.
        time.sleep(0.5)
        before = game.audio_size()
        game.mouse_down(284, 200)   # clear of the fire-mode switch and the ammunition
        time.sleep(0.1)
        game.mouse_up()
        time.sleep(0.6)
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        out = game.stdout()
        self.assertIn("   E: shot data1: 0", out)
        self.assertEqual([line for line in out.splitlines() if line.startswith(("E: (", "W: ("))], [])
        loud = game.loud_samples(before)
        self.assertGreater(loud, 2000, "the shot was not heard (%d loud samples)" % loud)


if __name__ == "__main__":
    unittest.main()
