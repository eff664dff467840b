#!/usr/bin/env bash
# Runs chosen tests of the Windows build in a private Xvfb display and Wine
# prefix, as tools/test.sh runs them all, on the builds it made:
#   tools/ctest.sh -R e2e_test_dialog          (any ctest arguments; JOBS=N tests at a time, 3)
# The end-to-end and long-run tests need this environment: run directly by
# ctest they fail and say so. BUILD_DIR as for tools/test.sh; nothing is built.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/wine_env.sh"
build="$(realpath -m "${BUILD_DIR:-$root/build}")"
winbuild="$build/win32"
[ "$(wine_env_bits)" = 64 ] && winbuild="$build/win64"
[ -f "$winbuild/CTestTestfile.cmake" ] || { echo "ctest.sh: no build in $winbuild (run tools/test.sh first)" >&2; exit 2; }
export FLAGS_PRODUCT="$build/win32/BrevantoFlags.scr"
# A folder of this run's own beside the builds' prepared prefix, so that
# runs side by side do not replace each other's prefix.
env_dir="$winbuild/ctest-env-$$"
cleanup() { wine_env_stop; rm -rf "$env_dir"; }
trap cleanup EXIT
mkdir -p "$env_dir"
template="$(wine_env_template "$winbuild")"
wine_env_copy_prefix "$template" "$env_dir/wineprefix-template"
wine_env_start "$env_dir"
# As tools/test.sh runs them.
export LP_NUM_THREADS="${LP_NUM_THREADS:-0}"
(cd "$winbuild" && ctest --output-on-failure --timeout 900 -j "${JOBS:-3}" "$@")
