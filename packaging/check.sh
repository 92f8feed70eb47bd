#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metadata, builds the .deb
# (packaging/deb.sh) and checks it: what it holds, its relations, the newest
# changelog entry, lintian (no error, no warning) and AppStream on the installed
# tree.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package check: $*" >&2; exit 1; }
bash scripts/deps.sh run package >&2

meta=packaging/tavarine-lobby.metainfo.xml
desktop-file-validate packaging/tavarine-lobby.desktop
appstreamcli validate --no-net "$meta"
[ -f LICENSE ] || fail "no LICENSE at the top of the tree"
# The text of the first <$1> element of the metadata.
tag() { sed -n "s:.*<$1>\(.*\)</${1%% *}>.*:\1:p" "$meta" | head -n1; }
id=$(tag id)
launchable=$(tag 'launchable type="desktop-id"')
[ "$launchable" = tavarine-lobby.desktop ] || fail "$meta launches '$launchable', not tavarine-lobby.desktop"

deb=$(bash packaging/deb.sh)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in usr/bin/tavarine-lobby \
         usr/share/applications/tavarine-lobby.desktop \
         usr/share/icons/hicolor/32x32/apps/tavarine-lobby.png \
         usr/share/icons/hicolor/48x48/apps/tavarine-lobby.png \
         "usr/share/metainfo/$id.metainfo.xml" \
         usr/share/man/man1/tavarine-lobby.1.gz \
         usr/share/doc/tavarine-lobby/changelog.Debian.gz \
         usr/share/doc/tavarine-lobby/copyright \
         usr/share/lintian/overrides/tavarine-lobby; do
  grep -qx "\./$f" <<<"$contents" || fail "$deb has no /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for p in fonts-liberation2 fonts-dejavu-core libqt6widgets6; do
  grep -qw -- "$p" <<<"$depends" || fail "$deb does not depend on $p"
done
grep -qw wine <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "$deb does not recommend wine"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
dpkg-deb -x "$deb" "$dir/root"
file -b "$dir/root/usr/bin/tavarine-lobby" | grep -q ', stripped' || fail "the program in $deb is not stripped"
# A version bump has to reach the changelog and the AppStream releases too.
version=$(dpkg-deb -f "$deb" Version)
zcat "$dir/root/usr/share/doc/tavarine-lobby/changelog.Debian.gz" >"$dir/changelog"
logged=$(dpkg-parsechangelog -l "$dir/changelog" -S Version)
[ "$logged" = "$version" ] || fail "the newest changelog entry is $logged, the package $version"
grep -q "<release version=\"${version%-*}\"" "$meta" || fail "$meta lists no release ${version%-*}"

# As root lintian says so on stderr; that line is no finding.
lintian --profile debian --display-info --fail-on error,warning "$deb" >"$dir/lintian" 2>"$dir/lintian.err" \
  && status=0 || status=$?
cat "$dir/lintian"
grep -v 'running with root privileges' "$dir/lintian.err" >&2 || true
if grep -qE '^[EW]: ' "$dir/lintian" || [ "$status" -ne 0 ]; then
  fail "lintian finds errors or warnings in $deb (above), or did not run"
fi
appstreamcli validate-tree --no-net "$dir/root" || fail "AppStream finds faults in the tree $deb installs"
echo "package: $deb, $(stat -c %s "$deb") bytes: stripped program, desktop entry, icons, metadata, man page, changelog, copyright; lintian and AppStream clean"
