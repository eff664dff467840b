#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

# wine64 and the 64-bit Mesa serve machines that cannot execute 32-bit x86
# code (there the tests run a 64-bit build of the same sources). Wine sees
# the two-head test display's monitors only through Xinerama (libxinerama1);
# the tests read each monitor's window through Composite (libxcomposite1).
native_pkgs=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 libgl1 libglx-mesa0 libgl1-mesa-dri libxinerama1 libxcomposite1
  xvfb x11-utils xdotool imagemagick python3-pil fonts-dejavu-core nsis file procps
  librsvg2-bin)
i386_pkgs=(wine wine32:i386 libgl1:i386 libglx0:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  libxcomposite1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386 libxrender1:i386)

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

need=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
  need=("${native_pkgs[@]}" "${i386_pkgs[@]}")
else
  mapfile -t need < <(missing "${native_pkgs[@]}" "${i386_pkgs[@]}")
fi

if [ "${#need[@]}" -gt 0 ]; then
  echo "setup: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  sudo_ apt-get update -qq
  sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The -posix runtime gives std::mutex, which GoogleTest needs.
for tool in i686-w64-mingw32-g++ i686-w64-mingw32-gcc x86_64-w64-mingw32-g++ x86_64-w64-mingw32-gcc; do
  [ -x "/usr/bin/$tool-posix" ] || { echo "setup: $tool-posix missing" >&2; exit 1; }
done

# The flag drawings that tools/gen_flags.py renders, at the versions of
# tools/flags/package-lock.json, in a cache folder outside the checkout (one
# per lock file, so a changed lock installs afresh). npm comes with Debian's
# nodejs packages unless a Node.js of its own is already installed.
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v npm >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  sudo_ apt-get update -qq
  sudo_ apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
lock="$root/tools/flags/package-lock.json"
sources="${XDG_CACHE_HOME:-$HOME/.cache}/brevanto-flags/sources-$(sha256sum "$lock" | cut -c1-16)"
if [ ! -f "$sources/node_modules/.package-lock.json" ]; then
  echo "setup: installing the flag drawings into $sources" >&2
  rm -rf "$sources.new"
  mkdir -p "$sources.new"
  cp "$root/tools/flags/package.json" "$lock" "$sources.new/"
  (cd "$sources.new" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >&2)
  rm -rf "$sources"
  mv "$sources.new" "$sources"
fi
