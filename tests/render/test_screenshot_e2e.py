"""F1 in the running game: screenshot.png holds the window as drawn after the keys pressed with it,
top row first, also while the picture stands still and the game draws nothing."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer  # noqa: E402

RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
# The weapon's only picture at the screen's top-left, 600 x 400: red above y = 160, below green left
# of x = 284 and blue right of it. A TGA (stored B, G, R, bottom row first), read after PNG fails.
GUN = bytes([0, 0, 2] + [0] * 9 + [88, 2, 144, 1, 24, 0]) + b"".join(
    bytes(reversed(RED if y < 160 else GREEN if x < 284 else BLUE)) for y in reversed(range(400)) for x in range(600))
WEAPON = ('<kablixWeapon name="rifle" allowInterrupt="false"><images><image id="0">gun.png</image></images>'
          '<animations>%s</animations></kablixWeapon>' % "".join(
              '<animation name="%s" frameCount="1"><frame img="0" n="0"/></animation>' % name
              for name in ("intro", "idle0", "firstShot")))


class ScreenshotTest(unittest.TestCase):
    def test_f1_writes_the_picture_after_the_keys_sent_with_it(self):
        with XServer() as x, Game(x, catalogue="1=rifle\n", assets={"rifle.xml": WEAPON, "gun.png": GUN},
                                  args=["rifle"]) as game:
            game.wait_for_window()
            game.wait_for_stdout("SUCCESS")
            time.sleep(1.5)  # a still picture: nothing is drawn meanwhile
            shots = [game.screenshot(), game.screenshot("period")]  # the second mirrored left to right
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            drawn = int(re.findall(r"^kablix: frames drawn: (\d+)$", game.stderr(), re.M)[-1])
        self.assertLess(drawn, 20)  # the first picture, focus and each key's, not one per turn
        for (width, height, n, rows), right in zip(shots, (BLUE, GREEN)):
            self.assertEqual((width, height, n), (568, 320, 4))
            for px, py, colour in ((10, 10, RED), (560, 150, RED), (560, 310, right)):
                got = tuple(rows[py][px * 4:px * 4 + 3])
                self.assertTrue(all(abs(g - c) <= 12 for g, c in zip(got, colour)), (px, py, got, colour))


if __name__ == "__main__":
    unittest.main()
