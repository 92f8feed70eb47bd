#!/usr/bin/env bash
# Installs what running needs, builds the program alone (not the tests) in ./build,
# and runs the lobby. The program talks to the IRC server on this machine, port
# 6664; when none is listening, one is started here for as long as the program runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tavarine-lobby

if ! (: </dev/tcp/127.0.0.1/6664) 2>/dev/null; then
  dir=$(mktemp -d /tmp/tavarine-ircd.XXXXXX)
  chmod 755 "$dir"; mkdir -m 755 "$dir/conf.d"
  [ "$(id -u)" -ne 0 ] || chown irc:irc "$dir"  # as root ngircd runs as irc, and writes its pid file here
  # The lobby's own server, on this machine only: ngircd takes a setting's last value.
  { cat server/ngircd.conf
    printf '[Global]\n\tListen = 127.0.0.1\n\tPidFile = %s/ngircd.pid\n[Options]\n\tIncludeDir = %s/conf.d\n' "$dir" "$dir"
  } >"$dir/ngircd.conf"
  ngircd -n -f "$dir/ngircd.conf" >"$dir/ngircd.log" 2>&1 &
  ircd=$!
  trap 'kill $ircd 2>/dev/null; rm -rf "$dir"' EXIT
  for _ in $(seq 100); do (: </dev/tcp/127.0.0.1/6664) 2>/dev/null && break; sleep 0.1; done
  echo "Started a local IRC server on 127.0.0.1:6664"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running under Xvfb"
  xvfb-run -a build/app/tavarine-lobby
else
  build/app/tavarine-lobby
fi
