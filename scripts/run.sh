#!/usr/bin/env bash
# Installs what running needs, builds the program alone (not the tests) in ./build,
# and runs the lobby. The program talks to the IRC server on this machine, port
# 6664; when none is listening, one is started here for as long as the program runs
# (with TLS on 6697 too when the certificate named in server/ngircd.conf is there).
# Arguments go to the program: scripts/run.sh --server ircs://localhost
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target tavarine-lobby

if ! (: </dev/tcp/127.0.0.1/6664) 2>/dev/null; then
  dir=$(mktemp -d /tmp/tavarine-ircd.XXXXXX)
  chmod 755 "$dir"; mkdir -m 755 "$dir/conf.d"
  [ "$(id -u)" -ne 0 ] || chown irc:irc "$dir"  # as root ngircd runs as irc, and writes its pid file here
  # TLS on 6697 too when the server's user can read the certificate and key the config names.
  readable() { if [ "$(id -u)" -ne 0 ]; then [ -r "$1" ]; else setpriv --reuid=irc --regid=irc --init-groups test -r "$1"; fi; }
  cert=$(sed -n 's/^[[:space:]]*CertFile = //p' server/ngircd.conf)
  key=$(sed -n 's/^[[:space:]]*KeyFile = //p' server/ngircd.conf)
  # The lobby's own server, on this machine only: ngircd takes a setting's last value.
  { cat server/ngircd.conf
    printf '[Global]\n\tListen = 127.0.0.1\n\tPidFile = %s/ngircd.pid\n[Options]\n\tIncludeDir = %s/conf.d\n' "$dir" "$dir"
    if readable "$cert" && readable "$key"; then tls=" and TLS on 6697"; else tls=""; printf '[SSL]\n\tPorts =\n'; fi
  } >"$dir/ngircd.conf"
  ngircd -n -f "$dir/ngircd.conf" >"$dir/ngircd.log" 2>&1 &
  ircd=$!
  trap 'kill $ircd 2>/dev/null; rm -rf "$dir"' EXIT
  for _ in $(seq 100); do (: </dev/tcp/127.0.0.1/6664) 2>/dev/null && break; sleep 0.1; done
  echo "Started a local IRC server on 127.0.0.1:6664$tls"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running under Xvfb"
  xvfb-run -a build/app/tavarine-lobby "$@"
else
  build/app/tavarine-lobby "$@"
fi
