#!/usr/bin/env bash
# Long runs of the real saver under Wine in a private Xvfb (800 x 600 x 16),
# not part of the test command (which runs each once in a short form):
#   tools/soak.sh [--minutes 10] [--interval 5]     resources of a long run must not grow
#   tools/soak.sh --password-cycles [--cycles 50]   50 refused password checks, then one accepted
# For testing their growth rule only, --inject-leak-kb N and
# --inject-leak-handles N make the running saver leak (per second of the
# soak, per refused check): procstat.exe commits memory and duplicates
# handles into it.
# Measures the build that tools/test.sh tests (the 32-bit product wherever
# this machine runs 32-bit code); BUILD_DIR and NO_BUILD=1 as described in
# tools/longrun/longrun.sh.
set -u
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
script=tools/longrun/soak_saver.py
if [ "${1:-}" = "--password-cycles" ]; then
  script=tools/longrun/soak_password_cycles.py
  shift
fi
longrun_windows_build
longrun_start_wine 800x600x16
longrun_python "$script" "$@"
