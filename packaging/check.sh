#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metadata, builds the .deb
# (packaging/deb.sh) and checks what it holds: the stripped program, the desktop
# entry, icons, metadata and copyright file, and the font dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package check: $*" >&2; exit 1; }

desktop-file-validate packaging/tavarine-lobby.desktop
appstreamcli validate --no-net packaging/tavarine-lobby.metainfo.xml

deb=$(bash packaging/deb.sh)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in usr/bin/tavarine-lobby \
         usr/share/applications/tavarine-lobby.desktop \
         usr/share/icons/hicolor/32x32/apps/tavarine-lobby.png \
         usr/share/icons/hicolor/48x48/apps/tavarine-lobby.png \
         usr/share/metainfo/tavarine-lobby.metainfo.xml \
         usr/share/doc/tavarine-lobby/copyright; do
  grep -qx "\./$f" <<<"$contents" || fail "$deb has no /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in fonts-liberation2 fonts-dejavu-core libqt6widgets6; do
  grep -qw -- "$p" <<<"$depends" || fail "$deb does not depend on $p"
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
dpkg-deb -x "$deb" "$dir"
file -b "$dir/usr/bin/tavarine-lobby" | grep -q ', stripped' || fail "the program in $deb is not stripped"
echo "package: $deb, $(stat -c %s "$deb") bytes: stripped program, desktop entry, icons, metadata, copyright"
