"""The preview for pack authors, seen from outside: stepping, playing, the picture, nothing stored."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kablix_e2e import Game, XServer, _wait_until, demo_pack, scores_in  # noqa: E402


class PreviewTest(unittest.TestCase):
    def test_keys_step_frames_and_animations_and_nothing_is_stored(self):
        with XServer() as x:
            assets, catalogue = demo_pack()
            game = Game(x, catalogue=catalogue, assets=assets, args=["--preview", "sidearm", "shot1"])
            self.addCleanup(game.close)
            game.start().wait_for_window()
            game.wait_for_stdout("preview: shot1 1/6\n")
            _, _, n, first = game.screenshot()
            # Frames wrap round at both ends; Down is the next animation in the file.
            game.key("Right", "Right", "Left")
            _, _, _, stepped = game.screenshot()
            game.key("Left", "Left", "Down")
            game.wait_for_stdout("preview: shot2 1/6\n")
            shown = re.findall(r"^preview: (.*)$", game.stdout(), re.M)
            self.assertEqual(shown, ["shot1 1/6", "shot1 2/6", "shot1 3/6", "shot1 2/6", "shot1 1/6", "shot1 6/6",
                                     "shot2 1/6"])
            # Below the panel the weapon in its second pose differs from the first.
            changed = sum(first[y][i] != stepped[y][i] for y in range(80, 320, 4) for i in range(0, 568 * n, 4 * n))
            self.assertGreater(changed, 500)
            # Space plays the animation on its own, looping; [ halves the speed.
            game.key("bracketleft", "space")
            game.wait_for_stdout("preview: shot2 1/6\npreview: shot2 2/6\n")
            game.wait_for_stdout("preview: shot2 6/6\npreview: shot2 1/6\n")
            # A save of the weapon file (by rename, as editors do) shows the same animation again.
            game.key("space")
            shown = game.stdout().count("preview: ")
            path = os.path.join(game.assetsdir, "sidearm.xml")
            with open(path) as f, open(path + ".new", "w") as saved:
                saved.write(f.read())
            os.rename(path + ".new", path)
            _wait_until(lambda: game.stdout().count("preview: ") > shown, 5, "the saved weapon shown again")
            self.assertRegex(game.stdout().splitlines()[-1], r"^preview: shot2 \d/6$")
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            # The cartridges thrown counted no shot, and looking stored nothing.
            self.assertNotIn("   E: shot ", game.stdout())
            database = os.path.join(game.assetsdir, "scores.db")
            self.assertEqual(scores_in(database) if os.path.exists(database) else {}, {})


if __name__ == "__main__":
    unittest.main()
