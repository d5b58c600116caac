#!/usr/bin/env bash
# Installs the Debian packages Frimel needs to build, run or test, when any are missing.
# Usage: tools/install-deps.sh run|test|web
set -euo pipefail

packages=(cmake ninja-build g++ freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
          libegl-dev libegl-mesa0 zlib1g-dev)
if [ "${1:-run}" = test ]; then
  packages+=(libgtest-dev xvfb xauth xdotool x11-apps x11-utils python3 clang
             libclang-rt-dev desktop-file-utils file dpkg-dev nodejs
             prusa-slicer admesh)
  # The browser tests run under node with npm; a node that brings its own npm needs no other.
  command -v npm >/dev/null || packages+=(npm)
  # Their core cases run in Firefox ESR and in WebKitGTK's MiniBrowser too.
  packages+=(firefox-esr webkit2gtk-driver)
fi
# The browser build: emscripten, and chromium to try it in; the bitmaps still come from the
# native build. The tests build the site and try it too.
if [ "${1:-run}" = web ] || [ "${1:-run}" = test ]; then
  packages+=(emscripten chromium python3)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Frimel needs these Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
