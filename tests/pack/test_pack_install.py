"""Packs added, listed, replaced and removed by the real game from .zip archives, and hostile archives refused with
their reason named and nothing changed on disk; a pack made with kablix-check (--copy, --new), checked (--pack) and
exported (--export) the same to the byte, installed as exported, and an archive whose weapon fails the check refused."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import default_binary, demo_pack  # noqa: E402

CHECK = os.path.join(os.path.dirname(default_binary()), "kablix-check")

MANIFEST = '<kablixPack name="%s" title="Desert Arms" version="%s" author="A. Maker" license="CC-BY-4.0"/>'


def entry(name, data, mode=0, method=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name)
    info.compress_type, info.external_attr = method, mode << 16
    return info, data


def copied_carbine():
    """The entries of a pack holding the demo carbine as rifle, as kablix-check --copy writes it (pack.xml left out)."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([CHECK, "--assets", demo_pack()[0], "--copy", "carbine", folder + "/desert", "--as", "rifle"], check=True,
                       capture_output=True)
        return [entry(name, open(os.path.join(folder, "desert", name), "rb").read()) for name in
                sorted(os.listdir(folder + "/desert")) if name != "pack.xml"]


_GOOD = []


def good_entries():
    """The weapon every archive here holds, made once when the first test asks: ctest lists the tests before
    kablix-check is built."""
    if not _GOOD:
        _GOOD.extend(copied_carbine() + [entry("sub/", b"", 0o40755)])
    return _GOOD
HOSTILE = (  # what the archive holds besides the weapon, and the reason its refusal names
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("../evil.xml", "x")], "entry '../evil.xml' climbs out of the pack with '..'"),
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("sub\\..\\..\\evil", "x")], "climbs out of the pack with '..'"),
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("/tmp/evil", "x")], "entry '/tmp/evil' has an absolute path"),
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("shot.ogg", "/etc/passwd", 0o120777)], "entry 'shot.ogg' is a symbolic link"),
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("tty", "", 0o20666)], "entry 'tty' is a device or other special file"),
    ([entry("pack.xml", MANIFEST % ("desert", "1"))] + [entry("f%d" % i, "") for i in range(4094)], "it has more than 4096 entries"),
    ([entry("pack.xml", MANIFEST % ("desert", "1")), entry("bomb.png", bytes(8 << 20))], "entry 'bomb.png' is packed more than 100:1"),
    ([entry("pack.xml", MANIFEST % ("desert", "1"))] + [entry("big%d.ogg" % i, bytes(33 << 20), 0, zipfile.ZIP_STORED) for i in (1, 2)],
     "it unpacks to more than 64 MiB"),
    ([], "its pack.xml does not exist"),
    ([entry("pack.xml", MANIFEST % ("Desert", "1"))], "its pack.xml has the name 'Desert', but a pack's name is 1 to 24 of"),
    ([entry("pack.xml", "<kablixPack name=\"desert\" version=\"1\"/>")], "its pack.xml has no title"),
    (b"PK\x03\x04 not really", "it is not a zip archive"),
)


def tree(top):
    """Every path under top with its bytes, so any change on disk shows."""
    found = {}
    for folder, _, files in os.walk(top):
        found[folder] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                found[os.path.join(folder, name)] = f.read()
    return found


class PackInstallTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kablix-packs-")
        self.archives = tempfile.mkdtemp(prefix="kablix-archives-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.root, self.archives])
        os.mkdir(os.path.join(self.root, "play"))
        os.symlink(demo_pack()[0], os.path.join(self.root, "assets"))  # the base folder with the shared files

    def archive(self, name, contents):
        path = os.path.join(self.archives, name)
        if isinstance(contents, bytes):
            with open(path, "wb") as f:
                f.write(contents)
            return path
        with zipfile.ZipFile(path, "w") as archive:
            for info, data in contents:
                archive.writestr(info, data)
        return path

    def kablix(self, *args):
        run = subprocess.run([default_binary()] + list(args), cwd=os.path.join(self.root, "play"), capture_output=True, text=True)
        return run.returncode, run.stdout, run.stderr

    def check(self, *args, cwd="play", binary=CHECK, **env):
        run = subprocess.run([binary] + list(args), cwd=os.path.join(self.root, cwd), capture_output=True, text=True,
                             env=dict(os.environ, **env))
        return run.returncode, run.stdout, run.stderr

    def assertRefusedUnchanged(self, archive, reason, *args):
        before = tree(self.root)
        status, out, err = self.kablix("--add-pack", archive, *args)
        self.assertEqual((status, out, err.startswith("kablix: cannot add %s: " % archive), reason in err), (1, "", True, True), err)
        self.assertEqual(tree(self.root), before, reason)

    def test_hostile_archives_change_nothing_and_a_good_one_is_added_listed_replaced_and_removed(self):
        for number, (contents, reason) in enumerate(HOSTILE):
            hostile = contents if isinstance(contents, bytes) else good_entries() + contents
            self.assertRefusedUnchanged(self.archive("hostile%d.zip" % number, hostile), reason)
        self.assertFalse(os.path.exists(os.path.join(self.root, "packs")))

        packs = os.path.join(self.root, "packs")
        good = self.archive("desert.zip", [entry("pack.xml", MANIFEST % ("desert", "1.2"))] + good_entries())
        self.assertEqual(self.kablix("--add-pack", good), (0, "added pack desert 1.2 as ../packs/desert.zip\n", ""))
        with open(good, "rb") as source, open(os.path.join(packs, "desert.zip"), "rb") as installed:
            self.assertEqual(installed.read(), source.read())
        listed = 'desert %s "Desert Arms" by A. Maker (CC-BY-4.0): 1 weapon in ../packs/desert.zip\n'
        self.assertEqual(self.kablix("--list-packs"), (0, listed % "1.2", ""))

        newer = self.archive("desert-1.3.zip", [entry("pack.xml", MANIFEST % ("desert", "1.3"))] + good_entries())
        self.assertRefusedUnchanged(newer, "a pack named 'desert' is already installed in ../packs (--replace replaces it)")
        self.assertEqual(self.kablix("--add-pack", newer, "--replace")[:2], (0, "added pack desert 1.3 as ../packs/desert.zip\n"))
        self.assertEqual(sorted(os.listdir(packs)), ["desert.zip"])  # no temporary file is left
        other = os.path.join(self.root, "more")
        self.assertEqual(self.kablix("--packs", other, "--add-pack", good)[0], 0)
        self.assertEqual(self.kablix("--list-packs", "--packs", other, "--packs", "../packs")[1],
                         listed % "1.3" + (listed % "1.2").replace("../packs", other))

        self.assertEqual(self.kablix("--remove-pack", "desert"), (0, "removed pack desert from ../packs\n", ""))
        self.assertEqual(os.listdir(packs), [])
        self.assertEqual(self.kablix("--remove-pack", "desert")[::2], (1, "kablix: cannot remove pack desert: no pack named "
                                                                          "'desert' is installed in ../packs\n"))
        self.assertEqual(self.kablix("--remove-pack", "../more/desert")[0], 1)
        self.assertTrue(os.path.exists(os.path.join(other, "desert.zip")))

    def test_a_copied_weapon_checks_clean_exports_the_same_bytes_and_installs_as_exported_and_a_failing_one_is_refused(self):
        desert = os.path.join(self.archives, "desert")
        copied = self.check("--copy", "carbine", desert, "--as", "rifle")
        self.assertEqual((copied[0], copied[1].splitlines()[-1]), (0, "take it up with: kablix --packs %s desert/rifle" % self.archives))
        with open(os.path.join(desert, "rifle.xml")) as weapon:
            self.assertIn("<sound id=\"0\" offset=\"0\">rifle_shot</sound>", weapon.read())  # its own files renamed, shared ones not
        self.assertFalse(os.path.exists(os.path.join(desert, "fx_spark.png")))
        self.assertEqual(self.check("--pack", desert)[:2], (0, "1 weapon checked: 0 errors, 0 warnings\n"))
        with open(os.path.join(desert, "extra.png"), "wb") as extra:
            extra.write(b"x")
        warned = desert + "/extra.png:1:1: warning: no weapon of the pack names this file; remove it or name it\n"
        self.assertEqual(self.check("--export", desert, "--out", self.archives)[:2], (1, warned + "1 weapon checked: 0 errors, 1 warning\n"))
        os.remove(os.path.join(desert, "extra.png"))

        exported = os.path.join(self.archives, "desert-1.0.zip")
        self.assertFalse(os.path.exists(exported))  # not while the check found anything
        made = []
        for when in (1e9, 2e9):  # the same folder with other times gives the same bytes
            for name in os.listdir(desert):
                os.utime(os.path.join(desert, name), (when, when))
            self.assertEqual(self.check("--export", desert, "--out", self.archives)[0], 0)
            with open(exported, "rb") as f:
                made.append(f.read())
        self.assertEqual(made[0], made[1])
        self.assertEqual(self.kablix("--add-pack", exported), (0, "added pack desert 1.0 as ../packs/desert.zip\n", ""))
        with open(os.path.join(self.root, "packs", "desert.zip"), "rb") as installed, zipfile.ZipFile(exported) as archive:
            self.assertEqual(installed.read(), made[0])
            self.assertEqual(archive.namelist(), sorted(os.listdir(desert)))  # sorted, all at one fixed time
            self.assertEqual({(info.date_time, info.extra) for info in archive.infolist()}, {((1980, 1, 1, 0, 0, 0), b"")})
            for name in archive.namelist():
                with open(os.path.join(desert, name), "rb") as original:
                    self.assertEqual(archive.read(name), original.read(), name)

        broken = [(info, data.replace(b">rifle_bg.png<", b">rifle_bgx.png<")) for info, data in good_entries()]
        self.assertRefusedUnchanged(self.archive("broken.zip", [entry("pack.xml", MANIFEST % ("broken", "1"))] + broken),
                                    "its weapons fail the weapon check (1 findings)\nbroken/rifle.xml:10:5: error: IMAGE NOT FOUND: "
                                    "rifle_bgx.png")

        # The installed kablix-check, run where no game folder is, makes a pack of its own in the player's packs folder
        # and checks it against the installed game's base folder.
        games, home = os.path.join(self.archives, "usr", "games"), os.path.join(self.archives, "data")
        os.makedirs(games)
        os.makedirs(os.path.join(self.archives, "usr", "share", "games", "kablix"))
        os.symlink(demo_pack()[0], os.path.join(self.archives, "usr", "share", "games", "kablix", "assets"))
        installed = shutil.copy(CHECK, games)
        made = self.check("--new", "zapper", cwd=games, binary=installed, XDG_DATA_HOME=home)
        self.assertEqual((made[0], made[1].splitlines()[-1]), (0, "take it up with: kablix zapper/zapper"), made[2])
        self.assertEqual(self.check("--pack", home + "/kablix/packs/zapper", cwd=games, binary=installed)[:2],
                         (0, "1 weapon checked: 0 errors, 0 warnings\n"))
        self.assertEqual(self.check("--new", "gun", "--pack", self.archives + "/Not_A_Name")[0], 1)
        self.assertFalse(os.path.exists(self.archives + "/Not_A_Name"))


if __name__ == "__main__":
    unittest.main()
