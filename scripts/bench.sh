#!/usr/bin/env bash
# Installs what is missing (and a plain IRC client to compare with), builds, and prints every figure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run bench
bash scripts/build.sh >/dev/null
build/bench/tavarine-bench "$@"
