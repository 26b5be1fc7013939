"""Prints the Class.test_method name of every test an end-to-end script holds, one per line, as
unittest finds them (generated tests included). Used by KablixE2E.cmake at configure time."""

import importlib.util
import os
import sys
import unittest

script = os.path.abspath(sys.argv[1])
sys.path.insert(0, os.path.dirname(script))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
spec = importlib.util.spec_from_file_location(os.path.splitext(os.path.basename(script))[0], script)
module = importlib.util.module_from_spec(spec)
spec.loader.exec_module(module)


def names(suite):
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            yield from names(test)
        else:
            yield "%s.%s" % (type(test).__name__, test._testMethodName)


for name in names(unittest.defaultTestLoader.loadTestsFromModule(module)):
    print(name)
