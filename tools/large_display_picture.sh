#!/usr/bin/env bash
# The README's picture of a 4K monitor before and after: the same corner of
# a 3840 x 2160 frame from two Windows builds, side by side.
#   tools/large_display_picture.sh OUT.png BEFORE_WINBUILD [AFTER_WINBUILD]
# Each build folder holds BrevantoFlags.scr and its flag folder in shipped/
# (a tree of an earlier commit: link shipped to the checkout, whose IMAGE it
# is). AFTER_WINBUILD is the one tools/test.sh tests when not given.
set -u
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
NO_BUILD=1 longrun_windows_build
longrun_start_wine 800x600x16
longrun_python tools/longrun/large_display_picture.py "$1" "$(realpath "$2")" "$(realpath "${3:-$LONGRUN_WINBUILD}")"
