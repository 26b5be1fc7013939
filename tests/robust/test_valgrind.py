"""A scripted session of the real game under memcheck: fire, switch modes, reload, mirror, take
simulated hits, switch weapons, compose a status message, take a screenshot, quit. Memcheck finds no
invalid access and no leak in the program's own code (valgrind.supp names what the X11 libraries,
Mesa and SDL keep for the whole run)."""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
from kablix_e2e import Game, XServer, default_binary, demo_pack  # noqa: E402

MESA_DRIVER = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"


class ValgrindSession(unittest.TestCase):
    def test_scripted_session_is_clean_under_memcheck(self):
        if not shutil.which("valgrind"):
            self.skipTest("valgrind is not installed")
        assets, catalogue = demo_pack()
        x = XServer()
        self.addCleanup(x.close)
        log = os.path.abspath("valgrind-session.log")
        args = ["--leak-check=full", "--show-leak-kinds=definite,indirect", "--errors-for-leak-kinds=definite,indirect",
                "--num-callers=40", "--suppressions=" + os.path.join(os.path.dirname(__file__), "valgrind.supp"),
                "--log-file=" + log, os.path.abspath(default_binary())]
        # Mesa's plain software rasteriser (no generated code for memcheck to follow), its driver kept
        # loaded to the end so that what it keeps is named in the leak report.
        env = dict(LIBGL_ALWAYS_SOFTWARE="1", GALLIUM_DRIVER="softpipe", LD_PRELOAD=MESA_DRIVER)
        game = Game(x, catalogue, assets, args, "dummy", binary=shutil.which("valgrind"), env=env)
        self.addCleanup(game.close)
        game.start().wait_for_window(timeout=300)
        # A frame takes a long while here: each step waits for the line that shows it was done.
        game.wait_for_stdout("   E: switchedMode data1: ", timeout=300)
        for _ in range(30):  # the first press plays the carbine's intro, later ones fire
            game.click(284, 160)
            time.sleep(2)
            if "   E: shot data1: " in game.stdout():
                break
        game.key("space", "Return", "comma", "period", "slash", "backslash", "comma", delay_ms=200)
        game.key("shift+1", "shift+2", delay_ms=500)
        game.wait_for_stdout("   E: incomingHit data1: 2 ", timeout=300)
        game.key("1")
        game.wait_for_stdout("   Portrait: ", timeout=300)
        game.mouse_down(284, 160)
        time.sleep(3)
        game.mouse_up()
        game.key("equal", "F1", delay_ms=500)
        time.sleep(3)
        game.key("Escape")
        self.assertEqual(game.wait(timeout=600), 0)
        with open(log) as f:
            report = f.read()
        self.assertIn("ERROR SUMMARY: 0 errors", report, "memcheck's report (in full: %s):\n%s" % (log, report[-20000:]))


if __name__ == "__main__":
    unittest.main()
