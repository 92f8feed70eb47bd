#!/usr/bin/env bash
# Builds the Debian package: a Release build of the program alone in ./build-release,
# then CPack there. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run package >&2
# No tests in this build, and installing (which CPack does) builds nothing more
# than the program built here (and its gzipped man page and changelog).
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-release -j"$(nproc)" --target tavarine-lobby tavarine-lobby-docs >&2
rm -f build-release/tavarine-lobby_*.deb
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/tavarine-lobby_*.deb
