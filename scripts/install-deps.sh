#!/usr/bin/env bash
# Installs, on Debian, what building and testing tarvo needs; does nothing when all is present.
# The program itself needs only a C++17 compiler and CMake; the rest serves the tests and benchmarks.
set -euo pipefail
packages=(cmake g++ ninja-build libgtest-dev libbenchmark-dev libboost-math-dev parallel unzip curl ca-certificates)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
