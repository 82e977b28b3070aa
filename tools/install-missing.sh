#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the named Debian packages that are not installed yet (as root, or through sudo),
# without recommended extras. Shared by build.sh and bench/run.sh.
#   bash tools/install-missing.sh package...
set -euo pipefail

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Scripts of this project that install at the same time (CI builds Qt for Windows beside the
# other release's run) take turns, rather than one failing on dpkg's lock. flock -o holds the
# lock itself: a daemon some package starts does not inherit it.
if [ -z "${SDVIGUL_INSTALL_TURN:-}" ]; then
    SDVIGUL_INSTALL_TURN=1 exec flock -o "${TMPDIR:-/tmp}/sdvigul-install-missing.lock" \
        bash "$0" "$@"
fi

missing=()
for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-missing: installing ${missing[*]}" >&2
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
