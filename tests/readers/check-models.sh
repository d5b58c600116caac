#!/usr/bin/env bash
# The models Frimel writes, read by tools nobody here wrote: Khronos's glTF-Validator finds no
# error or warning in any .glb; PrusaSlicer slices every .3mf and .stl without a word about the
# mesh, with every part on the first layer; admesh finds every shell of every .stl closed.
#   check-models.sh MODEL_SAMPLES DATA_DIR WEB_TESTS_DIR [PICTURE_TOOL]
set -euo pipefail
samples=$1 data=$2 web=$3 tool=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

(cd "$data" && "$here/../support/own-x-server.sh" "$samples" "$out" >"$out/samples.log") ||
  { cat "$out/samples.log"; echo "FAIL model_samples"; exit 1; }

echo "== glTF-Validator"
node "$web/validate-glb.mjs" "$out"/*.glb || fail "glTF-Validator"

for counts in "$out"/*.counts; do
  name=$(basename "$counts" .counts)
  read -r parts shells <"$counts"
  for model in "$out/$name.3mf" "$out/$name.stl"; do
    echo "== PrusaSlicer: $(basename "$model")"
    log="$model.log"
    if ! prusa-slicer --loglevel 2 --gcode-label-objects --export-gcode "$model" --output "$model.gcode" >"$log" 2>&1; then
      cat "$log"; fail "PrusaSlicer could not slice $(basename "$model")"; continue
    fi
    # Any warning or error, a repair or an open edge is a mesh the slicer had to doubt.
    if grep -iE 'warning|error|repair|open edge|manifold' "$log"; then fail "PrusaSlicer spoke of $(basename "$model")"; fi
    # The first layer: everything up to the second layer change.
    first=$(awk '/^;LAYER_CHANGE/ { n++ } n == 1' "$model.gcode")
    if [[ $model == *.3mf ]]; then
      on=$( (grep -o "^; printing object .* id:[0-9]*" <<<"$first" || true) | sort -u | wc -l)
      [ "$on" -eq "$parts" ] || fail "$(basename "$model"): $on of $parts parts on the first layer"
    else
      grep -qE '^G1 .*X.*Y.*E[0-9.]+' <<<"$first" || fail "$(basename "$model"): nothing on the first layer"
    fi
  done
  echo "== admesh: $name.stl"
  report=$(admesh "$out/$name.stl")
  field() { sed -n "s/^$1 *: *\([0-9]*\).*/\1/p" <<<"$report" | head -1; }
  for clean in "Degenerate facets" "Edges fixed" "Facets removed" "Facets added" "Facets reversed" "Backwards edges" \
               "Normals fixed"; do
    [ "$(field "$clean")" = 0 ] || fail "admesh: $name.stl: $clean $(field "$clean")"
  done
  [ "$(field "Number of parts")" = "$shells" ] || fail "admesh: $name.stl: $(field "Number of parts") shells, $shells written"
  # The desktop tool makes the same print from the scene's sketch.
  if [ -n "$tool" ]; then
    "$tool" "$out/$name.sketch" "$out/$name.tool.3mf" --mm 80 || fail "frimel-picture $name.sketch"
    cmp -s "$out/$name.3mf" "$out/$name.tool.3mf" || fail "frimel-picture's $name.3mf differs"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "every model read cleanly"
