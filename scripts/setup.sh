#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine (as root); does nothing when
# everything is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang zlib1g-dev libgtest-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  wine64 xvfb xauth liblnk-utils python3 imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
