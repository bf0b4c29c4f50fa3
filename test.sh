#!/usr/bin/env bash
# Runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the thread check
# built with ThreadSanitizer, then a short run of each fuzz target
# (ZORVSEG_FUZZ_SECONDS each, 20 by default; 0 leaves fuzzing out).
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

# Fuzzing: the fuzz targets built with clang and libFuzzer on the same data,
# each run briefly from seeds made of the data files and real text.
fuzz_seconds=${ZORVSEG_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ]; then
  cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DZORVSEG_FUZZ=ON \
        -DZORVSEG_BENCH=OFF -DZORVSEG_PREBUILT_DATA="$PWD/build/data" >/dev/null
  cmake --build build-fuzz -j"$(nproc)" --target fuzzers
  fuzz/run_fuzzers.sh build-fuzz "$fuzz_seconds"
fi
