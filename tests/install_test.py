#!/usr/bin/env python3
"""Installs the build into a temporary prefix and uses it as another
project would: the installed zorvseg without --data, a program built through
find_package(zorvseg) and one built through pkg-config. Run by ctest."""
import argparse
import os
import shlex
import subprocess
import sys
import tempfile
import unittest

ARGS = None
TEXT = "我爱北京天安门\n"

PROGRAM = r"""
#include <cstdio>
#include <cstring>
#include "zorvseg.h"

int main() {
  using namespace new_seg;
  if (!LxInitSeg(DATA_DIR)) return 1;
  HANDLE h = LxCreateSegHandle(kModeCommandLineDefault);
  const char* text = "我爱北京天安门";
  if (h == nullptr || !LxSegment(h, text, strlen(text), kCharsetUTF8)) return 1;
  for (size_t i = 0; i < LxGetResultCnt(h); ++i) printf("%s%s", i ? " " : "", LxGetWordAt(h, i));
  printf("\n");
  LxCloseSegHandle(h);
  LxUnInitSeg();
  return 0;
}
"""

CMAKE_PROJECT = """
cmake_minimum_required(VERSION 3.16)
project(demo LANGUAGES CXX)
find_package(zorvseg 0.1 REQUIRED)
add_executable(demo demo.cc)
target_link_libraries(demo PRIVATE zorvseg::zorvseg)
target_compile_definitions(demo PRIVATE DATA_DIR="${ZORVSEG_DATA_DIR}")
"""


def run(cmd, **kwargs):
    proc = subprocess.run(cmd, capture_output=True, timeout=600, **kwargs)
    if proc.returncode != 0:
        raise AssertionError(f"{cmd} failed ({proc.returncode}):\n"
                             f"{proc.stdout.decode(errors='replace')}"
                             f"{proc.stderr.decode(errors='replace')}")
    return proc.stdout.decode()


class Install(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.tmp.name, "prefix")
        run([ARGS.cmake, "--install", ARGS.build, "--prefix", cls.prefix])
        cls.expected = run([os.path.join(ARGS.build, "bin", "zorvseg")], input=TEXT.encode())

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.prefix, *parts)

    def test_layout_and_data_directory_of_data_files_only(self):
        for name in ("bin/zorvseg", "bin/zorvseg-build", "bin/zorvseg-train", "bin/zorvseg-eval",
                     "bin/zorvseg-dask",
                     "include/zorvseg.h", "include/zorvseg_types.h", "include/zorvseg_mode.h",
                     "share/zorvseg/core_dict.dat", "share/zorvseg/NOTICE",
                     "share/doc/libzorvseg/LICENSE", f"{ARGS.libdir}/cmake/zorvseg/zorvsegConfig.cmake",
                     f"{ARGS.libdir}/pkgconfig/zorvseg.pc"):
            self.assertTrue(os.path.exists(self.path(name)), name)
        self.assertIn("libzorvseg.so", os.listdir(self.path(ARGS.libdir)))
        data = os.listdir(self.path("share", "zorvseg"))
        self.assertFalse([n for n in data if "cmake" in n.lower() or n == "Makefile"], data)
        self.assertFalse([n for n in os.listdir(os.path.join(ARGS.build, "data"))
                          if n in ("CMakeFiles", "Makefile", "cmake_install.cmake")])

    def test_installed_tool_finds_the_installed_data(self):
        out = run([self.path("bin", "zorvseg")], input=TEXT.encode())
        self.assertEqual(out, self.expected)

    def test_program_built_with_find_package(self):
        src = os.path.join(self.tmp.name, "cmake-demo")
        os.makedirs(src)
        with open(os.path.join(src, "CMakeLists.txt"), "w") as f:
            f.write(CMAKE_PROJECT)
        with open(os.path.join(src, "demo.cc"), "w", encoding="utf-8") as f:
            f.write(PROGRAM)
        build = os.path.join(src, "build")
        run([ARGS.cmake, "-S", src, "-B", build, f"-DCMAKE_PREFIX_PATH={self.prefix}",
             f"-DCMAKE_CXX_COMPILER={ARGS.cxx}"])
        run([ARGS.cmake, "--build", build])
        self.assertEqual(run([os.path.join(build, "demo")]), self.expected)

    def test_program_built_with_pkg_config(self):
        env = dict(os.environ, PKG_CONFIG_PATH=self.path(ARGS.libdir, "pkgconfig"))

        def pkg_config(*args):
            return run(["pkg-config", *args, "zorvseg"], env=env).strip()

        src = os.path.join(self.tmp.name, "demo.cc")
        with open(src, "w", encoding="utf-8") as f:
            f.write(PROGRAM)
        exe = os.path.join(self.tmp.name, "pc-demo")
        data_dir = pkg_config("--variable=datadir")
        libdir = pkg_config("--variable=libdir")
        run([ARGS.cxx, "-std=c++17", src, "-o", exe, f'-DDATA_DIR="{data_dir}"',
             f"-Wl,-rpath,{libdir}", *shlex.split(pkg_config("--cflags", "--libs"))])
        self.assertEqual(run([exe]), self.expected)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--cxx", default="c++")
    parser.add_argument("--libdir", default="lib")
    ARGS, rest = parser.parse_known_args()
    result = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=1).result
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
