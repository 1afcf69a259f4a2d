#!/usr/bin/env bash
# Installs what is missing, then builds both programs and runs the whole test suite twice:
# in the Release build and under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
cmake --workflow --preset asan
# The benchmarks are not timed here, only kept compiling.
cmake --preset bench >/dev/null && cmake --build --preset bench
