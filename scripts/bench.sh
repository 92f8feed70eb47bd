#!/usr/bin/env bash
# Installs what is missing (and a plain IRC client to compare with), builds, and prints every figure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
dpkg-query -W -f='${Status}' weechat-headless 2>/dev/null | grep -q "install ok installed" || {
  [ "$(id -u)" -eq 0 ] && s="" || s="sudo"
  $s apt-get install -y -qq --no-install-recommends weechat-headless >/dev/null
}
bash scripts/build.sh >/dev/null
build/bench/tavarine-bench "$@"
