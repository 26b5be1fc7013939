"""The game as installed: the launcher gives a player a folder of their own, and the .deb holds
what an installation needs and names its Debian dependencies."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, default_binary  # noqa: E402

BUILD = os.path.dirname(os.path.abspath(default_binary()))


class InstallTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="kablix-install-")
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name

    def test_launcher_plays_from_the_players_own_folder(self):
        prefix, home = os.path.join(self.root, "usr"), os.path.join(self.root, "home")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True, capture_output=True)
        with XServer() as x:
            game = Game(x, catalogue=None, binary=os.path.join(prefix, "bin", "kablix"),
                        env={"HOME": home, "XDG_DATA_HOME": ""})
            self.addCleanup(game.close)
            game.start().wait_for_window()
            deadline = time.monotonic() + 30
            while "   E: shot " not in game.stdout() and time.monotonic() < deadline:
                game.mouse_down(284, 160)
                time.sleep(0.3)
                game.mouse_up()
            game.key("Escape")
            self.assertEqual(game.wait(), 0, game.stderr())
        own = os.path.join(home, ".local", "share", "kablix")
        self.assertIn("   E: shot ", game.stdout())
        self.assertTrue(os.path.isfile(os.path.join(own, "assets", "scores.db")))
        self.assertTrue(os.path.islink(os.path.join(own, "assets", "EFFECTS.xml")))
        self.assertTrue(os.path.isfile(os.path.join(own, "play", "gunList.txt")))
        self.assertFalse(os.path.exists(os.path.join(prefix, "share", "kablix", "assets", "scores.db")))

    def test_debian_package_holds_the_installation_and_its_dependencies(self):
        subprocess.run(["cpack", "-G", "DEB", "-B", self.root], cwd=BUILD, check=True, capture_output=True)
        deb = next(os.path.join(self.root, f) for f in os.listdir(self.root) if f.endswith(".deb"))
        files = subprocess.run(["dpkg-deb", "-c", deb], check=True, capture_output=True, text=True).stdout
        for path in ("usr/bin/kablix", "usr/bin/kablix-check", "usr/lib/kablix/kablix", "usr/share/kablix/play/gunList.txt",
                     "usr/share/kablix/assets/EFFECTS.xml", "usr/share/man/man6/kablix.6",
                     "usr/share/applications/kablix.desktop", "usr/share/icons/hicolor/scalable/apps/kablix.svg"):
            self.assertIn("./" + path + "\n", files)
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True, capture_output=True, text=True).stdout
        for package in ("libsdl1.2debian", "libsqlite3-0", "libvorbisidec1", "libenet7"):
            self.assertIn(package, depends)


if __name__ == "__main__":
    unittest.main()
