"""F1 in the running game: screenshot.png holds the window as drawn, top row first, also while the
picture stands still and the game draws nothing."""

import os
import re
import struct
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer  # noqa: E402

RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)


def encode_png(width, height, pixel):
    """An 8-bit RGBA PNG; pixel(x, y) gives (r, g, b) with y from the top."""
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) + b"\xff" for x in range(width))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


# The weapon's only picture, drawn at the screen's top-left corner: red above y = 160,
# green below on the left of x = 284, blue below on the right.
GUN = encode_png(600, 400, lambda x, y: RED if y < 160 else GREEN if x < 284 else BLUE)
WEAPON = ('<?xml version="1.0"?>\n<kablixWeapon name="rifle" allowInterrupt="false">\n'
          '<images><image id="0">gun.png</image></images>\n<animations>'
          + "".join('<animation name="%s" frameCount="1"><frame img="0" n="0"/></animation>' % name
                    for name in ("intro", "idle0", "firstShot"))
          + '</animations>\n</kablixWeapon>\n')


class ScreenshotTest(unittest.TestCase):
    def test_f1_writes_the_window_top_row_first(self):
        with XServer() as x, Game(x, catalogue="1=rifle\n", assets={"rifle.xml": WEAPON, "gun.png": GUN},
                                  args=["rifle"]) as game:
            game.wait_for_window()
            game.wait_for_stdout("SUCCESS")
            time.sleep(1.5)  # the intro's first frame stands still: no picture is drawn meanwhile
            width, height, channels, rows = game.screenshot()
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            drawn = int(re.findall(r"^kablix: frames drawn: (\d+)$", game.stderr(), re.M)[-1])
        # The first picture and those after the window got focus and after each key, not one per turn.
        self.assertLess(drawn, 15)
        self.assertEqual((width, height, channels), (568, 320, 4))
        for x, y, colour in ((10, 10, RED), (560, 150, RED), (10, 310, GREEN), (560, 310, BLUE)):
            got = tuple(rows[y][x * 4:x * 4 + 3])
            self.assertTrue(all(abs(g - c) <= 12 for g, c in zip(got, colour)),
                            "pixel (%d, %d) is %s, expected %s" % (x, y, got, colour))


if __name__ == "__main__":
    unittest.main()
