#!/usr/bin/env bash
# Performance figures of the saver next to minimal Direct3D 8 programs, all
# measured in one run on this machine under Wine in a private Xvfb at
# 800 x 600 x 16; prints one Markdown table. Run it with the machine as quiet
# as possible: the load average is printed with the figures.
#   tools/bench.sh [--seconds 15]
# Measures the build that tools/test.sh tests (the 32-bit product wherever
# this machine runs 32-bit code) and a native Release flagsim; BUILD_DIR and
# NO_BUILD=1 as described in tools/longrun/longrun.sh.
set -u
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
longrun_windows_build
longrun_native_flagsim
longrun_start_wine 800x600x16
longrun_python tools/longrun/bench_saver.py ${LONGRUN_FLAGSIM:+--native-flagsim "$LONGRUN_FLAGSIM"} "$@"
