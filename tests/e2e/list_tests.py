"""Prints the Class.test_method name of every test in an end-to-end script as unittest finds it
(generated tests included), one a line; KablixE2E.cmake registers each with CTest."""
import importlib.util
import os
import sys
import unittest

sys.path[:0] = [os.path.dirname(os.path.abspath(sys.argv[1])), os.path.dirname(os.path.abspath(__file__))]
spec = importlib.util.spec_from_file_location("script", sys.argv[1])
module = importlib.util.module_from_spec(spec)
spec.loader.exec_module(module)
suites = [unittest.defaultTestLoader.loadTestsFromModule(module)]
while suites:
    for test in suites.pop():
        if isinstance(test, unittest.TestSuite):
            suites.append(test)
        else:
            print("%s.%s" % (type(test).__name__, test._testMethodName))
