#!/usr/bin/env bash
# Installs what is missing (an X server to draw on, a plain IRC client to compare with),
# builds the bench, and prints figures: every part, or those named
# (inbound window start flood scale burst peer).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
missing=()
for p in xvfb weechat-headless ngircd inspircd; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] && s="" || s="sudo"
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $s apt-get update -qq
  $s apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Only the bench: a broken test elsewhere in the tree must not keep the figures away.
mkdir -p build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/bench-build.log 2>&1 \
  && cmake --build build -j2 --target tavarine-bench >>build/bench-build.log 2>&1 \
  || { tail -40 build/bench-build.log; exit 1; }
exec build/bench/tavarine-bench "$@"
