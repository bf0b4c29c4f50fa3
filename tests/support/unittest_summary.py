"""Runs the unittest tests of a test script and ends with the line
"N passed, N failed", which the CI reads."""
import sys
import unittest


def run_tests(argv):
    """Runs the tests of __main__ with the unittest arguments argv; exits."""
    result = unittest.main(module="__main__", argv=[sys.argv[0], *argv], exit=False,
                           verbosity=1).result
    failed = len(result.failures) + len(result.errors)
    print(f"{result.testsRun - failed} passed, {failed} failed")
    sys.exit(1 if failed else 0)
