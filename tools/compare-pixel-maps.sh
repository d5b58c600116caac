#!/usr/bin/env bash
# Checks that a build for processors with fused multiply-add maps every pixel exactly as the
# default build does: the two map_pixels programs must print the same bytes.
# Usage: compare-pixel-maps.sh DEFAULT_BUILD V3_BUILD   (exit 77: skipped)
set -u
for flag in avx avx2 bmi1 bmi2 f16c fma movbe abm xsave; do
  if ! grep -qw "$flag" /proc/cpuinfo; then
    echo "skipped: this processor lacks $flag, so the x86-64-v3 build cannot run here"
    exit 77
  fi
done
default_out=$("$1") || { echo "$1 failed" >&2; exit 1; }
v3_out=$("$2") || { echo "$2 failed" >&2; exit 1; }
echo "default: $default_out"
echo "v3:      $v3_out"
if [ "$default_out" != "$v3_out" ]; then
  echo "the x86-64-v3 build maps pixels differently: is floating-point contraction on?" >&2
  exit 1
fi
