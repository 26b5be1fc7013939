"""The demo pack in the real game: each weapon key takes its weapon up with the check's flags, it
fires in every mode it offers and reloads, every Shift test hit plays, the shots are heard, and
not one error or warning line is written."""

import os
import sys
import time
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

# Catalogue key -> (weapon, background off, portrait)
WEAPON_KEYS = {"2": ("carbine", 0, 0), "3": ("rotary", 1, 0), "4": ("pulsar", 0, 1), "1": ("sidearm", 0, 0)}


class PackGameTest(unittest.TestCase):
    def test_every_weapon_loads_fires_in_each_mode_reloads_and_takes_every_hit(self):
        assets, catalogue = demo_pack()
        with XServer() as x, Game(x, catalogue=catalogue, assets=assets) as game:
            game.wait_for_window()
            audio_start = game.audio_size()
            for key, (name, background_off, portrait) in WEAPON_KEYS.items():
                loads = game.stdout().count("   Portrait: ")
                game.key(key)
                deadline = time.monotonic() + 20
                while game.stdout().count("   Portrait: ") <= loads:
                    self.assertLess(time.monotonic(), deadline, "weapon key %s loaded nothing" % key)
                    time.sleep(0.05)
                shot_types = ET.parse(os.path.join(assets, name + ".xml")).getroot().find("shotTypes")
                modes = [mode for mode, tag in enumerate(("single", "burst", "auto")) if shot_types.findtext(tag) == "1"]
                for _ in range(len(modes) + 1):  # one more: a weapon's first press may play its intro
                    game.mouse_down(284, 200)  # clear of the fire-mode switch and the ammunition
                    time.sleep(1.5)  # long enough for a charge; automatic fire keeps going
                    game.mouse_up()
                    time.sleep(0.8)
                    game.key("space")
                game.key("Return")
                time.sleep(2.5)
                played = game.stdout().split("   FPS: ")[-1]
                self.assertTrue(played.startswith("%d\n   Portrait: %d" % (background_off, portrait)), name + played[:40])
                for event in ["shot data1: %d " % mode for mode in modes] + ["reload data1: "]:
                    self.assertIn("   E: " + event, played, name)
            for effect in range(1, 7):
                game.key("shift+%d" % effect)
                time.sleep(0.8)
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            out = game.stdout()
            for effect in range(1, 7):
                self.assertIn("   E: incomingHit data1: %d " % effect, out)
            self.assertEqual([line for line in out.splitlines() if line.startswith(("E: (", "W: (")) or "WARNING" in line], [])
            self.assertGreater(game.loud_samples(audio_start), 20000, "the shots were not heard")


if __name__ == "__main__":
    unittest.main()
