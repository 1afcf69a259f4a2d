#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang++, AddressSanitizer + UBSan) and runs each
# tests/fuzz/fuzz_<name> for SECONDS (default 30) on a copy of its seed corpus tests/fuzz/corpus/<name>.
# Fails when a target crashes; the input that did it is kept in build/fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz.sh: clang++ is not installed, so the fuzz targets are not built (scripts/install-deps.sh installs it)"
  exit 0
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
status=0

# A PSPLIB file on standard input written out in the Patterson layout: "n K", the capacities, then per
# activity its duration, requirements, successor count and successors.
psplibToPatterson() {
  awk '
    /^jobs \(incl/ { split($0, a, ":"); n = a[2] + 0 }
    /- renewable/ { split($0, a, ":"); k = a[2] + 0 }
    /^PRECEDENCE/ { sec = 1; skip = 1; next }
    /^REQUESTS/ { sec = 2; skip = 2; next }
    /^RESOURCEAVAILABILITIES/ { sec = 3; skip = 1; next }
    /^\*/ { sec = 0; next }
    skip > 0 { skip--; next }
    sec == 1 { s = $3; for (i = 4; i <= NF; i++) s = s " " $i; succ[$1] = s }
    sec == 2 { r = $3; for (i = 4; i <= NF; i++) r = r " " $i; row[$1] = r }
    sec == 3 { caps = $0 }
    END { print n, k; print caps; for (j = 1; j <= n; j++) print row[j], succ[j] }'
}

for target in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  name=${name#fuzz_}
  corpus="$work/$name"
  mkdir -p "$corpus"
  # The corpus is copied: the run adds the inputs it finds, which do not belong in the repository.
  if [ -d "tests/fuzz/corpus/$name" ]; then cp -rL "tests/fuzz/corpus/$name/." "$corpus/"; fi
  # Real instance files of the largest size, when the benchmark folder is there.
  if [ "$name" = reader ]; then cp ../shared/psplib/j301_1.sm ../shared/psplib/j1201_1.sm "$corpus/" 2>/dev/null || true; fi
  if [ "$name" = patterson ]; then
    for stem in j301_1 j1201_1; do
      if [ -f "../shared/psplib/$stem.sm" ]; then psplibToPatterson <"../shared/psplib/$stem.sm" >"$corpus/$stem.rcp"; fi
    done
  fi
  log="$work/$name.log"
  # -close_fd_mask=1: the target's own messages on standard output would only slow the run down.
  if "$target" -max_total_time="$seconds" -close_fd_mask=1 -artifact_prefix="$artifacts/fuzz_$name-" \
       "$corpus" >"$log" 2>&1; then
    echo "fuzz_$name: $(grep -E '^Done [0-9]+ runs' "$log" || tail -1 "$log")"
  else
    echo "fuzz_$name: FAILED (input kept in $artifacts/)"
    tail -60 "$log"
    status=1
  fi
done
exit $status
