"""The weapon seen from outside: the game under its own X server with weapons written here
(pictures encoded below, a sound made with sox), driven by keys and the mouse."""

import os
import re
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, read_png  # noqa: E402

SHOT = re.compile(r"^   E: shot data1: 2 data2: (\d+)$", re.M)
ROUND_Y = 20          # the rounds sit in a row at the top left, over the blue background
ROUND_COUNT = 30


def png(width, height, rgb):
    """A plain 8-bit RGB picture of one colour."""
    row = b"\x00" + bytes(rgb) * width
    raw = zlib.compress(row * height)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", raw) + chunk(b"IEND", b"")


def ogg_tone():
    """A 100 ms loud square tone as Ogg Vorbis bytes."""
    return subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", "-t", "ogg", "-", "synth", "0.1", "square", "441",
                           "vol", "0.4"], stdout=subprocess.PIPE, check=True).stdout


def animation(name, frame_count, frames, extra=""):
    return ('<animation name="%s" frameCount="%d" bg="1">' % (name, frame_count) +
            ('<frame img="0" x="300" y="200" %s/>' % extra) * frames + "</animation>")


def weapon(name, custom="", animations=None, images=None):
    bullets = "".join('<bullet id="%d" x="%d" y="%d"/>' % (i, 10 + 9 * i, ROUND_Y) for i in range(ROUND_COUNT))
    return ('<kablixWeapon name="%s" allowInterrupt="false">' % name +
            (images or '<images><image id="0">gun.png</image><image id="1">bg.png</image>'
                       '<image id="2">round.png</image></images>') +
            '<sounds><sound id="0">bang</sound></sounds>'
            '<shotTypes switchPosX="500" switchPosY="250"><single>1</single><auto>1</auto></shotTypes>'
            '<ammo count="%d" img="2">%s</ammo>' % (ROUND_COUNT, bullets) +
            "<animations>" + (animations or
                              animation("shot1", 3, 3, 'sound="0"') + animation("windDown", 3, 3) +
                              animation("reload", 15, 15)) + "</animations>" +
            ("<custom>%s</custom>" % custom if custom else "") + "</kablixWeapon>\n")


def assets():
    return {
        "gun.png": png(64, 64, (0, 200, 0)),
        "bg.png": png(1024, 512, (0, 0, 200)),
        "round.png": png(8, 8, (255, 255, 255)),
        "bang.ogg": ogg_tone(),
        "_switchModeButton.png": png(192, 64, (200, 200, 0)),
        "EFFECTS.xml": "<overlayHitEffects><emitters/><effects/></overlayHitEffects>\n",
        "alpha.xml": weapon("alpha"),
        "beta.xml": weapon("beta", custom="<drawBackground>blendAlpha</drawBackground><portraitMode>true</portraitMode>"),
        "charge.xml": weapon("charge", custom="<firstShotIsCharge>shot1</firstShotIsCharge>"),
        "noimage.xml": weapon("noimage", images='<images><image id="0">lost.png</image></images>'),
    }


def rounds_shown(picture):
    """Rounds visible in the row of rounds: white runs at ROUND_Y + 4."""
    width, _, channels, rows = picture
    row = rows[ROUND_Y + 4]
    runs, inside = 0, False
    for x in range(0, 300):
        r, g, b = row[x * channels], row[x * channels + 1], row[x * channels + 2]
        white = r > 200 and g > 200 and b > 200
        if white and not inside:
            runs += 1
        inside = white
    return runs


class WeaponEndToEnd(unittest.TestCase):
    def setUp(self):
        self.x = XServer()
        self.addCleanup(self.x.close)

    def start(self, first):
        game = Game(self.x, catalogue="0=%s\n1=beta\n2=charge\n3=noimage\n4=alpha\n" % first, assets=assets())
        self.addCleanup(game.close)
        game.start()
        game.wait_for_window()
        game.wait_for_stdout("   [assetSerializer] SUCCESS!\n")
        return game

    def test_weapon_keys_load_and_report_the_checker_flags(self):
        game = self.start("alpha")
        game.key("1")
        game.wait_for_stdout("   Portrait: 1\n")
        game.key("4")
        game.wait_for_stdout("   Portrait: 0\n")
        game.key("2")
        game.wait_for_stdout("   THE ASSET FAILED TO LOAD!\n")
        game.key("3")
        game.wait_for_stdout("   WEAPON LOADING CANCELLED!\n")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        out = game.stdout()
        self.assertIn("   [assetSerializer] SUCCESS!\n   E:  data1: -1 data2: -1\n   auto fire\n"
                      "   E: switchedMode data1: 2 data2: -1\n   FPS: 1\n   Portrait: 1\n", out)
        self.assertIn("   E: switchedMode data1: 2 data2: -1\n   FPS: 0\n   Portrait: 0\n", out)
        self.assertIn("E: (QEL::cAssetSerializer::processCustomPost) \aERROR: The custom XML <firstShotIsCharge> is "
                      "invalid, because there is no firstShot animation!\n   THE ASSET FAILED TO LOAD!\n", out)
        self.assertNotIn("'charge' added", out)  # a weapon that did not load is not stored
        self.assertIn("IMAGE NOT FOUND: lost.png\n", out)
        # Three loads succeeded: alpha at start, beta, alpha again.
        self.assertEqual(out.count("   E:  data1: -1 data2: -1\n"), 3)

    def test_holding_the_trigger_fires_then_return_reloads(self):
        game = self.start("alpha")
        time.sleep(0.5)
        before = game.screenshot()
        self.assertEqual(rounds_shown(before), ROUND_COUNT)
        audio_start = game.audio_size()

        game.mouse_down(150, 160)
        time.sleep(1.0)
        game.mouse_up()
        time.sleep(0.5)
        fired = sum(int(n) for n in SHOT.findall(game.stdout()))
        self.assertGreater(fired, 2)
        after = game.screenshot()
        self.assertEqual(rounds_shown(after), ROUND_COUNT - fired)

        game.key("Return")
        game.wait_for_stdout("   E: reload data1: 2 data2: -1\n")
        time.sleep(0.3)
        self.assertEqual(rounds_shown(game.screenshot()), ROUND_COUNT)
        game.key("space")
        game.wait_for_stdout("   E: switchedMode data1: 0 data2: -1\n")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        self.assertGreater(game.loud_samples(audio_start), 1000)
        events = [line for line in game.stdout().splitlines() if line.startswith("   E: ")]
        self.assertEqual(events[0], "   E:  data1: -1 data2: -1")
        self.assertEqual(events[1], "   E: switchedMode data1: 2 data2: -1")
        self.assertTrue(all(line == "   E: shot data1: 2 data2: 1" for line in events[2:2 + fired]))
        self.assertEqual(events[2 + fired:], ["   E: reload data1: 2 data2: -1", "   E: switchedMode data1: 0 data2: -1"])


if __name__ == "__main__":
    unittest.main()
