"""The application shell seen from outside: the window, the exits, the usage line and the keys
that only change state or print a status line."""

import os
import re
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kablix_e2e import Game, NetNamespace, XServer, demo_pack  # noqa: E402


def frames_drawn(stderr):
    found = re.findall(r"^kablix: frames drawn: (\d+)$", stderr, re.M)
    return int(found[-1]) if found else 0


class ShellTest(unittest.TestCase):
    def setUp(self):
        self.x = XServer()
        self.addCleanup(self.x.close)

    def game(self, **kwargs):
        game = Game(self.x, **kwargs)
        self.addCleanup(game.close)
        return game.start()

    def test_window_is_kablix_568_by_320_and_escape_exits_0_after_drawing(self):
        game = self.game()
        game.wait_for_window()
        self.assertEqual(game.window_name(), "Kablix")
        self.assertEqual(game.window_size(), (568, 320))
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        self.assertGreaterEqual(frames_drawn(game.stderr()), 1)

    def test_closing_the_window_exits_0_even_when_other_events_follow(self):
        # An event type the loop does not act on arrives in the same batch right after the request.
        game = self.game()
        game.wait_for_window()
        game.close_window(then_expose=True)
        self.assertEqual(game.wait(timeout=10), 0)
        self.assertGreaterEqual(frames_drawn(game.stderr()), 1)

    def test_two_arguments_print_the_usage_line_and_exit_0(self):
        game = self.game(args=["rifle", "pistol"])
        self.assertEqual(game.wait(), 0)
        self.assertEqual(game.stdout(), "usage: " + game.binary + " <assetName>\n")

    def test_the_first_weapon_is_the_argument_else_catalogue_entry_0(self):
        # Each window is found before the next game starts: both share one X server.
        with_argument = self.game(catalogue="0=firstweapon\n", args=["argweapon"])
        with_argument.wait_for_window()
        without = self.game(catalogue="0=firstweapon\n")
        without.wait_for_window()
        for game in (with_argument, without):
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
        self.assertIn("   XML for argweapon was not found.\n", with_argument.stdout())
        self.assertNotIn("firstweapon", with_argument.stdout())
        self.assertIn("   XML for firstweapon was not found.\n", without.stdout())

    def test_status_keys_print_their_lines_and_mirroring_shift_and_f1_print_none(self):
        # Every digit and letter key picks its own catalogue entry; a keypad entry is no weapon.
        keys = "0123456789abcdefghijklmnopqrstuvwxyz"
        game = self.game(catalogue="".join("%s=no_%s\n" % (k, k) for k in keys) + "k5=no_k5\n")
        game.wait_for_window()
        game.key("F2", "F3", "F4", "F5", "KP_7", "KP_4", "KP_9", "KP_6", "KP_5", *keys)
        game.wait_for_stdout("XML for no_z was not found.\n")
        self.assertIn("   ON SHAKE:  NONE\n   ON SHAKE:  FIRE\n   ON SHAKE:  RELOAD\n"
                      "   ON SHAKE:  FIRE + RELOAD\n   Ammo ON.\n   Ammo OFF.\n   Damage ON.\n"
                      "   Damage OFF.\n   XML for no_0 was not found.\n"
                      "   WEAPON LOADING CANCELLED!\n", game.stdout())
        # Entry 0 is also the weapon to start with.
        self.assertEqual(re.findall(r"XML for no_(\w+) was not found", game.stdout()), ["0"] + list(keys))
        before = game.stdout()
        self.assertEqual(game.screenshot()[:2], (568, 320))
        game.key("period", "slash", "backslash", "comma")
        game.wait_for_stderr("mirror mode 0\n")
        # With Shift held, the digit keys simulate a received shot instead of picking a weapon.
        game.key_down("shift")
        game.key("1")
        game.key_up("shift")
        game.wait_for_stderr("shift released\n")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        self.assertEqual(game.stdout(), before)
        self.assertEqual(re.findall(r"^kablix: mirror mode (\d)$", game.stderr(), re.M), ["1", "2", "3", "0"])
        self.assertIn("kablix: shift held\nkablix: shift released\n", game.stderr())


