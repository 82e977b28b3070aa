#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the built program into a scratch prefix and checks that everything lands in its
# standard place, that the desktop entry starts the game in the folder of the shipped help
# text, and that the desktop entry and the metainfo file validate.
set -euo pipefail
build_dir=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

fail() {
    echo "$*" >&2
    exit 1
}
expect() {
    [ -e "$prefix/$1" ] || fail "missing after install: $1"
}
expect games/sdvigul
[ -x "$prefix/games/sdvigul" ] || fail "games/sdvigul is not executable"
[ ! -e "$prefix/bin/sdvigul" ] || fail "bin/sdvigul: the program belongs in games/"
expect share/metainfo/org.example.sdvigul.metainfo.xml
# The Wayland title bar, where the game looks for it (a build without Qt's Wayland client
# development files has none).
if [ -n "$(find "$build_dir" -path '*/wayland-decoration-client/titlebar.so' -print -quit)" ]; then
    expect lib/sdvigul/plugins/wayland-decoration-client/titlebar.so
fi
for size in 16 32 48 64 128 256; do
    icon=share/icons/hicolor/${size}x${size}/apps/org.example.sdvigul.png
    expect "$icon"
    actual=$(file -b "$prefix/$icon" | grep -o '[0-9]* x [0-9]*' | tr -d ' ')
    [ "$actual" = "${size}x${size}" ] || fail "$icon is $actual"
done
cmp "$source_dir/resources/help/help.txt" "$prefix/share/sdvigul/help.txt"
expect share/doc/sdvigul/copyright
for gz in share/doc/sdvigul/changelog.gz share/man/man6/sdvigul.6.gz share/man/ru/man6/sdvigul.6.gz; do
    expect "$gz"
    gzip -t "$prefix/$gz"
done

desktop=$prefix/share/applications/org.example.sdvigul.desktop
expect "${desktop#"$prefix/"}"
desktop-file-validate "$desktop"
grep -qx 'Name=Сдвигуль' "$desktop" || fail "desktop entry: Name"
grep -qx 'Categories=Game;LogicGame;' "$desktop" || fail "desktop entry: Categories"
# The menu starts the installed program in the folder of help.txt, under this very prefix.
grep -qxF "Exec=$prefix/games/sdvigul" "$desktop" || fail "desktop entry: $(grep ^Exec= "$desktop")"
grep -qxF "Path=$prefix/share/sdvigul" "$desktop" || fail "desktop entry: $(grep ^Path= "$desktop")"
metainfo=$prefix/share/metainfo/org.example.sdvigul.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo"
# The newest release the software centre lists (the first one) is the program's version, the
# one the changelog's top entry carries.
version=$(gzip -dc "$prefix/share/doc/sdvigul/changelog.gz" | sed -n '1s/^sdvigul (\([^)]*\)).*/\1/p')
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ -n "$version" ] && [ "$release" = "$version" ] ||
    fail "metainfo: newest release '$release', program version '$version'"
echo "install check passed"
