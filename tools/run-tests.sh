#!/usr/bin/env bash
# Builds Frimel and runs every test: unit and window tests each on a virtual X server, the
# end-to-end suite, the browser build in headless Chromium, the models through a slicer, admesh and
# the glTF validator, then the unit tests again with
# AddressSanitizer and UBSan, and last the bitmap and sketch readers fuzzed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

tools/install-deps.sh test

echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

echo "== browser build"
# The site and puppeteer-core (as the lock file pins it) for the browser tests in the run below.
tools/run-web.sh --no-serve
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

echo "== tests"
# Every test starts the X server it needs (Xvfb) on its own; the browser tests run alone.
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFRIMEL_SANITIZE=ON >/dev/null
cmake --build build-sanitize
# Leak checking is off: Mesa's driver is unloaded before exit, so what it keeps cannot be told
# apart from our own allocations. Frimel's objects are all owned by the scene keeper anyway.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L unit

echo "== fuzzing the bitmap reader for a minute and the sketch reader for half a minute"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DFRIMEL_FUZZ=ON >/dev/null
cmake --build build-fuzz --target bitmap_fuzzer sketch_fuzzer
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# fuzz NAME SECONDS SEEDS: the fuzzer adds what it learns to its corpus, so it works on a copy
# and the seeds stay as committed. The readers link no driver, so leaks are checked here.
fuzz() {
  mkdir "$scratch/$1"
  cp "$3"/* "$scratch/$1"/
  if ! ASAN_OPTIONS="abort_on_error=1" "build-fuzz/tests/fuzz/$1" -max_total_time="$2" \
      -artifact_prefix=build-fuzz/ "$scratch/$1" >"build-fuzz/$1.log" 2>&1; then
    tail -n 40 "build-fuzz/$1.log"
    echo "$1 found a fault; its input is saved as build-fuzz/crash-* (or leak-*, timeout-*)" >&2
    exit 1
  fi
  echo "$1: $(grep '^Done' "build-fuzz/$1.log")"
}
fuzz bitmap_fuzzer 60 tests/fuzz/seeds
fuzz sketch_fuzzer 30 tests/fuzz/sketch_seeds
