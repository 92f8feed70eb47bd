#!/usr/bin/env bash
# Installs what is missing (an X server to draw on, a plain IRC client to compare with),
# builds the bench, and prints figures: every part, or those named
# (inbound window start flood scale burst peer), or "goals": inbound window start flood
# and a closing list of every goal with its figure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run bench
# Only the bench: a broken test elsewhere in the tree must not keep the figures away.
mkdir -p build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/bench-build.log 2>&1 \
  && cmake --build build -j2 --target tavarine-bench >>build/bench-build.log 2>&1 \
  || { tail -40 build/bench-build.log; exit 1; }
exec build/bench/tavarine-bench "$@"
