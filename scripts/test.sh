#!/usr/bin/env bash
# Installs what is missing, then builds both programs and runs the whole test suite twice: in the
# Release build and under AddressSanitizer + UndefinedBehaviorSanitizer. Then the reference results
# once more on a -O3 -march=native build (a result that depends on the instruction set fails there),
# and every fuzz target for 30 seconds. The Release build compiles the benchmarks too (not timed here).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
cmake --workflow --preset asan
cmake --workflow --preset native
bash scripts/fuzz.sh 30
