#!/usr/bin/env bash
# Installs, on Debian, what building and testing tarvo needs; does nothing when all is present.
# The menu program needs only a C++17 compiler and CMake; the commands beyond the menus use the
# header-only CLI11, nlohmann/json and pcg-cpp; the pictures matplotlib; clang builds the fuzzers.
set -euo pipefail
packages=(cmake g++ ninja-build libgtest-dev libbenchmark-dev libboost-math-dev parallel unzip curl ca-certificates
          libcli11-dev nlohmann-json3-dev libpcg-cpp-dev
          python3 python3-matplotlib python3-pytest
          clang libclang-rt-14-dev)
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
