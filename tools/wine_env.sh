# Sourced by the test and run scripts: a private Xvfb display and a private
# Wine prefix inside the build tree. Stops only what it started, by PID.
#   wine_env_start BUILD_DIR [SCREEN]   exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES
#                                       (and MESA_EXTENSION_OVERRIDE on its own display)
#   wine_env_stop

WINE_ENV_XVFB_PID=""

# Some virtual machines cannot execute 32-bit x86 code at all, and 32-bit
# Wine with it. There the tests run the 64-bit build of the same sources
# under 64-bit Wine. Prints "32" or "64".
wine_env_bits() {
  if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then echo 32; else echo 64; fi
}

wine_env_loader() {
  if [ "$(wine_env_bits)" = 32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}
WINE_ENV_PREFIX=""


# A prepared prefix is made once (about 15 s) and copied for every run (2 s),
# so tests always start from the same registry.
wine_env_template() {
  local template="$1/wineprefix-template"
  if [ ! -f "$template/.ready" ]; then
    rm -rf "$template"
    local arch=win32
    [ "$(wine_env_bits)" = 64 ] && arch=win64
    WINEPREFIX="$template" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" \
      "$(wine_env_loader)" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$template" wineserver -w
    [ -f "$template/system.reg" ] || { echo "wine_env: wineboot failed" >&2; return 1; }
    touch "$template/.ready"
  fi
  # Also for templates made before the settings existed.
  wine_env_unmanaged_windows "$template" on
  wine_env_csmt "$template" off
  echo "$template"
}

# Copies a prepared prefix. Wine's own programs and libraries
# (drive_c/windows/system32, nearly all of its 700 MB) become hard links, which
# takes a fraction of a second instead of several: Wine writes them only when
# it updates a prefix made by another Wine version, and then they are copied.
#   wine_env_copy_prefix FROM TO
wine_env_copy_prefix() {
  local from="$1" to="$2" libraries="drive_c/windows/system32"
  local stamp
  stamp="$(tr -d '\r\n' <"$from/.update-timestamp" 2>/dev/null | cut -d' ' -f1 || true)"
  if [ -z "$stamp" ] || [ "$stamp" != "$(stat -c %Y /usr/share/wine/wine.inf 2>/dev/null)" ] ||
     [ ! -d "$from/$libraries" ]; then
    cp -a "$from" "$to"
    return
  fi
  mkdir -p "$to"
  tar -C "$from" --exclude="./$libraries" -cf - . | tar -C "$to" -xpf -
  cp -al "$from/$libraries" "$to/$libraries"
}

# Adds (on) or removes (off) one value line of a key in a prefix's user.reg.
# Edits the file directly, so it needs no Wine program; the prefix's
# wineserver must not be running.
#   wine_env_user_value PREFIX KEY LINE on|off
wine_env_user_value() {
  local reg="$1/user.reg" key="$2" line="$3"
  if [ "$4" = on ]; then
    grep -qxF "$line" "$reg" || printf '\n[%s] %s\n%s\n' "$key" "$(date +%s)" "$line" >>"$reg"
  else
    grep -vxF "$line" "$reg" >"$reg.new" || true
    mv "$reg.new" "$reg"
  fi
}

# Wine's X11 driver waits up to 2 s for a window manager to confirm that a
# managed top-level window (every full-screen one) is gone; a bare Xvfb has
# none, so on the private display Wine manages no window, as a desktop's
# window manager would answer at once.
#   wine_env_unmanaged_windows PREFIX on|off
wine_env_unmanaged_windows() {
  wine_env_user_value "$1" 'Software\\Wine\\X11 Driver' '"Managed"="N"' "$2"
}

# Wine 8's Direct3D runs its commands on a thread of its own (CSMT) that
# busy-waits while idle: a paced program that would take 3 % of a core then
# takes a whole one, and the saver competes with it for the cores. Windows
# has no such thread, so prefixes that measure or test the saver turn it
# off; the run command on a desktop, with a real GPU, keeps Wine's default.
#   wine_env_csmt PREFIX on|off
wine_env_csmt() {
  local value=off  # the value turns the thread off; without it Wine's default holds
  [ "$2" = off ] && value=on
  wine_env_user_value "$1" 'Software\\Wine\\Direct3D' '"csmt"=dword:00000000' "$value"
}

# The Windows path of a Unix path, as Wine's drive Z: shows it.
wine_env_windows_path() {
  printf 'Z:%s' "$1" | tr '/' '\\'
}

wine_env_start() {
  local build="$1" screen="${2:-800x600x16}"
  mkdir -p "$build"
  build="$(cd "$build" && pwd)"
  local template
  template="$(wine_env_template "$build")" || return 1
  WINE_ENV_PREFIX="$build/wineprefix"
  if [ -n "${WINEPREFIX_KEEP:-}" ] && [ -d "$WINE_ENV_PREFIX" ]; then :; else
    rm -rf "$WINE_ENV_PREFIX"
    wine_env_copy_prefix "$template" "$WINE_ENV_PREFIX"
  fi
  # WINE_ENV_USE_DISPLAY=1 keeps the caller's display (the run command on a
  # desktop), whose window manager answers for managed windows.
  if [ "${WINE_ENV_USE_DISPLAY:-0}" = 1 ]; then
    wine_env_unmanaged_windows "$WINE_ENV_PREFIX" off
    wine_env_csmt "$WINE_ENV_PREFIX" on
  else
    wine_env_unmanaged_windows "$WINE_ENV_PREFIX" on
    # Xvfb picks a free display number itself and writes it once it serves
    # (-displayfd): a number chosen here could be taken by a test starting
    # its own display at the same moment.
    local number_file="$build/xvfb-display" display="" i
    rm -f "$number_file"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    for i in $(seq 1 100); do
      if [ "$(wc -l <"$number_file" 2>/dev/null || echo 0)" -ge 1 ]; then
        display="$(tr -dc 0-9 <"$number_file")"
        break
      fi
      sleep 0.1
    done
    [ -n "$display" ] || { echo "wine_env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$display"
    # Given buffer storage, Wine's Direct3D asks for a 64 MB buffer per
    # device, which Mesa's software renderer zeroes page by page: a tenth of
    # a second of every start, with nothing drawn from most of it. Without
    # the extension Wine keeps each buffer in a buffer object of its own size.
    export MESA_EXTENSION_OVERRIDE="-GL_ARB_buffer_storage"
  fi
  export WINEPREFIX="$WINE_ENV_PREFIX"
  export WINE="$(wine_env_loader)"
  export WINEDEBUG=-all
  # No menu entries: Wine's menu builder runs at every prefix's start for nothing here.
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  export WINE_ENV_TEMPLATE="$template"
  # Keep one wineserver and Wine's own services running for the whole run,
  # started here with no inherited output: a service that inherits a test's
  # output pipe keeps that test's runner waiting until the service ends.
  wineserver -p
  "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  if [ -n "$WINE_ENV_PREFIX" ]; then
    WINEPREFIX="$WINE_ENV_PREFIX" wineserver -k 2>/dev/null || true
    WINEPREFIX="$WINE_ENV_PREFIX" wineserver -w 2>/dev/null || true
  fi
  if [ -n "$WINE_ENV_XVFB_PID" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
  fi
  WINE_ENV_XVFB_PID=""
}