# A weapon whose only picture covers the screen in four colours split at its centre (284, 160):
# each mirroring puts a known colour in each quarter.
RED, YELLOW, GREEN, BLUE = b"\xff\x00\x00\xff", b"\xff\xff\x00\xff", b"\x00\xff\x00\xff", b"\x00\x00\xff\xff"


def quarters_png(width=600, height=400):
    """An 8-bit RGBA PNG: red and yellow above y = 160, green and blue below, split at x = 284."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    top, bottom = RED * 284 + YELLOW * (width - 284), GREEN * 284 + BLUE * (width - 284)
    rows = b"".join(b"\x00" + (top if y < 160 else bottom) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


QUARTERS_WEAPON = ('<?xml version="1.0"?>\n<kablixWeapon name="quarters" allowInterrupt="false">\n'
                   '<images><image id="0">quarters.png</image></images>\n<animations>'
                   + "".join('<animation name="%s" frameCount="1"><frame img="0" n="0"/></animation>' % name
                             for name in ("intro", "idle0", "firstShot"))
                   + '</animations>\n</kablixWeapon>\n')


class MirrorTest(unittest.TestCase):
    def test_mirroring_keys_turn_the_picture(self):
        # (key, colours at the top-left, top-right, bottom-left and bottom-right corners)
        expected = [(None, (RED, YELLOW, GREEN, BLUE)), ("period", (YELLOW, RED, BLUE, GREEN)),
                    ("slash", (GREEN, BLUE, RED, YELLOW)), ("backslash", (BLUE, GREEN, YELLOW, RED)),
                    ("comma", (RED, YELLOW, GREEN, BLUE))]
        assets = {"quarters.xml": QUARTERS_WEAPON, "quarters.png": quarters_png()}
        with XServer() as x, Game(x, catalogue="1=quarters\n", assets=assets, args=["quarters"]) as game:
            game.wait_for_window()
            game.wait_for_stdout("SUCCESS")
            for key, colours in expected:
                if key:
                    game.key(key)
                width, height, channels, rows = game.screenshot()
                for (px, py), colour in zip(((10, 10), (558, 10), (10, 310), (558, 310)), colours):
                    got = tuple(rows[py][px * channels:px * channels + 3])
                    self.assertTrue(all(abs(g - c) <= 12 for g, c in zip(got, colour)),
                                    "after %s: pixel (%d, %d) is %s" % (key, px, py, got))
            game.key("Escape")
            self.assertEqual(game.wait(), 0)


class TeamClickTest(unittest.TestCase):
    def test_in_a_team_only_the_strip_raises_the_shield_and_other_presses_fire(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        assets, catalogue = demo_pack()
        with XServer() as x, NetNamespace() as ns, \
                Game(x, catalogue=catalogue, assets=assets, args=("sidearm",), netns=ns) as game:
            game.wait_for_window()
            game.wait_for_stdout("   E: switchedMode data1: ")
            game.key("KP_1")
            game.wait_for_stdout("   Changing multiplayer mode:2\n")
            game.click(400, 200)
            game.wait_for_stdout("   E: shot data1: 0 data2: 1\n")
            time.sleep(1.0)  # the shot and its wind-down run out
            game.click(400, 30)  # the dodge strip along the top
            time.sleep(0.5)
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            self.assertEqual(game.stdout().count("   E: shot data1: "), 1)


class HarnessTest(unittest.TestCase):
    def test_x_server_and_namespace_are_gone_after_close(self):
        if os.geteuid() != 0:
            self.skipTest("network namespaces need root")
        with XServer() as x, NetNamespace() as ns:
            self.assertTrue(os.path.exists("/tmp/.X11-unix/X" + x.display[1:]))
            links = subprocess.run(["ip", "-n", ns.name, "-o", "link"], stdout=subprocess.PIPE,
                                   text=True, check=True).stdout
            self.assertEqual(re.findall(r"^\d+: (\S+?)[:@]", links, re.M), ["lo"])
        self.assertIsNotNone(x.process.poll())
        listed = subprocess.run(["ip", "netns", "list"], stdout=subprocess.PIPE, text=True).stdout
        self.assertNotIn(ns.name, listed)


if __name__ == "__main__":
    unittest.main()
