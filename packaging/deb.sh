#!/usr/bin/env bash
# Builds the Debian package: a Release build of the program alone in ./build-release,
# then CPack there. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run package >&2
# The hardening Debian builds its packages with (fortify, stack protector, relro,
# bindnow); not -g, as the package ships the program stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# No tests in this build, and installing (which CPack does) builds nothing more
# than the program built here (and its gzipped man page and changelog).
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-release -j"$(nproc)" --target tavarine-lobby tavarine-lobby-docs >&2
rm -f build-release/tavarine-lobby_*.deb
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/tavarine-lobby_*.deb
