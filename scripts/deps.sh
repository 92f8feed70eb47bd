#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, only what is missing.
set -euo pipefail
packages=(cmake make g++ qt6-base-dev qt6-base-dev-tools libgl-dev
          xvfb xauth fonts-dejavu-core fonts-liberation2 ngircd inspircd
          clang-14 libclang-rt-14-dev llvm-14)  # the fuzzer: clang, its runtimes, llvm-symbolizer
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The packages' own services are not wanted: tests start servers of their own.
for s in ngircd inspircd; do
  $sudo systemctl disable --now "$s" >/dev/null 2>&1 || $sudo service "$s" stop >/dev/null 2>&1 || true
done
