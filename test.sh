#!/usr/bin/env bash
# Runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

./build.sh --no-demo
(cd build && ctest --output-on-failure -j"$(nproc)")

# The sanitizer build reuses the data directory of the normal build: the
# data are the same, only the code is compiled differently.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZORVSEG_SANITIZE=ON \
      -DZORVSEG_BENCH=OFF -DZORVSEG_PREBUILT_DATA="$PWD/build/data" >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$(nproc)")
