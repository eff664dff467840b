# Sourced by the long-run scripts (bench.sh, soak.sh, stability.sh): the
# build they measure, a private display and Wine prefix, and the cleanup of
# everything they started, on exit and on interrupt, by PID.
#
#   BUILD_DIR=DIR   the builds, laid out as tools/test.sh lays them out
#                   (default build/): DIR/win32 is the product, DIR/win64 the
#                   64-bit build of the same sources for machines that cannot
#                   execute 32-bit code, DIR/native-release the optimised
#                   native flagsim.
#   NO_BUILD=1      measure the builds as they stand (the test command's
#                   short runs use the build it has just tested).

LONGRUN_NAME="${LONGRUN_NAME:-$(basename "$0")}"
LONGRUN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$LONGRUN_ROOT/build}"
LONGRUN_WINBUILD=""
LONGRUN_ENV_DIR=""
LONGRUN_CHILD=""
source "$LONGRUN_ROOT/tools/wine_env.sh"

# One line saying why the script cannot do its job, then exit code 2.
longrun_fail() {
  echo "$LONGRUN_NAME: $*" >&2
  exit 2
}

longrun_cleanup() {
  if [ -n "$LONGRUN_CHILD" ] && kill -0 "$LONGRUN_CHILD" 2>/dev/null; then
    pkill -TERM -P "$LONGRUN_CHILD" 2>/dev/null
    kill -TERM "$LONGRUN_CHILD" 2>/dev/null
    wait "$LONGRUN_CHILD" 2>/dev/null
  fi
  LONGRUN_CHILD=""
  # Ends the wineserver of this run's own prefix (and every Wine process in
  # it) and the Xvfb this run started.
  wine_env_stop
  if [ -n "$LONGRUN_ENV_DIR" ]; then rm -rf "$LONGRUN_ENV_DIR"; fi
  LONGRUN_ENV_DIR=""
}
trap longrun_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

longrun_configure_and_build() {
  local dir="$1"
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$LONGRUN_ROOT" -B "$dir" "$@" >/dev/null || longrun_fail "cannot configure $dir"
  fi
  cmake --build "$dir" -j2 >/dev/null || longrun_fail "the build in $dir failed"
}

# The Windows build to measure, chosen as tools/test.sh chooses it: the
# 32-bit product wherever this machine runs 32-bit code.
longrun_windows_build() {
  local bits toolchain
  bits="$(wine_env_bits)"
  if [ "$bits" = 32 ]; then
    LONGRUN_WINBUILD="$BUILD_DIR/win32"
    toolchain="$LONGRUN_ROOT/cmake/mingw-i686.cmake"
  else
    LONGRUN_WINBUILD="$BUILD_DIR/win64"
    toolchain="$LONGRUN_ROOT/cmake/mingw-x86_64.cmake"
  fi
  if [ "${NO_BUILD:-0}" != 1 ]; then
    longrun_configure_and_build "$LONGRUN_WINBUILD" -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  fi
  [ -f "$LONGRUN_WINBUILD/BrevantoFlags.scr" ] ||
    longrun_fail "no program in $LONGRUN_WINBUILD (build it, or run without NO_BUILD=1)"
  local which="the 32-bit product"
  [ "$bits" = 64 ] && which="the 64-bit build (this machine cannot execute 32-bit code)"
  echo "measuring $which: $LONGRUN_WINBUILD, under $bits-bit $("$(wine_env_loader)" --version 2>/dev/null)"
}

# The optimised native flagsim: LONGRUN_FLAGSIM is its path, or empty when
# NO_BUILD=1 and it was never built.
LONGRUN_FLAGSIM=""
longrun_native_flagsim() {
  local dir="$BUILD_DIR/native-release"
  if [ "${NO_BUILD:-0}" != 1 ]; then
    if [ ! -f "$dir/CMakeCache.txt" ]; then
      cmake -S "$LONGRUN_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null ||
        longrun_fail "cannot configure $dir"
    fi
    cmake --build "$dir" -j2 --target flagsim >/dev/null || longrun_fail "the build in $dir failed"
  fi
  LONGRUN_FLAGSIM=""
  if [ -x "$dir/tools/flagsim/flagsim" ]; then LONGRUN_FLAGSIM="$dir/tools/flagsim/flagsim"; fi
}

# A display and a prefix of this run's own, so that other runs on the same
# build (tests, another soak) cannot replace the prefix under it. The
# prepared prefix of the test command is copied when there is one.
longrun_start_wine() {
  local screen="${1:-800x600x16}" template="${WINE_ENV_TEMPLATE:-$LONGRUN_WINBUILD/wineprefix-template}"
  LONGRUN_ENV_DIR="$LONGRUN_WINBUILD/longrun-env-$$"
  rm -rf "$LONGRUN_ENV_DIR"
  mkdir -p "$LONGRUN_ENV_DIR"
  if [ -f "$template/.ready" ]; then wine_env_copy_prefix "$template" "$LONGRUN_ENV_DIR/wineprefix-template"; fi
  WINE_ENV_USE_DISPLAY=0 wine_env_start "$LONGRUN_ENV_DIR" "$screen" || longrun_fail "no Wine prefix"
  { [ -n "$WINE_ENV_XVFB_PID" ] && kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null; } ||
    longrun_fail "Xvfb did not start"
  xdpyinfo >/dev/null 2>&1 || longrun_fail "the private display $DISPLAY does not answer"
}

# Runs a Python long-run tool with the build and the sources it measures;
# in the background, so that an interrupt reaches the cleanup at once.
longrun_python() {
  FLAGS_BUILD="$LONGRUN_WINBUILD" FLAGS_SOURCE="$LONGRUN_ROOT" /usr/bin/python3 -B "$@" &
  LONGRUN_CHILD=$!
  wait "$LONGRUN_CHILD"
  local code=$?
  LONGRUN_CHILD=""
  return $code
}
