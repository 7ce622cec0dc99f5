#!/usr/bin/env bash
# The whole test suite on a fresh Debian machine: installs what it needs, then builds and tests
# the native launcher, the same with AddressSanitizer and UBSan, and the Windows launcher under
# wine. Any failure fails the run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake g++ make libgtest-dev googletest iproute2 util-linux nginx-light curl
          g++-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" = 0 ] || sudo_cmd=sudo
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

echo "== operating-system calls stay behind the platform layer"
scripts/check-os-includes.sh

echo "== native build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== native tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLAUNCHER_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize -j"$jobs" --output-on-failure

if [ -x scripts/windows-tests.sh ]; then
  echo "== Windows build (mingw-w64) and tests under wine"
  scripts/windows-tests.sh "$root/build"
fi

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing the parsers of server bytes"
  scripts/fuzz.sh
fi

echo "== all tests passed"
