#!/usr/bin/env bash
# Builds the screen saver and starts it full screen under Wine.
#  - On a desktop (DISPLAY set and reachable): runs on your display in a
#    private Wine prefix, in your display's own mode; move the mouse to end it.
#  - Without a display: runs in a private Xvfb at 800x600x16, takes a
#    screenshot after a few seconds, ends the saver by moving the mouse and
#    prints the screenshot's path.
# Nothing is written to your own Wine prefix or settings.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/setup.sh >&2
source tools/wine_env.sh

build="$(realpath -m "${BUILD_DIR:-$root/build}")"
jobs="${JOBS:-2}"
cmake -S . -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" -j "$jobs" --target brevanto_flags wintool flag_folder >&2
winbuild="$build/win32"
if [ "$(wine_env_bits)" = 64 ]; then
  # This machine cannot execute 32-bit x86 code: run the 64-bit build.
  cmake -S . -B "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
  cmake --build "$build/win64" -j "$jobs" --target brevanto_flags wintool flag_folder >&2
  winbuild="$build/win64"
fi
scr="$winbuild/BrevantoFlags.scr"
key='HKCU\Control Panel\Desktop\Brevanto Flags'

on_desktop=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then on_desktop=1; fi

trap wine_env_stop EXIT
if [ "$on_desktop" = 1 ]; then
  WINE_ENV_USE_DISPLAY=1 wine_env_start "$build/run"
else
  wine_env_start "$build/run" 800x600x16
fi

# Settings are written with the test tool built beside the saver.
set_value() { "$WINE" "$winbuild/wintool.exe" reg-set "$key" "$@" >/dev/null; }
# What a new install writes: the saver finds its flag folder through
# "[Directory]" (here the build's shipped/, which holds the IMAGE folder it
# rendered), and runs Desktop mode, a flag on every monitor in the display's
# own mode.
set_value "[Directory]" REG_SZ "$(wine_env_windows_path "$winbuild/shipped")"
set_value "[Desktop Mode]" REG_DWORD 1
if [ "$on_desktop" = 1 ]; then
  echo "Brevanto Flags runs on $DISPLAY; move the mouse or press a key to end it." >&2
  "$WINE" "$scr" /s
  exit 0
fi

"$WINE" "$scr" /s &
saver=$!
sleep "${RUN_SECONDS:-8}"
mkdir -p "$build/screenshots"
shot="$build/screenshots/saver.png"
import -window root "$shot"
for x in 100 200 300 400 500 600 700; do xdotool mousemove "$x" "$x" >/dev/null 2>&1 || true; sleep 0.2; done
for i in $(seq 1 50); do kill -0 "$saver" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$saver" 2>/dev/null; then kill "$saver"; fi
wait "$saver" 2>/dev/null || true
echo "$shot"
