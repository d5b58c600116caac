#!/usr/bin/env bash
# Builds Frimel and starts it in the folder that holds its eight bitmaps.
# Toolkit options (for example -display :1 or -iconic) are passed through.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "frimel: no X display to open a window on (DISPLAY is not set); start it from a desktop session or under xvfb-run" >&2
  exit 1
fi
tools/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target frimel bitmaps
cd build/data
exec ../frimel "$@"
