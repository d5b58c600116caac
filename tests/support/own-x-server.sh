#!/usr/bin/env bash
# Runs a command on a virtual X server of its own. Test windows all open at the same spot, and
# on a shared server a newer one covers an older one, which then gets no frames: one server a
# test keeps them apart.
set -u
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
for _ in $(seq 1 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "own-x-server: Xvfb did not start:" >&2
  cat "$dir/log" >&2
  kill "$server" 2>/dev/null
  rm -rf "$dir"
  exit 1
fi
DISPLAY=":$(head -n 1 "$dir/display")" "$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit "$status"
