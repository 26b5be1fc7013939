"""The game as installed: the launcher gives a player a folder of their own (and makes none for --help and
--version), names the game as the player called it, and the guide's walkthrough runs there as written; the .deb
holds what an installation needs, names its Debian dependencies and passes lintian, appstreamcli and
desktop-file-validate."""

import gzip
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, default_binary  # noqa: E402

BUILD = os.path.dirname(os.path.abspath(default_binary()))
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def walkthrough():
    with open(os.path.join(SOURCE, "docs", "weapon-format.md")) as guide:
        return re.search(r"```sh walkthrough\n(.*?)```", guide.read(), re.S).group(1)


def escape_each_window(x, process):
    """Presses Escape in each game window that opens while `process` runs."""
    while process.poll() is None:
        for window in x.xdotool("search", "--onlyvisible", "--name", "^Kablix$", check=False).split():
            time.sleep(1.5)
            x.xdotool("windowfocus", "--sync", window, check=False)
            x.xdotool("key", "Escape", check=False)
        time.sleep(0.3)


class InstallTest(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="kablix-install-")
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name

    def test_launcher_plays_from_the_players_own_folder_where_the_guides_walkthrough_runs(self):
        prefix, home = os.path.join(self.root, "usr"), os.path.join(self.root, "home")
        launcher, own = os.path.join(prefix, "games", "kablix"), os.path.join(home, ".local", "share", "kablix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True, capture_output=True)
        env = dict(os.environ, HOME=home, XDG_DATA_HOME="")
        for option, out in (("--help", "usage: kablix [--scale N] [--room NAME [--room-key FILE]] [--port N] [WEAPON]\n"), ("--version", "kablix ")):
            answer = subprocess.run([launcher, option], env=env, capture_output=True, text=True)
            self.assertEqual((answer.returncode, answer.stdout.startswith(out), answer.stderr), (0, True, ""))
        self.assertFalse(os.path.exists(home), "--help and --version make no folder")
        for args, err in ((["--scale", "5"], "kablix: --scale 5 is out of range (1 to 4)\n"),
                          (["--bogus"], "kablix: unknown option --bogus (kablix --help lists them)\n")):
            refused = subprocess.run([launcher] + args, env=env, capture_output=True, text=True)
            self.assertEqual((refused.returncode, refused.stderr), (2, err))
        with XServer() as x:
            game = Game(x, catalogue=None, binary=launcher, env={"HOME": home, "XDG_DATA_HOME": ""})
            self.addCleanup(game.close)
            game.start().wait_for_window()
            deadline = time.monotonic() + 30
            while "   E: shot " not in game.stdout() and time.monotonic() < deadline:
                game.mouse_down(284, 160)
                time.sleep(0.3)
                game.mouse_up()
            game.key("Escape")
            self.assertEqual(game.wait(), 0, game.stderr())
            self.assertIn("   E: shot ", game.stdout())
            self.assertTrue(os.path.isfile(os.path.join(own, "assets", "scores.db")))
            self.assertTrue(os.path.islink(os.path.join(own, "assets", "EFFECTS.xml")))
            self.assertTrue(os.path.isfile(os.path.join(own, "play", "gunList.txt")))
            self.assertFalse(os.path.exists(os.path.join(prefix, "share", "games", "kablix", "assets", "scores.db")))

            path = os.path.join(prefix, "games") + os.pathsep + os.environ["PATH"]
            script = subprocess.Popen(["bash", "-e", "-c", walkthrough()], env=dict(x.env(), HOME=home, PATH=path,
                                      XDG_DATA_HOME="", SDL_AUDIODRIVER="dummy"), cwd=self.root,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            threading.Thread(target=escape_each_window, args=(x, script), daemon=True).start()
            out, err = script.communicate(timeout=100)
        self.assertEqual(script.returncode, 0, err)
        archive = os.path.join(self.root, "t.zip")  # the player's packs folder is where packs go
        with zipfile.ZipFile(archive, "w") as pack:
            pack.writestr("pack.xml", '<kablixPack name="t" title="T" version="1"/>')
        added = subprocess.run([launcher, "--add-pack", archive], env=env, capture_output=True, text=True)
        self.assertEqual((added.returncode, os.listdir(os.path.join(own, "packs"))), (0, ["t.zip"]), added.stderr)
        self.assertIn("\n5=blaster\n", out)
        self.assertIn("preview: ", out)
        self.assertTrue(out.endswith("\n5 weapons checked: 0 errors, 0 warnings\n"), out[-300:])

    def test_debian_package_holds_the_installation_passes_lintian_and_names_its_dependencies(self):
        subprocess.run(["cpack", "-G", "DEB", "-B", self.root], cwd=BUILD, check=True, capture_output=True)
        deb = next(os.path.join(self.root, f) for f in os.listdir(self.root) if f.endswith(".deb"))
        files = subprocess.run(["dpkg-deb", "-c", deb], check=True, capture_output=True, text=True).stdout
        for path in ("usr/games/kablix", "usr/games/kablix-check", "usr/lib/games/kablix/kablix",
                     "usr/share/games/kablix/play/gunList.txt", "usr/share/games/kablix/assets/EFFECTS.xml",
                     "usr/share/man/man6/kablix.6.gz", "usr/share/man/man1/kablix-check.1.gz",
                     "usr/share/doc/kablix/copyright", "usr/share/doc/kablix/changelog.gz",
                     "usr/share/applications/kablix.desktop", "usr/share/icons/hicolor/scalable/apps/kablix.svg",
                     "usr/share/metainfo/org.kablix.kablix.metainfo.xml"):
            self.assertIn("./" + path + "\n", files)
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True, capture_output=True, text=True).stdout
        for package in ("libsdl1.2debian", "libsqlite3-0", "libvorbisidec1", "libenet7"):
            self.assertIn(package, depends)
        lintian = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True, text=True)
        self.assertEqual((lintian.returncode, re.findall(r"^[EW]: .*", lintian.stdout, re.M)), (0, []))

        tree = os.path.join(self.root, "tree")
        subprocess.run(["dpkg-deb", "-x", deb, tree], check=True)
        share, metainfo = os.path.join(tree, "usr", "share"), os.path.join(tree, "usr", "share", "metainfo",
                                                                              "org.kablix.kablix.metainfo.xml")
        for check in (["appstreamcli", "validate", "--no-net", "--pedantic", metainfo],
                      ["appstreamcli", "validate-tree", "--no-net", tree],
                      ["desktop-file-validate", share + "/applications/kablix.desktop"]):
            done = subprocess.run(check, capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        version = subprocess.run(["dpkg-deb", "-f", deb, "Version"], capture_output=True, text=True).stdout.strip()
        with open(metainfo) as release:
            self.assertIn('<release version="%s" ' % version, release.read())
        with gzip.open(share + "/man/man6/kablix.6.gz", "rt") as page:
            options = page.read()
        for option in re.findall(r'\{"(--[a-z-]+)"', open(os.path.join(SOURCE, "app", "optionTable.h")).read()):
            self.assertIn("\n.B %s" % option.replace("-", "\\-"), options)


if __name__ == "__main__":
    unittest.main()
