#!/usr/bin/env python3
"""zorvseg-dask on a local cluster of two worker processes: every file of a
small directory tree comes out as zorvseg writes it. Run by ctest, with the
first of the given interpreters that has Dask (Debian's python3-distributed
installs for /usr/bin/python3 only); skipped when none has it."""
import argparse
import os
import subprocess
import sys
import tempfile
import unittest

SKIP = 77
ARGS = None

# Lines that stress the block cutting and the line handling: white space
# words, an empty line, a URL and e-mail address, a last line without its
# newline.
MIXED = ("我爱北京天安门。\n  今天  天气 很好\tABC def\n\n"
         "访问https://example.com/a?b=1#x，发邮件给foo.bar@mail.com。")


def has_dask(python):
    return subprocess.run([python, "-c", "import distributed"], capture_output=True).returncode == 0


class DaskRecipe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.in_dir = os.path.join(cls.tmp.name, "in")
        os.makedirs(os.path.join(cls.in_dir, "sub", "deeper"))
        cls.files = {"mixed.txt": MIXED.encode(), "empty.txt": b"",
                     # More than one block of text (1 MB), lines of varied length.
                     "sub/long.txt": "".join(f"第{i}行：他说“这是{'很' * (i % 40)}好的测试”。\n"
                                             for i in range(25000)).encode(),
                     "sub/deeper/one line.txt": "只有一行".encode()}
        for rel, data in cls.files.items():
            with open(os.path.join(cls.in_dir, rel), "wb") as f:
                f.write(data)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def recipe(self, *args):
        return subprocess.run([ARGS.python, os.path.join(ARGS.bin, "zorvseg-dask"), *args],
                              capture_output=True, timeout=600)

    def zorvseg(self, fmt, data):
        return subprocess.run([os.path.join(ARGS.bin, "zorvseg"), "--data", ARGS.data,
                               "--format", fmt], input=data, capture_output=True,
                              check=True).stdout

    def test_outputs_equal_the_command_line(self):
        for fmt in ("pos", "mix"):
            with self.subTest(format=fmt):
                out_dir = os.path.join(self.tmp.name, "out-" + fmt)
                proc = self.recipe("--workers", "2", "--format", fmt, "--data", ARGS.data,
                                   self.in_dir, out_dir)
                self.assertEqual(proc.returncode, 0, proc.stderr.decode(errors="replace"))
                for rel, data in self.files.items():
                    with open(os.path.join(out_dir, rel), "rb") as f:
                        self.assertEqual(f.read(), self.zorvseg(fmt, data), rel)

    def test_usage_errors(self):
        missing = os.path.join(self.tmp.name, "missing")
        for args, status in ((["--workers", "0", self.in_dir, missing], 2),
                             (["--format", "json", self.in_dir, missing], 2),
                             ([self.in_dir, self.in_dir], 2),
                             ([missing, os.path.join(self.tmp.name, "out")], 1)):
            with self.subTest(args=args):
                proc = self.recipe(*args)
                self.assertEqual(proc.returncode, status, proc.stderr)
                self.assertIn(b"zorvseg-dask", proc.stderr)
        self.assertFalse(os.path.exists(missing))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--python", action="append", required=True,
                        help="interpreter to try (in order)")
    ARGS, rest = parser.parse_known_args()
    ARGS.python = next((p for p in ARGS.python if os.path.exists(p) and has_dask(p)), None)
    if ARGS.python is None:
        print("skipped: no interpreter here has Dask (Debian package python3-distributed)")
        sys.exit(SKIP)
    result = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
