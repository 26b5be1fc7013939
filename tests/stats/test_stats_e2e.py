"""Statistics seen from outside: the game is played over several runs while the disk or another
program causes a fault, and scores.db is then compared with the event lines the game wrote."""

import contextlib
import glob
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import SCORE_COLUMNS, Game, XServer, demo_pack, scores_from_events, scores_in  # noqa: E402

LOADED = "   E:  data1: -1 data2: -1\n"
WEAPON_OF_KEY = {"0": "Carbine", "1": "Sidearm", "3": "Rotary", "4": "Pulsar"}


def wait_for_count(game, text, count, action=lambda: None, timeout=30):
    """Repeats `action` until `text` is on standard output `count` times."""
    deadline = time.monotonic() + timeout
    while game.stdout().count(text) < count:
        assert time.monotonic() < deadline, "%r not seen %d times:\n%s" % (text, count, game.stdout())
        action()
        time.sleep(0.3)


def fire(game):
    """Holds the trigger until one more shot is logged: presses during an intro are refused, and a
    charged first shot (the rotary's) fires nothing if the button comes up before the charge ends."""
    wanted = game.stdout().count("   E: shot ") + 1
    deadline = time.monotonic() + 30
    while game.stdout().count("   E: shot ") < wanted:
        assert time.monotonic() < deadline, "no shot seen:\n" + game.stdout()
        game.mouse_down(284, 160)
        with contextlib.suppress(AssertionError):
            wait_for_count(game, "   E: shot ", wanted, timeout=2)
        game.mouse_up()


GAME_TABLE = ("CREATE TABLE score(name varchar(30), singleShot int, burstShot int, autoShot int, interruptedShot int, "
              "emptyShot int, reload int, modeSwitch int, idled int, hit int, damageTaken int, used int, deaths int%s)")
OLD_ROWS = [{"name": "Carbine", "singleShot": 5, "used": 2}, {"name": "Rotary", "autoShot": 90, "used": 1},
            {"name": "Old'un", "reload": 3}]

# name: the scores.db to start with (None: none; "random": noise; "tmpfs": none, on a small disk of
# its own; else schema, rows and whether the name index is then damaged); what happens across runs
# (keys switch weapons; lock/unlock: another connection's exclusive lock; full/free: the disk;
# keep/putback: a copy of the side file; run: the game starts again; equal: a status message); the
# kind of file kept aside.
FAULTS = {
    "lock_held_across_a_switch": (None, "fire lock 1 fire unlock 3 fire quit", None),
    "lock_held_across_exit": (None, "fire lock 1 fire quit unlock", None),
    "full_disk_freed_later": ("tmpfs", "fire full 1 fire free quit", None),
    "random_bytes": ("random", "fire equal 1 quit", "damaged"),
    "damaged_name_index_with_readable_rows": ((GAME_TABLE % ", UNIQUE(name)", OLD_ROWS, True), "fire quit", "damaged"),
    "table_without_unique_name": ((GAME_TABLE % "", OLD_ROWS + OLD_ROWS[:1], False), "fire quit", "foreign"),
    "extra_not_null_column": ((GAME_TABLE % ", owner text NOT NULL DEFAULT 'x', UNIQUE(name)", OLD_ROWS, False),
                              "fire quit", "foreign"),
    "missing_columns": (("CREATE TABLE score(name, singleShot int, autoShot, used, UNIQUE(name))",
                         [{k: v for k, v in r.items() if k != "reload"} for r in OLD_ROWS], False), "fire quit", "foreign"),
    "sighup": (None, "fire 1 equal fire hup", None),
    "killed_between_store_and_side_file_removal": (None, "fire lock quit unlock keep run quit putback", None),
}


