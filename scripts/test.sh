#!/usr/bin/env bash
# Installs what is missing; validates the desktop entry and the AppStream metadata
# and checks the .deb; builds and runs the whole test suite; then the same suite
# built with AddressSanitizer and UBSan, then the inbound fuzzer for half a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/deps.sh run test package

echo "== package: build-release/ (at ${SECONDS} s)"
bash packaging/check.sh

echo "== tests: build/ (at ${SECONDS} s)"
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== sanitizers: build-sanitize/ (at ${SECONDS} s)"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAV_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs" --target tav_tests  # the tests only: the bench and tools are built above
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

echo "== fuzzer: build-fuzz/ (at ${SECONDS} s)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DTAV_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_inbound
ctest --test-dir build-fuzz --output-on-failure -L fuzz
echo "== done in ${SECONDS} s"
