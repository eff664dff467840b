#!/usr/bin/env bash
# Performance figures of the saver next to a minimal Direct3D 8 program, all
# measured in one run on this machine under Wine in a private Xvfb at
# 800 x 600 x 16; prints a Markdown table. Run it with the machine as quiet as
# possible: the load average is printed with the figures.
#   tools/bench.sh [--seconds 15]
# Builds the 64-bit Windows build in build/bench-win64 and a native Release
# flagsim in build/stability-release (BUILD=..., NO_BUILD=1 as for soak.sh).
set -u
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build/bench-win64}"
NATIVE="${NATIVE_BUILD:-build/stability-release}"
if [ "${NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" >/dev/null || exit 2
  fi
  cmake --build "$BUILD" -j2 >/dev/null || exit 2
  cmake -S . -B "$NATIVE" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
  cmake --build "$NATIVE" -j2 --target flagsim >/dev/null || exit 2
fi
ENV_DIR="$BUILD/bench-env-$$"
source tools/wine_env.sh
wine_env_start "$ENV_DIR" 800x600x16 || exit 2
FLAGS_BUILD="$PWD/$BUILD" FLAGS_SOURCE="$PWD" /usr/bin/python3 tests/e2e/bench_saver.py \
  --native-flagsim "$PWD/$NATIVE/tools/flagsim/flagsim" "$@"
code=$?
wine_env_stop
rm -rf "$ENV_DIR"
exit $code
