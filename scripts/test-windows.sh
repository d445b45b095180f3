#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64 and runs the tests under Wine: the
# x86_64 build (mingw64) with every test that does not need a POSIX system, and the i686
# release build (mingw32), the one shipped for 32-bit hosts, which can only be compiled
# here (32-bit Wine is not installable on this system). Then the release packages (zips and
# installers for both architectures, scripts/package-windows.sh) and their test under Wine
# in a prefix of its own (scripts/test-installer.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh cmake ninja-build g++-mingw-w64-x86-64-posix \
  g++-mingw-w64-i686-posix googletest wine wine64

jobs=$(nproc 2>/dev/null || echo 2)

# A Wine prefix of the build tree's own, made before anything runs in it: Wine's first
# start in a new prefix takes long enough to trip a test's time limit. The server stays up
# for all tests and goes when the script ends, however it ends.
export WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1
# The window tests run headless: Wine's null graphics driver needs no X server.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1

echo "=== mingw64 (Windows x86_64, tests under Wine) ==="
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 -j "$jobs"
ctest --preset mingw64 -j "$jobs"

echo "=== Whole-program GUI smoke test (Xvfb, its own Wine prefix) ==="
bash scripts/gui-smoke.sh

echo "=== mingw32 (Windows i686 release) ==="
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32 -j "$jobs"

echo "=== Windows packages (zips and installers) and the installer test under Wine"
bash scripts/package-windows.sh
bash scripts/test-installer.sh
