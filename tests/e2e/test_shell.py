"""The application shell seen from outside: start, the ways out, the keys and mirroring."""

import os
import re
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kablix_e2e import Game, XServer, demo_pack, window_pixels  # noqa: E402

# A weapon whose only picture covers the screen in four colours split at its centre (284, 160).
RED, YELLOW, GREEN, BLUE = (255, 0, 0), (255, 255, 0), (0, 255, 0), (0, 0, 255)


def quarters_png(width=600, height=400):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    def row(left, right):
        return b"\0" + bytes(left + (255,)) * 284 + bytes(right + (255,)) * (width - 284)
    rows = row(RED, YELLOW) * 160 + row(GREEN, BLUE) * (height - 160)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


QUARTERS = ('<?xml version="1.0"?>\n<kablixWeapon name="quarters" allowInterrupt="false">\n'
            '<images><image id="0">quarters.png</image></images>\n<animations>'
            + "".join('<animation name="%s" frameCount="1"><frame img="0" n="0"/></animation>' % name
                      for name in ("intro", "idle0", "firstShot"))
            + '</animations>\n</kablixWeapon>\n')


class ShellTest(unittest.TestCase):
    def setUp(self):
        self.x = XServer()
        self.addCleanup(self.x.close)

    def game(self, **kwargs):
        game = Game(self.x, **kwargs)
        self.addCleanup(game.close)
        return game.start()

    def assertExitsAfterDrawing(self, game):
        self.assertEqual(game.wait(timeout=10), 0)
        self.assertGreaterEqual(int(re.findall(r"^kablix: frames drawn: (\d+)$", game.stderr(), re.M)[-1]), 1)

    def test_start_options_usage_escape_and_window_close(self):
        usage = self.game(args=["rifle", "pistol"])
        self.assertEqual(usage.wait(), 0)
        self.assertEqual(usage.stdout(), "usage: " + usage.binary + " <assetName>\n")
        # Options are answered without a display; an argument starting with "--" is never a weapon.
        for args, status, out, err in ((["--help"], 0, "  Escape ", ""), (["--version"], 0, "kablix ", ""),
                                       (["--scales", "2"], 2, "", "kablix: unknown option --scales "),
                                       (["--scale", "5"], 2, "", "kablix: --scale 5 is out of range (1 to 4)\n"),
                                       (["--room", "a b"], 2, "", "kablix: --room a b is not a room name (1 to 32 letters, digits, . _ -)\n"),
                                       (["--room", "r", "--room-key", "/no/key"], 2, "", "kablix: cannot read the room key"),
                                       (["--room-key", "k"], 2, "", "kablix: --room-key needs --room NAME: a key guards a room\n"),
                                       ([], 1, "", "kablix: cannot open the X display (DISPLAY is not set): ")):
            run = subprocess.run([usage.binary] + args, env={"PATH": os.environ["PATH"]}, capture_output=True, text=True)
            self.assertEqual((run.returncode, out in run.stdout, run.stderr.count("\n")), (status, True, len(err) > 0))
            self.assertTrue(run.stderr.startswith(err), run.stderr)
        # --scale 2: a window twice the size, where a click on the carbine's mode switch (64 pixels
        # square at (494, 246) of the picture) still switches; F1 still writes the 568 × 320 picture.
        with XServer(1280, 800) as big:
            assets, catalogue = demo_pack()
            scaled = Game(big, catalogue=catalogue, assets=assets, args=["--scale", "2"])
            self.addCleanup(scaled.close)
            scaled.start().wait_for_window()
            self.assertIn("Geometry: 1136x640", big.xdotool("getwindowgeometry", scaled.window))
            scaled.wait_for_stdout("   E: switchedMode data1: ")
            switches = scaled.stdout().count("   E: switchedMode data1: ")
            for _ in range(20):
                scaled.click(2 * 526, 2 * 278)
                if scaled.stdout().count("   E: switchedMode data1: ") > switches:
                    break
                time.sleep(0.3)
            self.assertGreater(scaled.stdout().count("   E: switchedMode data1: "), switches)
            width, height, n, rows = scaled.screenshot()
            switches = scaled.stdout().count("   E: switchedMode data1: ")  # every click above is handled by now
            self.assertEqual((width, height), (568, 320))
            # The picture, each pixel twice as large (points above the swaying weapon: the two
            # pictures are taken at different moments).
            points = [(x, y) for x in range(60, 520, 23) for y in (4, 9)]
            self.assertEqual(window_pixels(big.display, scaled.window, [(2 * x, 2 * y) for x, y in points]),
                             [tuple(rows[y][x * n:x * n + 3]) for x, y in points])
            # While F12's page is open a press selects the weapon on its line (pulsar, the sixth of
            # seven lines in the middle of the picture), and one on the mode switch neither switches
            # nor fires; the first Escape closes the page, the second quits.
            scaled.key("F12")
            scaled.click(2 * 200, 2 * 184)
            scaled.click(2 * 526, 2 * 278)
            scaled.key("Escape", "Escape")
            self.assertEqual(scaled.wait(), 0)
            self.assertEqual(scaled.stdout().count("   E: switchedMode data1: "), switches)
            self.assertIn("kablix: chooser selects pulsar\n", scaled.stderr())
        # Without an audio device the game plays on, silently, with one warning that says why, and ALSA says nothing.
        silent = self.game(audio="alsa", env={"AUDIODEV": "kablix-no-such-device"})
        silent.wait_for_window()
        silent.key("Escape")
        self.assertExitsAfterDrawing(silent)
        said = [line for line in silent.stderr().splitlines() if "audio" in line or "ALSA" in line]
        self.assertRegex("\n".join(said), r"^kablix: no audio device \(\w.*\); playing without sound$")
        # The first weapon is the argument, else catalogue entry 0; entry 0 also when the argument's cannot
        # be loaded. Each window is found before the next game starts: they share one X server.
        with_argument = self.game(catalogue="0=firstweapon\n", args=["argweapon"])
        with_argument.wait_for_window()
        without = self.game(catalogue="0=firstweapon\n")
        without.wait_for_window()
        with_argument.key("Escape")
        self.assertExitsAfterDrawing(with_argument)
        self.assertRegex(with_argument.stdout(), r"   XML for argweapon was not found.\n(.*\n)*   XML for firstweapon ")
        self.assertIn("   XML for firstweapon was not found.\n", without.stdout())
        # A close request is not lost when an event the loop ignores follows it in the same batch.
        without.close_window(then_expose=True)
        self.assertExitsAfterDrawing(without)

    def test_keys_print_their_lines_and_mirroring_turns_the_picture(self):
        assets = {"quarters.xml": QUARTERS, "quarters.png": quarters_png()}
        catalogue = "1=quarters\n0=no_0\n9=no_9\na=no_a\nk=no_k\nz=no_z\nk5=no_k5\ns2=10005\ns3=junk\n"
        game = self.game(catalogue=catalogue, assets=assets, args=["quarters"])
        game.wait_for_window()
        game.wait_for_stdout("SUCCESS")
        mark = len(game.stdout())
        # Digits and letters (k too) pick their entries; the keypad entry k5 names no weapon; a weapon
        # that fails its check leaves the one in hand.
        game.key("F2", "F3", "F4", "F5", "KP_7", "KP_4", "KP_9", "KP_6", "KP_5", "0", "9", "a", "k", "z")
        game.wait_for_stdout("XML for no_z was not found.\n")
        self.assertEqual(game.stdout()[mark:],
                         "   ON SHAKE:  NONE\n   ON SHAKE:  FIRE\n   ON SHAKE:  RELOAD\n   ON SHAKE:  FIRE + RELOAD\n"
                         "   Ammo ON.\n   Ammo OFF.\n   Damage ON.\n   Damage OFF.\n"
                         + "".join("   XML for no_%s was not found.\n   WEAPON LOADING CANCELLED!\n" % k for k in "09akz"))
        # Each shake action once (minus stands for a shake), then with Shift held a digit is a
        # simulated received shot: s2 is team 1's shot 5, which hurts here; s3 is no number, read as
        # shot 0, which nobody fires.
        game.key("F4", "minus", "F3", "minus", "F5", "minus", "shift+2", "shift+3", "9")
        game.wait_for_stdout("   E: incomingHit data1: 5 data2: 0\n   Received message with ID 0 from peer? ignoring.\n"
                             "   XML for no_9 was not found.\n")

        # (key, colours near the top-left, top-right, bottom-left and bottom-right corners, above the
        # notice the refused weapons left along the bottom). F1 follows the key at once: the picture
        # is the frame drawn after both, not what was on the screen.
        for key, colours in [("comma", (RED, YELLOW, GREEN, BLUE)), ("period", (YELLOW, RED, BLUE, GREEN)),
                             ("slash", (GREEN, BLUE, RED, YELLOW)), ("backslash", (BLUE, GREEN, YELLOW, RED)),
                             ("comma", (RED, YELLOW, GREEN, BLUE))]:
            width, height, n, rows = game.screenshot(key)
            self.assertEqual((width, height), (568, 320))
            for (px, py), colour in zip(((10, 10), (558, 10), (10, 250), (558, 250)), colours):
                got = tuple(rows[py][px * n:px * n + 3])
                self.assertTrue(all(abs(g - c) <= 12 for g, c in zip(got, colour)),
                                "after %s: pixel (%d, %d) is %s" % (key, px, py, got))

        # F12 lays its page over the picture: white text (no colour of the picture is white; the
        # notice below is left out), the same whether the picture is mirrored or not. Escape closes
        # the page and does not quit.
        def text_pixels(*keys):
            _, _, n, rows = game.screenshot(*keys)
            return {(x, y) for y, row in enumerate(rows[:260]) for x in range(568) if min(row[x * n:x * n + 3]) > 200}
        mirrored = text_pixels("backslash", "F12")
        self.assertGreater(len(mirrored), 400)
        self.assertEqual(text_pixels("comma"), mirrored)
        # Tab shows the keys on the page instead (26 lines of them), and Tab again the weapons.
        self.assertGreater(len(text_pixels("Tab")), 2 * len(mirrored))
        self.assertEqual(text_pixels("Tab"), mirrored)
        # The page is the weapon chooser: a title, the base folder's heading, the catalogue's
        # weapons (quarters in hand and selected) and a line of keys. Down, Down, Up and a wheel
        # step select no_9, which Return takes up; a press on no_k's line selects it and nothing
        # fires; a key still takes its weapon. Nothing else reaches standard output.
        mark = len(game.stdout())
        game.key("Down", "Down", "Up")
        game.click(300, 300, button=5)
        game.key("Return")
        game.wait_for_stdout("   XML for no_9 was not found.\n", after=mark)
        _, _, n, rows = game.screenshot()
        left = next(x for x in range(568) if max(rows[130][x * n:x * n + 3]) < 200) + 1  # the box's left margin
        dark = [y for y in range(60, 260) if max(rows[y][left * n:left * n + 3]) < 200]
        self.assertEqual(dark, list(range(dark[0], dark[-1] + 1)))
        line = (len(dark) - 8) / 9
        game.click(100, int(dark[0] + 4 + 6.5 * line))
        game.key("Return")
        game.wait_for_stdout("   XML for no_k was not found.\n", after=mark)
        game.key("a")
        game.wait_for_stdout("   XML for no_a was not found.\n", after=mark)
        self.assertEqual(game.stdout()[mark:], "".join("   XML for no_%s was not found.\n   WEAPON LOADING CANCELLED!\n"
                                                       % k for k in "9ka"))
        self.assertEqual(text_pixels("Escape"), set())
        game.key("Escape")
        self.assertEqual(game.wait(), 0)


if __name__ == "__main__":
    unittest.main()