class StoreFaultTest(unittest.TestCase):
    """After the fault is gone and the game has run once more, each weapon's row holds what its
    event lines over all runs add up to, plus what the old file held; nothing is left pending."""

    def play(self, start_with, script, aside):
        assets, catalogue = demo_pack()
        with contextlib.ExitStack() as stack:
            x = stack.enter_context(XServer())
            game = stack.enter_context(contextlib.closing(Game(x, catalogue=catalogue, assets=assets)))
            path = os.path.join(game.assetsdir, "scores.db")
            old = self.prepare(stack, game, path, start_with)
            loads, lock = [], None
            for step in ("run " + script + " run quit").split():
                if step == "run":
                    game.start()
                    game.wait_for_window()
                    loads.append("Carbine")
                elif step in WEAPON_OF_KEY:
                    loads.append(WEAPON_OF_KEY[step])
                    game.key(step)
                    wait_for_count(game, LOADED, len(loads))
                elif step == "fire":
                    fire(game)
                elif step == "equal":
                    game.key("equal")
                elif step in ("quit", "hup"):
                    game.key("Escape") if step == "quit" else game.process.send_signal(signal.SIGHUP)
                    self.assertEqual(game.wait(), 0, game.stdout())
                elif step == "lock":
                    lock = sqlite3.connect(path, isolation_level=None)
                    lock.execute("BEGIN EXCLUSIVE")
                elif step == "unlock":
                    lock.close()
                elif step == "full":
                    with contextlib.suppress(OSError), open(os.path.join(game.assetsdir, "filler"), "wb") as f:
                        while f.write(b"\0" * 4096):
                            f.flush()
                elif step == "free":
                    os.remove(os.path.join(game.assetsdir, "filler"))
                elif step == "keep":
                    shutil.copy(path + ".pending", game.root)
                elif step == "putback":  # as a game ended between storing and removing the side file
                    shutil.copy(os.path.join(game.root, "scores.db.pending"), game.assetsdir)
            out = game.stdout()
            rows, kept = scores_in(path), glob.glob(path + ".*-*")

        expected = scores_from_events(out, loads)
        for name, counts in old.items():
            expected.setdefault(name, dict.fromkeys(SCORE_COLUMNS, 0))
            for column, value in counts.items():
                expected[name][column] += value
        self.assertEqual(rows, expected, out)
        self.assertFalse(os.path.exists(path + ".pending"))
        self.assertEqual([os.path.basename(p).split("-")[0] for p in kept], ["scores.db." + aside] if aside else [])
        if "hup" not in script:  # every fault is named in the log
            self.assertIn("W: (QEL::cAssetMgr::storeEventsToDB) ", out)
        # Status messages are plain lines that name #Kablix.
        self.assertEqual(len([l for l in out.splitlines() if "#Kablix" in l and l[0] != " "]), script.count("equal"))

    def prepare(self, stack, game, path, start_with):
        """Makes the starting scores.db; returns the counts the game should take over from it."""
        old = {}
        if start_with == "random":
            with open(path, "wb") as f:
                f.write(os.urandom(8192))
        elif start_with == "tmpfs":
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", game.assetsdir], check=True)
            stack.callback(subprocess.run, ["umount", "-l", game.assetsdir])
            shutil.copytree(demo_pack()[0], game.assetsdir, dirs_exist_ok=True, ignore=shutil.ignore_patterns("scores.db*"))
        elif start_with:
            schema, rows, damage_index = start_with
            with contextlib.closing(sqlite3.connect(path)) as db, db:
                db.execute(schema)
                for row in rows:
                    db.execute("INSERT INTO score(%s) VALUES(%s)" % (", ".join(row), ", ".join("?" * len(row))),
                               list(row.values()))
                    counts = old.setdefault(row["name"], {})
                    for column in set(SCORE_COLUMNS) & row.keys():
                        counts[column] = counts.get(column, 0) + row[column]
                page, size = db.execute("SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master "
                                        "WHERE type = 'index'").fetchone() or (0, 0)
            if damage_index:  # the name index only: the table's own pages stay readable
                with open(path, "r+b") as f:
                    f.seek((page - 1) * size)
                    f.write(b"\xff" * size)
        return old


for _name, _row in FAULTS.items():
    setattr(StoreFaultTest, "test_" + _name, lambda self, row=_row: self.play(*row))

if __name__ == "__main__":
    unittest.main()
