"""kablix-check --new writes a weapon into a pack that checks clean, never writes over it, and plays in the real game: auto fire
empties the magazine, an empty press clicks, the reload refills it and single fire shoots again, all through its WAV sounds."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, _wait_until, demo_pack  # noqa: E402


def contents(folder):
    """{file name: bytes} of the new weapon's files."""
    found = {}
    for name in os.listdir(folder):
        if name.startswith("blaster"):
            with open(os.path.join(folder, name), "rb") as f:
                found[name] = f.read()
    return found


class ScaffoldTest(unittest.TestCase):
    def test_new_weapon_checks_clean_is_never_overwritten_and_plays(self):
        assets, catalogue = demo_pack()
        check = os.path.join(os.path.dirname(assets), "kablix-check")
        with tempfile.TemporaryDirectory() as root:
            pack = os.path.join(root, "pack")
            shutil.copytree(assets, pack, ignore=shutil.ignore_patterns("scores.db*"))
            with open(os.path.join(root, "list.txt"), "w") as listed:
                listed.write(catalogue)

            def run(*args):
                return subprocess.run([check, "--assets", pack, "--catalogue", "list.txt"] + list(args), cwd=root,
                                      capture_output=True, text=True)

            made = run("--new", "blaster")
            self.assertEqual((made.returncode, made.stdout.splitlines()[-1]), (0, "5=blaster"), made.stderr)  # keys 0-4 are taken
            written = contents(pack)
            self.assertEqual(len(written), 13)
            self.assertEqual(run("blaster").stdout, "1 weapon checked: 0 errors, 0 warnings\n")
            for name, status in (("blaster", 1), ("blaster.xml", 1), ("../blaster", 2), ("", 2)):  # blaster.xml is blaster
                refused = run("--new", name)
                self.assertEqual((refused.returncode, refused.stdout), (status, ""), name)
                self.assertTrue(status == 2 or pack + "/blaster.xml exists\n" in refused.stderr, refused.stderr)
            self.assertEqual(contents(pack), written)
            self.assertFalse(os.path.exists(os.path.join(root, "blaster.xml")))

            with XServer() as x, Game(x, catalogue=catalogue + made.stdout.splitlines()[-1] + "\n", assets=pack) as game:
                game.wait_for_window()
                loads = game.stdout().count("   Portrait: ")
                game.key("5")
                _wait_until(lambda: game.stdout().count("   Portrait: ") > loads, 20, "the new weapon to load")
                game.mouse_down(284, 200)  # auto fire through all twelve rounds
                time.sleep(2.5)
                game.mouse_up()
                time.sleep(0.5)
                game.click(284, 200)
                game.key("Return")
                time.sleep(1.5)
                game.key("space")  # auto to single
                game.click(284, 200)
                time.sleep(0.5)
                game.key("Escape")
                self.assertEqual(game.wait(), 0)
                played = game.stdout().split("   Portrait: ")[-1]
                self.assertEqual(played.count("   E: shot data1: 2 data2: 1\n"), 12)  # the whole magazine
                for event in ("emptyShot data1: 2", "reload data1: 2", "switchedMode data1: 0", "shot data1: 0 data2: 1"):
                    self.assertIn("   E: " + event, played)
                self.assertEqual([line for line in played.splitlines() if line.startswith(("E: (", "W: ("))], [])
                self.assertGreater(game.loud_samples(), 20000, "the shots were not heard")


if __name__ == "__main__":
    unittest.main()
