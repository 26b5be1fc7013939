"""The weapon keys of the real game on the demo pack: a weapon failing the check is not taken up, the
reload key reaches the weapon in hand, and a weapon passing the check that cannot be read is not stored."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, demo_pack, scores_in  # noqa: E402

WEAPON = ('<kablixWeapon name="%s" allowInterrupt="false"><images><image id="0">%s.png</image></images><shotTypes>'
          '<single>1</single></shotTypes><animations><animation name="shot1" frameCount="3"><frame img="0"/></animation>'
          '</animations>%s</kablixWeapon>\n')


class WeaponKeys(unittest.TestCase):
    def test_weapon_keys_and_failed_loads(self):
        game = Game(self.enterContext(XServer()), catalogue="0=sidearm\n1=charge\n2=lost\n", assets=demo_pack()[0])
        self.addCleanup(game.close)
        for name, image, custom in (("charge", "sidearm_ready", "<custom><firstShotIsCharge>shot1</firstShotIsCharge></custom>"),
                                    ("lost", "lost", "")):
            with open(os.path.join(game.assetsdir, name + ".xml"), "w") as out:
                out.write(WEAPON % (name, image, custom))
        game.start()
        game.wait_for_window()
        game.wait_for_stdout("   [assetSerializer] SUCCESS!\n")
        for key, line in (("2", "IMAGE NOT FOUND: lost.png\n   WEAPON LOADING CANCELLED!\n"), ("Return", "   E: reload data1: ")):
            game.key(key)
            game.wait_for_stdout(line)
        game.key("1")  # the weapon in hand is put down before the new one is read
        game.wait_for_stdout("because there is no firstShot animation!\n   THE ASSET FAILED TO LOAD!\n")
        game.key("Escape")
        self.assertEqual(game.wait(), 0)
        scores = scores_in(os.path.join(game.assetsdir, "scores.db"))
        self.assertEqual(list(scores), ["Sidearm"])  # nothing of the weapon that did not load
        self.assertEqual([scores["Sidearm"][c] for c in ("used", "reload")], [1, 1])


if __name__ == "__main__":
    unittest.main()
