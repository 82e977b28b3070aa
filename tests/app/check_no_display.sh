#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Without a reachable display the game must say so in one line and exit non-zero, instead of
# Qt's abort with a core dump. Qt's own ways of choosing a display (-platform, -display,
# QT_QPA_PLATFORM with a fallback list) must still open the game's window.
set -uo pipefail
game=$1
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/runtime" # a runtime directory with no compositor's socket in it

# -displayfd: the server picks a free display itself and writes its number when ready.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
x=:$(head -n1 "$work/display")

# check WHAT COMMAND...: the command (which runs the game) fails with one line on stderr.
check() {
    local what=$1; shift
    local err=$work/err
    "$@" >/dev/null 2>"$err"
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
}

# says TEXT: the line of the last check names TEXT (which display could not be reached).
says() {
    grep -qF -- "$1" "$work/err" || { echo "the line does not name $1" >&2; exit 1; }
}

# opens WHAT DISPLAY COMMAND...: the game's window appears on DISPLAY; with DISPLAY "-" (a
# platform without one) the game has to be still running after 3 s instead.
opens() {
    local what=$1 display=$2; shift 2
    "$@" >/dev/null 2>"$work/err" &
    local pid=$! shown=0
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || break
        if [ "$display" = - ]; then
            [ "$SECONDS" -ge "$until" ] && { shown=1; break; }
        elif xwininfo -display "$display" -root -tree 2>/dev/null | grep -q '("sdvigul" '; then
            shown=1
            break
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    local rc=$? # 143 when stopped here; anything else, the game ended by itself
    if [ "$shown" -ne 1 ]; then
        echo "$what: no window (exit $rc); the game said:" >&2
        cat "$work/err" >&2
        exit 1
    fi
    echo "$what: window shown"
}

no_wayland=(-u WAYLAND_DISPLAY -u WAYLAND_SOCKET)
rt=XDG_RUNTIME_DIR=$work/runtime
check "no DISPLAY" env -u DISPLAY "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" "$game"
check "empty DISPLAY" env "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" DISPLAY= "$game"
check "unreachable display" env "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" DISPLAY=:4711 "$game"
says :4711
check "xcb chosen, no DISPLAY" env -u DISPLAY "${no_wayland[@]}" "$rt" QT_QPA_PLATFORM=xcb "$game"
check "Wayland, then X, neither there" env -u DISPLAY "${no_wayland[@]}" "$rt" \
    QT_QPA_PLATFORM='wayland;xcb' "$game"
check "-display names an unreachable display" env "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" \
    DISPLAY="$x" "$game" -display :4711
says :4711
check "Wayland only, no compositor" env "${no_wayland[@]}" "$rt" QT_QPA_PLATFORM=wayland \
    DISPLAY="$x" "$game"
check "Wayland display that does not answer" env -u DISPLAY "${no_wayland[@]}" "$rt" \
    WAYLAND_DISPLAY=wayland-none QT_QPA_PLATFORM=wayland "$game"
says wayland-none
check "-platform names an unknown platform" env "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" \
    DISPLAY="$x" "$game" -platform nosuchplatform

until=$((SECONDS + 3))
opens "-platform offscreen, no DISPLAY" - env -u DISPLAY "${no_wayland[@]}" -u QT_QPA_PLATFORM \
    "$rt" "$game" -platform offscreen
opens "-display names the running server" "$x" env "${no_wayland[@]}" -u QT_QPA_PLATFORM "$rt" \
    DISPLAY=:4711 "$game" -display "$x"
opens "Wayland, then X: X is there" "$x" env "${no_wayland[@]}" "$rt" QT_QPA_PLATFORM='wayland;xcb' \
    DISPLAY="$x" "$game"
# Qt's messages held back while it opened the display are still printed afterwards.
grep -qi 'wl_display\|wayland' "$work/err" || { echo "Qt's message about Wayland was lost:" >&2; \
    cat "$work/err" >&2; exit 1; }
