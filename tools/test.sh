#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the native library
# (AddressSanitizer, UBSan) and the Windows program, runs every test natively
# and under Wine in a private Xvfb display and Wine prefix.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/setup.sh
source tools/wine_env.sh

jobs="${JOBS:-2}"
# Under Wine three at a time (see below); the builds two, one per core.
wine_jobs="${JOBS:-3}"
build="$(realpath -m "${BUILD_DIR:-$root/build}")"

winbuild="$build/win32"
[ "$(wine_env_bits)" = 64 ] && winbuild="$build/win64"
# Wine's prepared prefix takes a quarter of a minute to make, most of it
# waiting: it is made while the builds run (wine_env_start makes it if this failed).
mkdir -p "$winbuild"
wine_env_template "$winbuild" >/dev/null 2>&1 &
template_maker=$!
trap 'wait "$template_maker" 2>/dev/null || true' EXIT

echo "== native build and tests"
cmake -S . -B "$build/native" -DFLAG_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
(cd "$build/native" && ctest --output-on-failure)

echo "== windows build (the product: 32-bit)"
cmake -S . -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
if [ "$(wine_env_bits)" = 64 ]; then
  # Nothing 32-bit runs here: the product alone (saver and setup program).
  cmake --build "$build/win32" -j "$jobs" --target brevanto_flags installer
else
  cmake --build "$build/win32" -j "$jobs"
fi

if [ "$(wine_env_bits)" = 64 ]; then
  echo "== this machine cannot execute 32-bit x86 code: testing the 64-bit build of the same sources"
  cmake -S . -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
  cmake --build "$build/win64" -j "$jobs"
fi

echo "== tests under wine ($winbuild)"
export FLAGS_PRODUCT="$build/win32/BrevantoFlags.scr"
wait "$template_maker" || true
trap wine_env_stop EXIT
wine_env_start "$winbuild"
# Three at a time: every end-to-end and long-run test has its own display
# and prefix, and two at a time left a quarter of the cores idle, waiting
# for Wine's server and programs. Mesa's software renderer draws in the
# calling thread: beside other tests its own threads only add switches.
export LP_NUM_THREADS="${LP_NUM_THREADS:-0}"
(cd "$winbuild" && ctest --output-on-failure --timeout 900 -j "$wine_jobs")
echo "== all tests passed"
