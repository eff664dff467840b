#!/usr/bin/env bash
# Start time, frame rate and CPU of the saver in Desktop mode and in the
# exclusive mode, on one display and on two monitors; prints one Markdown
# table. --picture FILE also writes the two monitors in Desktop mode side
# by side (docs/desktop-mode.png is the README's).
#   tools/desktop_bench.sh [--seconds 15] [--picture FILE]
# Uses the build that tools/test.sh tests; BUILD_DIR and NO_BUILD=1 as
# described in tools/longrun/longrun.sh. Each run starts a display of its own.
set -u
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
longrun_windows_build
longrun_start_wine 800x600x16
longrun_python tools/longrun/bench_desktop.py "$@"
