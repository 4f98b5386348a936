#!/usr/bin/env bash
# Unpacks the .deb into a scratch root and runs the installed tools end to end: badgewright must
# find the installed iconutil beside itself, the man pages must be there, and every package the
# .deb depends on must be installed here.
# Usage: tests/package_test.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
src=$(realpath "$(dirname "$0")/..")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root/fs"
for f in usr/bin/badgewright usr/bin/iconutil usr/share/man/man1/badgewright.1.gz \
         usr/share/man/man1/iconutil.1.gz usr/share/doc/badgewright/copyright; do
  [ -s "$root/fs/$f" ] || fail "$f missing from the package"
done
man -l "$root/fs/usr/share/man/man1/badgewright.1.gz" 2>/dev/null | grep -q "badged variant" ||
  fail "the badgewright man page does not render"

recommends=$(dpkg-deb -f "$deb" Recommends)
for pkg in fonts-noto-cjk fonts-noto-color-emoji; do
  grep -q "$pkg" <<<"$recommends" || fail "Recommends lacks $pkg: $recommends"
done
grep -q "License: OFL-1.1" "$root/fs/usr/share/doc/badgewright/copyright" ||
  fail "the copyright file lacks the licence of the embedded font"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libpng16-16 libicu72 libfreetype6 libharfbuzz0b libjpeg62-turbo; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
for pkg in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/ //g'); do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
    fail "dependency $pkg is not installed"
done

mkdir "$root/tmp"
status=0
TMPDIR="$root/tmp" "$root/fs/usr/bin/badgewright" --input "$src/samples/App.icns" \
  --output "$root/Badged.icns" --label 3 --color "#2563EB" >"$root/out" 2>"$root/err" || status=$?
[ "$status" -eq 0 ] || fail "installed badgewright exited $status: $(cat "$root/err")"
[ ! -s "$root/out" ] && [ ! -s "$root/err" ] || fail "installed badgewright printed something"
[ -z "$(ls -A "$root/tmp")" ] || fail "scratch left in TMPDIR"
"$root/fs/usr/bin/iconutil" -c iconset -o "$root/Badged.iconset" "$root/Badged.icns"
[ "$(ls "$root/Badged.iconset" | wc -l)" -eq 10 ] || fail "the badged .icns does not hold ten pictures"
echo "package test: $(basename "$deb") installs and runs"
