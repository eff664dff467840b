#!/usr/bin/env bash
# The saver's paced runs (full screen and preview, as tools/bench.sh runs
# them) with Wine reporting the computer on battery. Wine answers
# GetSystemPowerStatus from Linux's /sys/class/power_supply, so the run gets
# a mount namespace of its own in which that folder holds a discharging
# battery and mains that are off; nothing outside the run sees it, and the
# saver reads the status as it does anywhere.
#   tools/battery_bench.sh [--seconds 15]      (BUILD_DIR, NO_BUILD as bench.sh)
#   tools/battery_bench.sh --mains [...]       the same runs on mains, for comparison
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = --mains ]; then
  shift
  exec "$root/tools/bench.sh" --paced-only "$@"
fi
if [ -z "${BATTERY_BENCH_INSIDE:-}" ]; then
  namespace=(unshare --mount)
  [ "$(id -u)" = 0 ] || namespace=(unshare --map-root-user --mount)
  BATTERY_BENCH_INSIDE=1 exec "${namespace[@]}" "$0" "$@"
fi

# Inside the namespace: /sys/class as it is, plus the power supplies.
scratch="$(mktemp -d)"
trap 'umount /sys/class 2>/dev/null; umount "$scratch/real" 2>/dev/null; rm -rf --one-file-system "$scratch"' EXIT
mkdir "$scratch/real" "$scratch/class"
mount --bind /sys/class "$scratch/real"
for entry in "$scratch/real"/*; do
  name="$(basename "$entry")"
  [ "$name" = power_supply ] || ln -s "$entry" "$scratch/class/$name"
done
supplies="$scratch/class/power_supply"
mkdir -p "$supplies/AC" "$supplies/BAT0"
echo Mains >"$supplies/AC/type"
echo 0 >"$supplies/AC/online"
echo Battery >"$supplies/BAT0/type"
echo Discharging >"$supplies/BAT0/status"
echo 1 >"$supplies/BAT0/present"
echo 11400000 >"$supplies/BAT0/voltage_now"
echo 4000000 >"$supplies/BAT0/charge_full"
echo 2600000 >"$supplies/BAT0/charge_now"
echo 900000 >"$supplies/BAT0/current_now"
echo 65 >"$supplies/BAT0/capacity"
mount --bind "$scratch/class" /sys/class
"$root/tools/bench.sh" --paced-only --on-battery "$@"
