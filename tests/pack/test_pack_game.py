"""Packs played by the real game: two installed archives each hold gun.xml naming the same picture and sound
files, and each weapon, taken up by name on the command line, by its catalogue key or from F12's chooser,
shows its own picture and keeps its own row in scores.db; a pack folder found later under a name already
found is left out, and so is an archive dropped in by hand that adding would refuse; a weapon in a pack
folder loads again when its picture is saved, and a broken save's notice lists its pack's findings; a
pack's weapon is previewed by its name."""

import os
import subprocess
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, default_binary, demo_pack, scores_in  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "weapon"))
from test_live_reload_e2e import BLUE, GREEN, RED, solid_png  # noqa: E402

# The gun of every pack: one picture filling the screen at rest, and a sound named as the game names a sound of its own.
GUN = ('<kablixWeapon name="gun" allowInterrupt="false"><images><image id="0">gun.png</image></images>'
       '<sounds><sound id="0" offset="0">emptyClick</sound></sounds><shotTypes><single>1</single></shotTypes>'
       '<animations><animation name="idle0" frameCount="1"><frame img="0"/></animation>'
       '<animation name="shot0" frameCount="1" sound="0"><frame img="0"/></animation></animations></kablixWeapon>\n')
LOADED = "   [assetSerializer] SUCCESS!\n"


def pack_files(name, colour):
    with open(os.path.join(demo_pack()[0], "carbine_shot.ogg"), "rb") as sound:
        return {"pack.xml": '<kablixPack name="%s" title="Pack %s" version="1"/>' % (name, name), "gun.xml": GUN,
                "gun.png": solid_png(colour), "emptyClick.ogg": sound.read()}


class PackGame(unittest.TestCase):
    def test_two_packs_guns_show_their_own_pictures_keep_their_own_rows_and_a_folder_pack_reloads(self):
        game = Game(self.enterContext(XServer()), catalogue="0=carbine\n7=b/gun\n8=c/gun\n", assets=demo_pack()[0])
        self.addCleanup(game.close)
        packs, later = os.path.join(game.root, "mine"), os.path.join(game.root, "later")
        for name, colour in (("a", RED), ("b", BLUE)):
            archive = os.path.join(game.root, name + ".zip")
            with zipfile.ZipFile(archive, "w") as out:
                for file, data in pack_files(name, colour).items():
                    out.writestr(file, data)
            add = subprocess.run([default_binary(), "--packs", packs, "--add-pack", archive], cwd=game.workdir,
                                 capture_output=True, text=True)
            self.assertEqual(add.returncode, 0, add.stderr)
        for folder, name, colour in ((packs, "c", GREEN), (later, "a", GREEN)):
            os.makedirs(os.path.join(folder, name))
            for file, data in pack_files(name, colour).items():
                with open(os.path.join(folder, name, file), "wb") as out:
                    out.write(data.encode() if isinstance(data, str) else data)
        with zipfile.ZipFile(os.path.join(packs, "bomb.zip"), "w", zipfile.ZIP_DEFLATED) as out:  # dropped in by hand
            out.writestr("pack.xml", '<kablixPack name="bomb" title="Bomb" version="1"/>')
            out.writestr("gun.png", bytes(8 << 20))
        game.args = ["--packs", packs, "--packs", later, "a/gun"]
        game.start()
        game.wait_for_window()

        def shows(colour, what):
            _, _, n, rows = game.screenshot()
            self.assertTrue(all(abs(a - b) <= 12 for a, b in zip(rows[200][300 * n:300 * n + 3], colour)), what)

        game.wait_for_stdout(LOADED)
        shows(RED, "a/gun")
        game.click(284, 200)  # its shot plays the pack's sound
        game.wait_for_stdout("   E: shot ")
        time.sleep(0.5)
        self.assertGreater(game.loud_samples(), 2000, "the pack's sound was not heard")
        for key, colour, what in (("7", BLUE, "b/gun"), ("8", GREEN, "c/gun")):
            seen = len(game.stdout())
            game.key(key)
            game.wait_for_stdout(LOADED, after=seen)
            shows(colour, what)
        seen = len(game.stdout())
        temporary = os.path.join(packs, "c", ".gun.tmp")  # saved as editors save: renamed over the old file
        with open(temporary, "wb") as out:
            out.write(solid_png(RED))
        os.replace(temporary, os.path.join(packs, "c", "gun.png"))
        game.wait_for_stdout(LOADED, after=seen)
        shows(RED, "c/gun saved")
        with open(os.path.join(packs, "c", "gun.xml"), "w") as out:  # a broken save: its notice lists the pack's findings
            out.write(GUN.replace(">gun.png<", ">gone.png<"))
        game.wait_for_stdout("WEAPON LOADING CANCELLED!", after=seen)
        time.sleep(0.5)
        notice = game.stderr().split('Weapon "c/gun" was not loaded:', 1)[-1]
        self.assertRegex(notice[:300], r"/c/gun\.xml:1:\d+: error: IMAGE NOT FOUND:\s+gone\.png")
        seen = len(game.stdout())
        game.key("F12", "Up", "Return")  # the chooser: from c/gun in hand up to b/gun
        game.wait_for_stdout(LOADED, after=seen)
        game.key("Escape")
        shows(BLUE, "b/gun from the chooser")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        stderr = game.stderr()
        self.assertIn("%s/a is left out: the pack 'a' was found first in %s/a.zip" % (later, packs), stderr)
        self.assertIn("%s/bomb.zip is not a pack: entry 'gun.png' is packed more than 100:1" % packs, stderr)
        self.assertNotIn("cannot decode", stderr)
        self.assertEqual(stderr.count("not loaded"), 1, "only the broken save's")
        rows = scores_in(os.path.join(game.assetsdir, "scores.db"))
        self.assertEqual(sorted(name for name in rows if "/" in name or name == "gun"), ["a/gun", "b/gun", "c/gun"])
        self.assertEqual(rows["c/gun"]["used"], 2, "loaded, then loaded again on save")
        seen = len(game.stdout())
        game.args = ["--packs", packs, "--preview", "b/gun"]
        game.start().wait_for_window()
        game.wait_for_stdout("preview: idle0 1/1\n", after=seen)
        shows(BLUE, "b/gun previewed")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)


if __name__ == "__main__":
    unittest.main()
