#!/usr/bin/env bash
# Long-run stability of the cloth: flagsim --stability for FRAMES frames at
# each frame rate and wind power, on the optimised native build (no
# sanitizers). Each run checks after every frame that every coordinate is
# finite and stops at the first one that is not (exit code 1).
#
#   tools/stability.sh                 10 million frames at 5, 60 and 500 per second,
#                                      wind power 0 and 100 (six runs, JOBS at a time)
#   FRAMES=1000000 RATES="5 500" WINDS="100" JOBS=1 tools/stability.sh
#
# Prints one line per run and a summary; exit code 0 when every run stayed
# finite. BUILD_DIR as for tools/test.sh: the flagsim of BUILD_DIR/native-release.
# An interrupt ends every flagsim this script started.
set -u
FRAMES="${FRAMES:-10000000}"
RATES="${RATES:-5 60 500}"
WINDS="${WINDS:-0 100}"
JOBS="${JOBS:-2}"
source "$(dirname "$0")/longrun/longrun.sh"
cd "$LONGRUN_ROOT"
longrun_native_flagsim
[ -n "$LONGRUN_FLAGSIM" ] || longrun_fail "no flagsim in $BUILD_DIR/native-release"
FLAGSIM="$LONGRUN_FLAGSIM"
OUT="$(mktemp -d)"
pids=()
# Each run is a subshell around one flagsim: end the flagsim, then the subshell.
stop_runs() {
  local pid
  for pid in "${pids[@]}"; do
    pkill -TERM -P "$pid" 2>/dev/null
    kill -TERM "$pid" 2>/dev/null
  done
  rm -rf "$OUT"
}
trap 'stop_runs; longrun_cleanup' EXIT

echo "flagsim --stability: $FRAMES frames per run; load average $(cut -d' ' -f1-3 /proc/loadavg)"
started=$(date +%s)
n=0
for rate in $RATES; do
  for wind in $WINDS; do
    dt=$(awk -v r="$rate" 'BEGIN { printf "%.9f", 1.0 / r }')
    (
      t0=$(date +%s)
      "$FLAGSIM" --frames "$FRAMES" --dt "$dt" --wind-power "$wind" --stability >"$OUT/$n.out" 2>&1
      code=$?
      printf '%s fps, wind %s: exit %d, %d s: %s\n' "$rate" "$wind" "$code" $(( $(date +%s) - t0 )) \
        "$(tr '\n' ' ' <"$OUT/$n.out")" >"$OUT/$n.line"
      exit $code
    ) &
    pids+=($!)
    n=$((n + 1))
    while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do sleep 1; done
  done
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
pids=()
cat "$OUT"/*.line
echo "runs: $n, not finite or failed: $failed, wall time $(( $(date +%s) - started )) s"
[ "$failed" -eq 0 ]
