"""The command line the gates' tests share: a work folder for the fixtures
they build, and the shipped executables of a build (--shipped ARCH=FILE)."""

import argparse
import os
import sys
import unittest


def main(settings):
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("--shipped", action="append", default=[])
    arguments, rest = parser.parse_known_args()
    settings.work = arguments.work
    settings.shipped = [tuple(item.split("=", 1)) for item in arguments.shipped]
    os.makedirs(settings.work, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
