#!/usr/bin/env bash
# The main job on a fresh Debian machine: install what the build needs, build both programs, fill
# Instances/ (from the folder or archive named as the first argument, else by download from PSPLIB),
# and start the standard program in the repository folder. Its reports go to Reports/.
# Usage: bash scripts/run.sh [PSPLIB-FOLDER-OR-ARCHIVE] [--extended]
set -euo pipefail
cd "$(dirname "$0")/.."
source_arg=()
program=tarvo
for arg in "$@"; do
  case "$arg" in
    --extended) program=tarvo-extended ;;
    *) source_arg=("$arg") ;;
  esac
done
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tarvo tarvo-extended
bash scripts/fetch-instances.sh "${source_arg[@]}"
exec "build/release/$program"
