#!/usr/bin/env bash
# Builds Frimel and runs every test: unit and window tests under a virtual X server, the
# end-to-end suite, then the unit tests again with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

tools/install-deps.sh test

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

echo "== tests"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$jobs"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFRIMEL_SANITIZE=ON >/dev/null
cmake --build build-sanitize
# Leak checking is off: Mesa's driver is unloaded before exit, so what it keeps cannot be told
# apart from our own allocations. Frimel's objects are all owned by the scene keeper anyway.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L unit
