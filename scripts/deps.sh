#!/usr/bin/env bash
# Installs on Debian 12 the packages of the named lists that are missing.
#   bash scripts/deps.sh [LIST]...     LIST: run (default), test, package, bench
# Each list is packaging/deps-LIST.txt: one package a line, '#' starts a comment.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- run
packages=()
for list in "$@"; do
  file="packaging/deps-$list.txt"
  [ -f "$file" ] || { echo "deps.sh: no package list $file" >&2; exit 2; }
  while read -r p _; do
    [ -n "$p" ] && packages+=("$p")
  done < <(sed 's/#.*//' "$file")
done
missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
wait_lock=(-o DPkg::Lock::Timeout=600)  # another install running: wait for it
$sudo apt-get "${wait_lock[@]}" update -qq
$sudo apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The packages' own services are not wanted: tests start servers of their own.
for s in ngircd inspircd; do
  $sudo systemctl disable --now "$s" >/dev/null 2>&1 || $sudo service "$s" stop >/dev/null 2>&1 || true
done
