#!/usr/bin/env bash
# Installs what is missing; validates the desktop entry and the AppStream metadata
# and checks the .deb; builds and runs the whole test suite; then the same suite
# built by clang with AddressSanitizer and UBSan, then the inbound fuzzer, from that
# same build, for half a minute. The package and sanitizer builds run at a low
# priority while the suite runs: the suite mostly waits on servers and timers, and
# keeps the CPU it asks for.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/deps.sh run test package
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache) && export CCACHE_BASEDIR=$PWD

echo "== tests: build/ (at ${SECONDS} s)"
bash scripts/build.sh

logs=$(mktemp -d)
builder=
trap '[ -n "$builder" ] && kill -- -"$builder" 2>/dev/null; rm -rf "$logs"' EXIT
# Each step's output goes to its own log, shown once the suite is done.
step() {
  local name=$1; shift
  if "$@" >"$logs/$name" 2>&1; then echo "== $name: done (at ${SECONDS} s)" >>"$logs/$name"; else
    echo "== $name: FAILED (at ${SECONDS} s)" >>"$logs/$name"; touch "$logs/failed"; fi
}
set -m  # the builds in a process group of their own, so that an early exit stops all of them
(
  renice -n 10 "$BASHPID" >/dev/null
  step package bash packaging/check.sh
  # The tests and the fuzzer in one sanitized build: the bench and tools are built above.
  step sanitizer-build bash -c "cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DTAV_FUZZ=ON ${launcher[*]} >/dev/null &&
    cmake --build build-fuzz -j$jobs --target tav_tests fuzz_inbound"
) &
builder=$!
set +m
ctest --test-dir build --output-on-failure -j"$jobs"
echo "== the suite passed (at ${SECONDS} s); waiting for the other builds"
wait "$builder"
builder=
for name in package sanitizer-build; do
  if [ -f "$logs/failed" ]; then cat "$logs/$name"; else tail -n 3 "$logs/$name"; fi
done
[ ! -f "$logs/failed" ] || { echo "== a build above failed" >&2; exit 1; }

echo "== sanitizers: build-fuzz/ (at ${SECONDS} s)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-fuzz --output-on-failure -j"$jobs" -LE fuzz

echo "== fuzzer: build-fuzz/ (at ${SECONDS} s)"
ctest --test-dir build-fuzz --output-on-failure -L fuzz
echo "== done in ${SECONDS} s"
