#!/usr/bin/env bash
# Configures and builds into ./build (Release with debug info, warnings on).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()  # rebuilds of the same sources, in any clone, come from its cache
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache) && export CCACHE_BASEDIR=$PWD
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)"
