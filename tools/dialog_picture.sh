#!/usr/bin/env bash
# Takes the README's picture of the settings dialog (docs/dialog.png): the
# real program's dialog under Wine in a private Xvfb (800 x 600 x 16), once
# it has painted. Run on purpose when the dialog changes; no test writes it.
#   tools/dialog_picture.sh [--out FILE]
# Uses the build that tools/test.sh tests; BUILD_DIR and NO_BUILD=1 as
# described in tools/longrun/longrun.sh.
set -u
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
longrun_windows_build
longrun_start_wine 800x600x16
longrun_python tools/dialog_picture.py "$@"
