#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without a reachable display the game must say so in one line and exit non-zero, instead of
# Qt's abort with a core dump.
set -uo pipefail
game=$1
check() {
    local what=$1; shift
    local err
    err=$(mktemp)
    "$@" "$game" >/dev/null 2>"$err"
    local rc=$?
    local lines
    lines=$(grep -vc '^QStandardPaths' "$err")
    # 126/127: the game was not even started; 128 and above: killed by a signal (Qt's abort).
    if [ "$rc" -eq 0 ] || [ "$rc" -ge 126 ] || [ "$lines" -ne 1 ] ||
        ! grep -q '^sdvigul: ' "$err"; then
        echo "$what: exit $rc, $lines lines:" >&2
        cat "$err" >&2
        exit 1
    fi
    echo "$what: exit $rc: $(cat "$err")"
    rm -f "$err"
}
check "no DISPLAY" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM
check "empty DISPLAY" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=
check "unreachable display" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:4711
check "xcb chosen, no DISPLAY" env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb
