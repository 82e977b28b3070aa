#!/usr/bin/env bash
# Installs the built program into a scratch prefix and checks that everything lands in its
# standard place and that the desktop entry and the metainfo file validate.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

expect() {
    [ -e "$prefix/$1" ] || { echo "missing after install: $1" >&2; exit 1; }
}
expect bin/sdvigul
expect share/applications/org.example.sdvigul.desktop
expect share/metainfo/org.example.sdvigul.metainfo.xml
for size in 16 32 48 64 128 256; do
    icon=share/icons/hicolor/${size}x${size}/apps/org.example.sdvigul.png
    expect "$icon"
    actual=$(file -b "$prefix/$icon" | grep -o '[0-9]* x [0-9]*' | tr -d ' ')
    [ "$actual" = "${size}x${size}" ] || { echo "$icon is $actual" >&2; exit 1; }
done
[ -x "$prefix/bin/sdvigul" ] || { echo "bin/sdvigul is not executable" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/org.example.sdvigul.desktop"
grep -q '^Name=Сдвигуль$' "$prefix/share/applications/org.example.sdvigul.desktop"
grep -q '^Categories=Game;LogicGame;$' "$prefix/share/applications/org.example.sdvigul.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.example.sdvigul.metainfo.xml"
echo "install check passed"
