#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package for a release and checks that it installs on a clean system of
# that release and starts the game: the package goes into a fresh minimal system made with
# debootstrap, apt pulls in its dependencies, and the installed game, started as the desktop
# menu starts it (the entry's Exec= in its Path=), must map its window under Xvfb, show the
# shipped help on F1 and, where the package holds it, bring its Wayland title bar.
# The package is built on the release it is for (its Qt dependency is exact): on this machine
# when it runs that release, otherwise inside a new minimal system of that release.
#   sudo bash packaging/check-deb.sh [12|13]    (default: the release this machine runs)
#   CLEAN_ROOT=/path/to/pristine/system ...     (reuse a ready minimal system, copied first)
# Needs root, debootstrap (installed if missing) and Debian's mirror.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-deb.sh: run as root" >&2; exit 2; }

this_release=$(. /etc/os-release && echo "${VERSION_ID:-}")
release=${1:-$this_release}
case "$release" in
12) codename=bookworm ;;
13) codename=trixie ;;
*)
    echo "usage: bash packaging/check-deb.sh [12|13]" >&2
    exit 2
    ;;
esac
if [ "$release" != "$this_release" ]; then
    exec bash tools/fresh-debian.sh "$codename" "bash packaging/check-deb.sh $release"
fi

build_dir=${SDVIGUL_BUILD_DIR:-build-deb}
source tools/packages.sh
release_build_packages
bash tools/install-missing.sh "${build_packages[@]}" dpkg-dev file debootstrap
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build_dir" -j"$(nproc)" >/dev/null
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/sdvigul_*.deb | head -1)
echo "check-deb.sh: built $deb on Debian $release"
dpkg-deb --info "$deb" | sed -n '/Depends/p'
titlebar=/usr/lib/sdvigul/plugins/wayland-decoration-client/titlebar.so
# The listing is read whole first: grep -q stops at the first match, and under pipefail the
# writer's broken pipe would read as "not there".
contents=$(dpkg-deb --contents "$deb")
if grep -q " \.$titlebar\$" <<<"$contents"; then
    echo "check-deb.sh: the package holds the Wayland title bar"
elif [ -n "$(find "$build_dir" -path '*/wayland-decoration-client/titlebar.so')" ]; then
    echo "check-deb.sh: the Wayland title bar was built but the package does not hold it" >&2
    exit 1
else
    titlebar=""
    echo "check-deb.sh: the package holds no Wayland title bar (not built for this Qt)"
fi

root=$(mktemp -d /tmp/sdvigul-clean.XXXX)
chmod 755 "$root" # apt downloads as the user _apt
cleanup() {
    # Whatever still runs inside the new system (the game, Xvfb after a failed step).
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill "${proc#/proc/}" 2>/dev/null
    done
    for m in dev/pts dev proc sys; do umount -l "$root/$m" 2>/dev/null || true; done
    rm -rf "$root"
}
trap cleanup EXIT
if [ -n "${CLEAN_ROOT:-}" ]; then
    cp -a "$CLEAN_ROOT/." "$root/"
else
    mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    debootstrap --variant=minbase "$codename" "$root" ${mirror:+"$mirror"} >/dev/null
fi
# This system's sources in place of debootstrap's own list, which names the same mirror.
if cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/" 2>/dev/null; then
    rm -f "$root/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
for m in proc sys dev dev/pts; do mount --bind "/$m" "$root/$m"; done
cp "$deb" "$root/tmp/sdvigul.deb"

chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    TITLEBAR="$titlebar" bash -euo pipefail -c '
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        /tmp/sdvigul.deb xvfb xdotool >/dev/null
    test -x /usr/games/sdvigul
    test -f /usr/share/sdvigul/help.txt
    test -f /usr/share/man/man6/sdvigul.6.gz
    test -f /usr/share/man/ru/man6/sdvigul.6.gz
    test -f /usr/share/doc/sdvigul/copyright
    test -f /usr/share/icons/hicolor/48x48/apps/org.example.sdvigul.png
    if [ -n "$TITLEBAR" ]; then
        test -f "$TITLEBAR"
        # Every library the plugin needs comes with the package'"'"'s dependencies.
        if ldd "$TITLEBAR" | grep -q "not found"; then
            echo "check-deb.sh: the title bar lacks a library:" >&2
            ldd "$TITLEBAR" | grep "not found" >&2
            exit 1
        fi
        echo "check-deb.sh: the title bar is installed and finds its libraries"
    fi
    entry=/usr/share/applications/org.example.sdvigul.desktop
    exec_line=$(sed -n "s/^Exec=//p" $entry)
    folder=$(sed -n "s/^Path=//p" $entry)
    echo "check-deb.sh: the menu runs \"$exec_line\" in $folder"
    Xvfb :57 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    (cd "$folder" && DISPLAY=:57 exec $exec_line) >/tmp/sdvigul.log 2>&1 &
    game=$!
    rc=1
    if window=$(DISPLAY=:57 timeout 20 xdotool search --sync --onlyvisible --name "^Сдвигуль$" |
        head -n 1); then
        echo "check-deb.sh: the installed game started and mapped its window"
        DISPLAY=:57 xdotool windowfocus --sync "$window" key F1
        if DISPLAY=:57 timeout 10 xdotool search --sync --onlyvisible --name "^help.txt - " >/dev/null; then
            echo "check-deb.sh: F1 showed the shipped help"
            rc=0
        else
            echo "check-deb.sh: F1 did not show the help" >&2
        fi
    else
        echo "check-deb.sh: the installed game did not show its window" >&2
    fi
    [ $rc -eq 0 ] || cat /tmp/sdvigul.log >&2
    kill $game $xvfb 2>/dev/null || true
    exit $rc
'
