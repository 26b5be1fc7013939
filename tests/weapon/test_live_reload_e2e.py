"""Live reload in the real game: saving the weapon file in hand, or a picture it names, loads it
again with its catalogue key's lines and in the fire mode chosen before, with no key pressed, and
shows what kablix-check finds in it; a saved file that fails the check leaves the weapon in hand
until the file it lacked is saved."""

import os
import struct
import sys
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack  # noqa: E402

# A weapon whose only picture, named by %s, fills the screen at rest.
WEAPON = ('<kablixWeapon name="probe" allowInterrupt="false"><images><image id="0">%s.png</image></images><shotTypes>'
          '<single>1</single><auto>1</auto></shotTypes><animations><animation name="idle0" frameCount="1"><frame img="0"/>'
          '</animation><animation name="firstShot" frameCount="1"><frame img="0"/></animation></animations></kablixWeapon>\n')
RED, GREEN, BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)


def notice_pixels(rows, n):
    """White text along the bottom, where notices go (the probe has no shot animation, which the checker finds)."""
    return sum(1 for row in rows[-40:] for x in range(560) if min(row[x * n:x * n + 3]) > 200)
# What a catalogue key prints for the weapon, started in single fire as chosen before the save.
RELOADED = "SUCCESS!\n   E:  data1: -1 data2: -1\n   single fire\n   E: switchedMode data1: 0 data2: -1\n   FPS: "


def solid_png(colour, size=16):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress((b"\0" + bytes(colour) * size) * size)) + chunk(b"IEND", b""))


class LiveReload(unittest.TestCase):
    def test_saved_weapon_and_picture_reload_in_the_chosen_mode(self):
        game = Game(self.enterContext(XServer()), catalogue="0=probe\n", assets=demo_pack()[0], args=["probe"])
        self.addCleanup(game.close)

        def save(name, content):  # as editors save: a new file renamed over the old one
            temporary = os.path.join(game.assetsdir, ".probe.tmp")
            with open(temporary, "wb") as out:
                out.write(content.encode() if isinstance(content, str) else content)
            os.replace(temporary, os.path.join(game.assetsdir, name))

        for name, content in (("probe.xml", WEAPON % "red"), ("red.png", solid_png(RED)), ("green.png", solid_png(GREEN))):
            save(name, content)
        game.start()
        game.wait_for_window()
        game.wait_for_stdout("   [assetSerializer] SUCCESS!\n")
        game.key("space")  # auto to single
        game.wait_for_stdout("   single fire\n")
        _, _, n, rows = game.screenshot()
        self.assertEqual(notice_pixels(rows, n), 0, "a weapon taken up by its key shows no findings")
        for name, content, lines, colour in (("probe.xml", WEAPON % "green", RELOADED, GREEN),
                                             ("green.png", solid_png(BLUE), RELOADED, BLUE),
                                             ("probe.xml", WEAPON % "missing", "missing.png\n   WEAPON LOADING CANCELLED!\n", BLUE),
                                             ("missing.png", solid_png(RED), RELOADED, RED)):  # the file it lacked
            seen = len(game.stdout())
            save(name, content)
            game.wait_for_stdout(lines, after=seen)
            width, height, n, rows = game.screenshot()
            self.assertTrue(all(abs(a - b) <= 12 for a, b in zip(rows[200][300 * n:300 * n + 3], colour)), (name, colour))
            self.assertGreater(notice_pixels(rows, n), 300, name)
        game.key("Escape")
        self.assertEqual(game.wait(), 0)


if __name__ == "__main__":
    unittest.main()
