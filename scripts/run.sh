#!/usr/bin/env bash
# The main job on a fresh Debian machine: install what the build needs, build both programs, fill
# Instances/ (from the folders and archives named, else by download from PSPLIB), and start the
# standard program in the repository folder. Its reports go to Reports/.
# Usage: bash scripts/run.sh [PSPLIB-FOLDER-OR-ARCHIVE...] [--extended]
set -euo pipefail
sources=()
program=tarvo
for arg in "$@"; do
  case "$arg" in
    --extended) program=tarvo-extended ;;
    *) sources+=("$(realpath "$arg")") ;;  # named from the caller's folder
  esac
done
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvo tarvo-extended
bash scripts/fetch-instances.sh "${sources[@]}"
exec "build/release/$program"
