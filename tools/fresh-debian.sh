#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a brand-new Debian: a minimal debootstrap chroot of the given release, with
# a clean clone of this repository's committed HEAD in /srv/sdvigul, as root, as a fresh
# machine would run it. Needs root, debootstrap (installed if missing) and Debian's mirror.
#   bash tools/fresh-debian.sh trixie 'bash build.sh test'
# The untouched base system is kept in ${TMPDIR:-/tmp}/sdvigul-fresh/RELEASE for later runs;
# each run works on a copy of it, removed at the end.
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: bash tools/fresh-debian.sh RELEASE COMMAND" >&2
    exit 2
fi
release=$1
command=$2
source_dir=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cache=${TMPDIR:-/tmp}/sdvigul-fresh
base=$cache/$release

# The host's own mirror, if it names one, else Debian's.
mirror=http://deb.debian.org/debian
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
fi

mkdir -p "$cache"
if [ ! -f "$base/.complete" ]; then
    bash "$source_dir/tools/install-missing.sh" debootstrap
    rm -rf "$base"
    echo "fresh-debian: making a minimal Debian $release (log: $cache/$release.log)" >&2
    debootstrap --variant=minbase "$release" "$base" "$mirror" >"$cache/$release.log" 2>&1
    touch "$base/.complete"
fi

root=$(mktemp -d "$cache/run.XXXXXX")
mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT
cp -a "$base/." "$root/"
rm -f "$root/.complete"
cat >"$root/etc/apt/sources.list.d/debian.sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: ${mirror%/debian}/debian-security
Suites: $release-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
rm -f "$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
for fs in proc sys dev dev/pts; do
    mount --bind "/$fs" "$root/$fs"
    mounted+=("$root/$fs")
done
git clone -q "$source_dir" "$root/srv/sdvigul"
echo "fresh-debian: on a new Debian $release: $command" >&2
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI="${CI:-}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /srv/sdvigul && $command" || status=$?
# The new system goes at the end; a failed run's test logs and screenshots stay for a look.
if [ "$status" -ne 0 ] && [ -d "$root/srv/sdvigul/build" ]; then
    kept=$cache/failed-$release-$(date +%Y%m%d-%H%M%S)
    mkdir -p "$kept"
    (cd "$root/srv/sdvigul/build" &&
        find . \( -name '*.png' -o -path ./Testing/Temporary/LastTest.log \) \
            -exec cp --parents {} "$kept" \;) || true
    echo "fresh-debian: the failed run's test logs and screenshots: $kept" >&2
fi
exit "$status"
