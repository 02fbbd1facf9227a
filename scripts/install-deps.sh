#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libspdlog-dev libfmt-dev nlohmann-json3-dev
  libboost-dev libboost-system-dev libssl-dev
  libhidapi-dev libminizip-dev zlib1g-dev libplist-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  osslsigncode unzip
  g++-mingw-w64-x86-64-posix
  clang libclang-rt-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
