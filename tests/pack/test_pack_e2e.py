"""The demo pack passes kablix-check clean; in the real game each weapon key takes its weapon up with the check's flags, it
fires in every mode it offers and reloads, every Shift test hit plays, the shots are heard, and no error or warning is written.
A weapon the game refuses is explained on screen, over the weapon in hand (at the start, key 0's) clear of its rounds."""

import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, _wait_until, demo_pack  # noqa: E402

SHARED = ("damage.txt emptySound.ogg ShellsHittingFloor1.ogg death01.ogg death02.ogg death03.ogg resurrect.ogg dodgeOn.ogg "
          "dodgeOff.ogg dodgeFail.ogg dodgeShieldRecharged.ogg _switchModeButton.png _shield.png _helmetBodyArmor.png _deathGUI.png "
          "_deathGAME.png" + "".join(" Digout_0%d.ogg" % n for n in range(1, 7))).split()
WEAPON_KEYS = {"2": ("carbine", 0, 0), "3": ("rotary", 1, 0), "4": ("pulsar", 0, 1), "1": ("sidearm", 0, 0)}


class PackGameTest(unittest.TestCase):
    def test_every_weapon_loads_fires_in_each_mode_reloads_and_takes_every_hit(self):
        assets, catalogue = demo_pack()
        check = [os.path.join(os.path.dirname(assets), "kablix-check")]
        clean = subprocess.run(check, cwd=os.path.join(assets, "..", "play"), capture_output=True, text=True).stdout
        self.assertEqual(clean, "4 weapons checked: 0 errors, 0 warnings\n")
        with tempfile.TemporaryDirectory() as empty:  # a catalogue naming a weapon that is not there, in a pack without effects
            with open(os.path.join(empty, "list.txt"), "w") as catalogue_file:
                catalogue_file.write("0=ghost\n")
            out = subprocess.run(check + ["--assets", empty, "--catalogue", "list.txt"], cwd=empty, capture_output=True, text=True).stdout
        missing = "{0}/%s:1:1: error: missing: every weapon relies on this shared file of the base folder\n"
        self.assertEqual(out, ("list.txt:1:3: error: key 0 names weapon 'ghost', but {0}/ghost.xml does not exist\n{0}/EFFECTS.xml:1:1: "
                               "error: cannot open the hit effects file, so no shot number sent by a frame has an effect\n" +
                               "".join(missing % name for name in sorted(SHARED)) + "0 weapons checked: 24 errors, 0 warnings\n").format(empty))
        with XServer() as x, Game(x, catalogue=catalogue, assets=assets) as game:
            game.wait_for_window()
            for key, (name, background_off, portrait) in WEAPON_KEYS.items():
                loads = game.stdout().count("   Portrait: ")
                game.key(key)
                _wait_until(lambda: game.stdout().count("   Portrait: ") > loads, 20, "weapon key %s to load its weapon" % key)
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
                events = ["   E: shot data1: %d " % mode for mode in modes] + ["   E: reload data1: "]
                self.assertEqual([event for event in events if event not in played], [], name)
            game.key(*["shift+%d" % effect for effect in range(1, 7)], delay_ms=800)
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            out = game.stdout()
            self.assertEqual([e for e in range(1, 7) if "   E: incomingHit data1: %d " % e not in out], [])
            self.assertEqual([line for line in out.splitlines() if line.startswith(("E: (", "W: (")) or "WARNING" in line], [])
            self.assertGreater(game.loud_samples(), 20000, "the shots were not heard")

    def test_a_refused_weapon_is_explained_over_the_weapon_in_hand_clear_of_its_rounds(self):
        def white(screenshot, top, bottom, right=560):  # the notice's text is white; nothing of the sidearm is
            _, _, n, rows = screenshot
            return sum(1 for row in rows[top:bottom] for x in range(0, right) if min(row[x * n:x * n + 3]) > 200)

        assets, _ = demo_pack()
        with open(os.path.join(assets, "sidearm.xml")) as f:
            sidearm = f.read()
        with XServer() as x:
            # A start weapon that cannot be loaded is explained over key 0's weapon, along the top: the
            # sidearm's rounds are along the bottom.
            game = Game(x, catalogue="0=sidearm\n9=broken\n", assets=assets, args=["broken"])
            self.addCleanup(game.close)
            for name, text in (("broken", sidearm.replace(">sidearm_open.png<", ">sidearm_opne.png<")),
                               ("loose", sidearm.replace(' allowInterrupt="true"', ""))):
                with open(os.path.join(game.assetsdir, name + ".xml"), "w") as f:
                    f.write(text)
            game.start().wait_for_window()
            shown = game.screenshot()
            self.assertGreater(white(shown, 0, 60), 300, "no notice along the top")
            self.assertLess(white(shown, 270, 320, 150), 30, "the notice covers the rounds")
            not_loaded = r'kablix: Weapon "broken" was not loaded:\n.*sidearm_opne'
            _wait_until(lambda: re.search(not_loaded, game.stderr()), 10, "the notice on standard error")
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            # One whose check fails but which loads is in hand, and says so.
            game.args = ["loose"]
            game.start().wait_for_window()
            with_problems = r'kablix: Weapon "loose" loaded with problems:\n.*allowInterrupt'
            _wait_until(lambda: re.search(with_problems, game.stderr()), 10, "the notice on standard error")
            time.sleep(8.5)  # the notice goes
            in_hand = white(game.screenshot(), 0, 60)
            game.key("9")
            game.wait_for_stdout("   WEAPON LOADING CANCELLED!")
            self.assertGreater(white(game.screenshot(), 0, 60), in_hand + 300)
            fired = game.stdout().count("   E: shot data1: ")
            game.click(284, 200)
            _wait_until(lambda: game.stdout().count("   E: shot data1: ") > fired, 5, "the weapon in hand to fire")
            game.key("Escape")
            self.assertEqual(game.wait(), 0)
            self.assertNotIn("broken.xml:", game.stdout(), "the checker's findings are for standard error and the screen")


if __name__ == "__main__":
    unittest.main()
