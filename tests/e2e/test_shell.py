"""The application shell seen from outside: the window, the exits, the usage line and the keys
that only change state or print a status line."""

import os
import re
import subprocess
import sys
import time
import unittest

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
        game = self.game(catalogue="1=nosuchweapon\n")
        game.wait_for_window()
        game.key("F2", "F3", "F4", "F5", "KP_7", "KP_4", "KP_9", "KP_6", "1")
        game.wait_for_stdout("WEAPON LOADING CANCELLED!\n")
        self.assertIn("   ON SHAKE:  NONE\n   ON SHAKE:  FIRE\n   ON SHAKE:  RELOAD\n"
                      "   ON SHAKE:  FIRE + RELOAD\n   Ammo ON.\n   Ammo OFF.\n   Damage ON.\n"
                      "   Damage OFF.\n   XML for nosuchweapon was not found.\n"
                      "   WEAPON LOADING CANCELLED!\n", game.stdout())
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


def samples(picture, left_right=False, top_bottom=False, step=4):
    """Every step-th pixel of every step-th row as (r, g, b), top row first, after mirroring."""
    width, height, channels, rows = picture
    pixels = [[tuple(row[x * channels:x * channels + 3]) for x in range(width)] for row in rows]
    pixels = [row[::-1] if left_right else row for row in (pixels[::-1] if top_bottom else pixels)]
    return [row[::step] for row in pixels[::step]]


def agreement(a, b, tolerance=24):
    """The share of sample points whose colours differ by at most `tolerance` per channel."""
    pairs = [(pa, pb) for row_a, row_b in zip(a, b) for pa, pb in zip(row_a, row_b)]
    return sum(all(abs(x - y) <= tolerance for x, y in zip(pa, pb)) for pa, pb in pairs) / len(pairs)


class MirrorTest(unittest.TestCase):
    def test_mirroring_keys_turn_the_picture(self):
        assets, catalogue = demo_pack()
        start = time.monotonic()
        with XServer() as x, Game(x, catalogue=catalogue, assets=assets) as game:
            game.wait_for_window()
            # The weapon's first animation settles into a still picture.
            previous, current = None, game.screenshot()
            while previous is None or agreement(samples(previous), samples(current)) < 0.97:
                self.assertLess(time.monotonic() - start, 30, "the picture never settled")
                previous, current = current, game.screenshot()
            normal = samples(current)
            pictures = {}
            for key in ("period", "slash", "backslash"):
                game.key(key)
                pictures[key] = samples(game.screenshot())
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
        self.assertLess(agreement(normal, samples(current, left_right=True)), 0.8, "the picture looks symmetric")
        self.assertGreater(agreement(pictures["period"], samples(current, left_right=True)), 0.9)
        self.assertGreater(agreement(pictures["slash"], samples(current, top_bottom=True)), 0.9)
        self.assertGreater(agreement(pictures["backslash"], samples(current, True, True)), 0.9)


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
