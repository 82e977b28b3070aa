#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what build-windows.sh made: a windowed program with the game's icon and version
# record, a dist/ folder with the DLLs the program and its platform plugin import and nothing
# more, help.txt as Notepad reads it, a zip of dist/, and an installer that installs into a
# private Wine prefix, makes the Start-menu entry and removes exactly what it installed.
#   check_package.sh BUILD_WINDOWS_DIR VERSION
set -euo pipefail
out=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
dist=$out/dist
exe=$dist/sdvigul.exe
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }

IFS=. read -r major minor patch tweak <<<"$version"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A GUI program: no console window opens beside the game.
# (Each tool's output is read whole before grep looks at it: with pipefail, a grep -q that
# stops early would fail the pipe.)
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" ||
    fail "sdvigul.exe is not a Windows GUI program"

# The icon group holds every size of the Linux icon theme.
wrestool -x -t14 -n1 "$exe" >"$scratch/group.ico" 2>/dev/null || fail "no icon group 1"
sizes=$(icotool -l "$scratch/group.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | xargs)
want=$(find "$repo/resources/icons" -name 'sdvigul-*.png' | sed 's/.*sdvigul-\([0-9]*\)\.png/\1/' |
    sort -n | xargs)
[ "$sizes" = "$want" ] || fail "icon sizes '$sizes', expected '$want'"

# The version record: the fixed version (after the 0xFEEF04BD signature, little-endian words)
# and the strings, UTF-16 in the resource.
wrestool -x --raw -t16 "$exe" >"$scratch/version.res" && [ -s "$scratch/version.res" ] ||
    fail "no version record"
fixed=$(printf 'bd04effe00000100%02x00%02x00%02x00%02x00' "$minor" "$major" "$tweak" "$patch")
grep -q "$fixed" <<<"$(xxd -p "$scratch/version.res" | tr -d '\n')" ||
    fail "fixed file version is not $version"
strings=$(iconv -c -f UTF-16LE -t UTF-8 "$scratch/version.res" | tr '\0' '\n')
file_version=$(printf '%d.%02d.%04d' "$major" "$minor" "$tweak")
for expected in "FileVersion" "$file_version" '"Сдвигуль"' \
    "Классическая игра в сдвигуль. Цель - расположить фишки" "Команда Сдвигуля"; do
    grep -qF -- "$expected" <<<"$strings" || fail "version record lacks: $expected"
done

# Every DLL in dist/ is imported by the program, its platform plugin or another DLL there.
needed=$(for binary in "$exe" "$dist"/platforms/*.dll "$dist"/*.dll; do imports "$binary"; done |
    tr '[:upper:]' '[:lower:]' | sort -u)
for dll in "$dist"/*.dll; do
    name=$(basename "$dll" | tr '[:upper:]' '[:lower:]')
    grep -qxF "$name" <<<"$needed" || fail "dist/ holds $name, which nothing imports"
done
for file in qt.conf help.txt platforms/qwindows.dll translations/qtbase_ru.qm; do
    [ -f "$dist/$file" ] || fail "dist/ lacks $file"
done

# help.txt as Notepad wants it: a byte order mark, CR LF, the shipped text.
[ "$(head -c3 "$dist/help.txt" | xxd -p)" = efbbbf ] || fail "help.txt has no byte order mark"
tail -c +4 "$dist/help.txt" | sed 's/\r$//' | cmp -s - "$repo/resources/help/help.txt" ||
    fail "help.txt differs from resources/help/help.txt"
[ "$(grep -c $'\r$' "$dist/help.txt")" = "$(wc -l <"$dist/help.txt")" ] ||
    fail "help.txt has lines without CR LF"

# The zip holds dist/ under one folder.
zip=$out/sdvigul-$version-win64.zip
(cd "$dist" && find . -type f | sed 's|^\./||' | sort) >"$scratch/dist.list"
cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort >"$scratch/zip.list" ||
    fail "no zip at $zip"
cmp -s "$scratch/dist.list" "$scratch/zip.list" || fail "the zip does not hold dist/ as it is"

# The installer, silent, in a Wine prefix of this test's own.
export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
in_wine() { xvfb-run -a "$@"; }
in_wine wine "$out/sdvigul-$version-setup.exe" /S
wineserver -w
folder=$WINEPREFIX/drive_c/Program\ Files/Сдвигуль
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Сдвигуль.lnk
(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||' | sort) >"$scratch/installed.list"
{ cat "$scratch/dist.list" && echo uninstall.exe; } | sort >"$scratch/expected.list"
cmp -s "$scratch/expected.list" "$scratch/installed.list" ||
    fail "installed files differ from dist/: $(diff "$scratch/expected.list" "$scratch/installed.list" | tr '\n' ' ')"
[ -f "$shortcut" ] || fail "no Start-menu entry Сдвигуль.lnk"
# The shortcut starts the game in its folder: the link holds it as its working directory, in
# UTF-16 (the target path is held in other forms).
workdir=$(printf '%s' 'C:\Program Files\Сдвигуль' | iconv -t UTF-16LE | xxd -p | tr -d '\n')
grep -q "$workdir" <<<"$(xxd -p "$shortcut" 2>/dev/null | tr -d '\n')" ||
    fail "the shortcut does not start the game in its folder"

# A player's own file in the folder outlives the uninstall; everything installed goes.
echo "мои заметки" >"$folder/notes.txt"
in_wine wine "$folder/uninstall.exe" /S
wineserver -w
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
left=$(cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||' | sort | xargs)
[ "$left" = notes.txt ] || fail "after uninstall the folder holds: '$left' (expected notes.txt)"
wineserver -k || true

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "Windows package checked: $(du -sh "$dist" | cut -f1) dist/, $(du -h "$zip" | cut -f1) zip, $(du -h "$out/sdvigul-$version-setup.exe" | cut -f1) installer"
