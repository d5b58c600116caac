#!/usr/bin/env bash
# Builds Frimel for the browser into build-web/site/ and serves it on http://127.0.0.1:8000/.
# Usage: tools/run-web.sh [--no-serve]    (--no-serve: only build the site)
set -euo pipefail
cd "$(dirname "$0")/.."

serve=1
case "${1:-}" in
  "") ;;
  --no-serve) serve=0 ;;
  *) echo "usage: tools/run-web.sh [--no-serve]" >&2; exit 2 ;;
esac

# The native packages too: the site's bitmaps are drawn by the native make_bitmaps.
tools/install-deps.sh run
tools/install-deps.sh web

# Debian's node finds emscripten's JavaScript modules by itself; any other node is told where.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Debian's emscripten ships its libraries in a prebuilt, read-only cache. A cache that is neither
# filled nor writable is replaced by one of our own here, which emscripten fills on first use.
cache=$(em-config CACHE)
if [ -z "${EM_CACHE:-}" ] && [ ! -w "$cache" ] && [ ! -e "$cache/sysroot_install.stamp" ]; then
  export EM_CACHE=$PWD/build-web/emscripten-cache EM_FROZEN_CACHE=
  mkdir -p "$EM_CACHE"
fi

# Building the site also builds the bitmaps natively (in build/, or in build-web/native when
# there is no native build yet).
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web

[ "$serve" -eq 1 ] || exit 0
echo "Frimel is at http://127.0.0.1:8000/ (Ctrl-C stops the server)"
exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory build-web/site 8000
