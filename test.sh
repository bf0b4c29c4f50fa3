#!/usr/bin/env bash
# Runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the thread check
# built with ThreadSanitizer.
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

# ThreadSanitizer: only the library and the thread check, on the same data.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVSEG_TSAN=ON \
      -DZORVSEG_BENCH=OFF -DZORVSEG_PREBUILT_DATA="$PWD/build/data" >/dev/null
cmake --build build-tsan -j"$(nproc)" --target thread_check
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/thread_check
