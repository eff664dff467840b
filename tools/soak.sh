#!/usr/bin/env bash
# Long runs of the real saver under Wine in a private Xvfb (800 x 600 x 16),
# not part of the test command:
#   tools/soak.sh [--minutes 10] [--interval 5]   resources of a long run must not grow
#   tools/soak.sh --password-cycles [--cycles 50]   50 refused password checks, then one accepted
# Builds the 64-bit Windows build in build/soak-win64 first (BUILD=... to use another).
set -u
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build/soak-win64}"
script=tests/e2e/soak_saver.py
if [ "${1:-}" = "--password-cycles" ]; then
  script=tests/e2e/soak_password_cycles.py
  shift
fi
# NO_BUILD=1 uses the build as it stands.
if [ "${NO_BUILD:-0}" != 1 ]; then
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" >/dev/null || exit 2
  fi
  cmake --build "$BUILD" -j2 >/dev/null || exit 2
fi
# A display and prefix of this run's own, so that other runs on the same
# build (tests, another soak) cannot replace the prefix under it.
ENV_DIR="$BUILD/soak-env-$$"
source tools/wine_env.sh
wine_env_start "$ENV_DIR" || exit 2
FLAGS_BUILD="$PWD/$BUILD" FLAGS_SOURCE="$PWD" /usr/bin/python3 "$script" "$@"
code=$?
wine_env_stop
rm -rf "$ENV_DIR"
exit $code
