#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build tree as a packager would and has lintian check it:
# no error and no warning. Informational tags are shown but allowed; those left, and why:
#   package-contains-documentation-outside-usr-share-doc usr/share/sdvigul/help.txt: the help
#     text is the game's data: F1 reads help.txt from the current directory, and the menu
#     entry starts the game in that folder.
#   binary-has-unneeded-section .comment: CPack's strip keeps the compiler's version note
#     (a few dozen bytes); Debian's own build tools would drop it.
#   hardening-no-bindnow, hardening-no-fortify-functions: the build uses its own flags, not
#     Debian's build flags (-z now, _FORTIFY_SOURCE).
set -euo pipefail
build_dir=$1
command -v lintian >/dev/null || { echo "lintian is missing (bash build.sh test installs it)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; exit 1; }
deb=$(ls "$out"/sdvigul_*.deb)
# Fails on a tag at error or warning level, and when lintian itself fails.
lintian --fail-on error,warning --display-info "$deb" ||
    { echo "lintian failed on $(basename "$deb")" >&2; exit 1; }
echo "lintian check passed: $(basename "$deb")"
