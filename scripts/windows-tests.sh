#!/bin/sh
# Cross-builds the launcher and its tests for Windows with mingw-w64 into build-windows/, runs
# that tree's tests under wine, then runs the native end-to-end driver against
# zelmora-launcher.exe under wine.
#
#   scripts/windows-tests.sh [NATIVE_BUILD_DIR | NATIVE_E2E_BINARY]
#
# The argument (or env ZELMORA_NATIVE_E2E) names the native build folder, e.g. build, or its
# e2e_tests binary; without one, or when that build has no e2e_tests, the end-to-end step is
# skipped. ZELMORA_WINDOWS_BUILD overrides the Windows build folder.
#
# Everything that runs wine runs in one private network namespace with only loopback up, and
# the wineserver is started inside it: wine makes its sockets in the wineserver, so a server
# outside the namespace would put the tests' port 80 on the machine's own network.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZELMORA_WINDOWS_BUILD:-$root/build-windows}
e2e=${1:-${ZELMORA_NATIVE_E2E:-}}

fail() {
  echo "windows-tests: $*" >&2
  exit 1
}

if [ "${ZELMORA_WINDOWS_STAGE:-}" != run ]; then
  for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix; do
    command -v "$tool" >/dev/null ||
      fail "$tool not found: install g++-mingw-w64-x86-64-posix and gcc-mingw-w64-x86-64-posix"
  done
  for tool in wine wineboot wineserver winepath; do
    command -v "$tool" >/dev/null || fail "$tool not found: install wine and wine64"
  done
  for tool in cmake ctest unshare ip; do
    command -v "$tool" >/dev/null || fail "$tool not found"
  done
  if [ -n "$e2e" ] && [ -d "$e2e" ]; then
    if [ -x "$e2e/tests/e2e_tests" ]; then
      e2e=$(cd "$e2e/tests" && pwd)/e2e_tests
    else
      echo "windows-tests: $e2e has no tests/e2e_tests, end-to-end step skipped"
      e2e=
    fi
  elif [ -n "$e2e" ] && [ ! -x "$e2e" ]; then
    fail "native end-to-end driver $e2e is missing: build the native tree first"
  fi

  if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" >/dev/null
  else
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
  fi
  cmake --build "$build" -j2

  ZELMORA_WINDOWS_STAGE=run ZELMORA_WINDOWS_BUILD=$build ZELMORA_NATIVE_E2E=$e2e \
    exec "$root/scripts/in-netns.sh" sh "$0"
fi

# From here on: inside the network namespace.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/zelmora-wine.XXXXXX")
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A persistent server for the whole run, so it is started here and nowhere else.
wineserver -p
if ! wineboot -i >"$prefix.boot.log" 2>&1; then
  cat "$prefix.boot.log" >&2
  rm -f "$prefix.boot.log"
  fail "wineboot -i failed"
fi
rm -f "$prefix.boot.log"

status=0
# One suite at a time: several suites listen on port 80 of this one namespace.
ctest --test-dir "$build" --output-on-failure --parallel 1 || status=1

if [ -n "$e2e" ]; then
  appdata_windows=$(wine cmd /c 'echo %APPDATA%' | tr -d '\r\n')
  appdata=$(winepath -u "$appdata_windows" | tr -d '\r\n')
  [ -d "$appdata" ] || fail "wine's roaming AppData folder $appdata does not exist"
  echo "windows-tests: end-to-end tests through $build/zelmora-launcher.exe (AppData $appdata)"
  ZELMORA_LAUNCHER="$build/zelmora-launcher.exe" \
    ZELMORA_LAUNCHER_RUNNER=wine \
    ZELMORA_APPDATA="$appdata" \
    ZELMORA_SAMPLE_GAME="$build/tests/sample_game.exe" \
    timeout 1800 "$e2e" || status=1
else
  echo "windows-tests: no native e2e_tests given, end-to-end step skipped"
fi

exit $status
