#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up, memory and CPU benchmark of the game against the genre's peers, side by side.
#
#   bash bench/run.sh [--quick] [--runs N] [--game PATH] [--build-dir DIR]
#
# Everything runs under one private Xvfb, with no window manager, inside a private session bus
# (dbus-run-session) that starts the accessibility bus when a program asks for it, as GNOME
# and KDE sessions do; the same for every program. Installs what is missing (Debian 12): Xvfb,
# the bus and the accessibility bus, the peers sgt-fifteen (sgt-puzzles) and gnome-taquin,
# and the headers the measuring helpers need. Builds the
# game (Release) into the build directory unless --game names a built binary, and the
# helpers into DIR/bench-tools. Prints a Markdown table; the raw numbers and the table are
# kept in DIR/bench-results/.
#
#   --quick      3 runs each, 12 s idle window (one title scroll), 6 s of the move master;
#                about a minute and a half (ctest -L bench)
#   --runs N     alternating runs per program after the warm-up (default 10)
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)

# The whole run happens inside its own session bus, which ends with it. Toolkits look for the
# session bus and, through it, for the accessibility bus as they start; how long that takes
# differs between them far more than anything else in a desktop session, so the measurement
# includes it as a desktop would.
if [ -z "${SDVIGUL_BENCH_SESSION:-}" ]; then
    bash "$source_dir/tools/install-missing.sh" dbus-daemon dbus-bin at-spi2-core
    # The bus and the services it starts print to stderr, not into the table on stdout;
    # the script gets its stdout back as fd 3.
    exec 3>&1 1>&2
    SDVIGUL_BENCH_SESSION=1 exec dbus-run-session -- bash -c 'exec 1>&3 3>&-; exec bash "$@"' \
        bash "$0" "$@"
fi
build_dir=$source_dir/build-bench
game=
runs=10
idle_s=60
master_s=60
master_cpu_s=30
mode=full

while [ $# -gt 0 ]; do
    case "$1" in
    --quick) mode=quick runs=3 idle_s=12 master_s=6 master_cpu_s=3 ;;
    --runs) runs=$2; shift ;;
    --game) game=$2; shift ;;
    --build-dir) build_dir=$2; shift ;;
    *) echo "usage: bash bench/run.sh [--quick] [--runs N] [--game PATH] [--build-dir DIR]" >&2
       exit 2 ;;
    esac
    shift
done

packages=(cmake make g++ pkgconf binutils qt6-base-dev fonts-dejavu-core libxcb1-dev
    libxcb-damage0-dev libxcb-xtest0-dev libxcb-xfixes0-dev xvfb sgt-puzzles gnome-taquin
    dbus-daemon dbus-bin at-spi2-core)



build() {
    if [ -z "$game" ]; then
        echo "bench: building the game (Release) in $build_dir" >&2
        cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$build_dir" -j"$(nproc)" --target sdvigul >/dev/null
        game=$build_dir/app/sdvigul
    fi
    game=$(realpath "$game")
    cmake -S "$source_dir/bench" -B "$build_dir/bench-tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir/bench-tools" -j"$(nproc)" >/dev/null
    tools=$build_dir/bench-tools
}

# ---------------------------------------------------------------- the display

work=
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    [ -n "$work" ] && rm -rf "$work"
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_display() {
    work=$(mktemp -d /tmp/sdvigul-bench.XXXXXX)
    mkdir -p "$work/home" "$work/runtime"
    chmod 700 "$work/runtime"
    # -displayfd: the server picks a free display itself and writes its number when ready.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.05
    done
    [ -s "$work/display" ] || { echo "bench: Xvfb did not start" >&2; exit 1; }
    display=:$(head -n1 "$work/display")
}

# Every program gets the same small environment: the session bus, no desktop, no Qt or GTK
# settings from the caller. GLib programs keep their settings through the bus (dconf) in the
# private home.
run_env() {
    env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/games HOME="$work/home" LANG=C.UTF-8 \
        DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" "$@"
}

# Whether the accessibility bus was started during the run (a program asked for it).
accessibility_bus() {
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
    then
        echo "running"
    else
        echo "not started"
    fi
}

# ---------------------------------------------------------------- measuring

declare -A command
programs=(ours sgt taquin bare)
failures=0

program_command() {
    case "$1" in
    ours) echo "$game" ;;
    sgt) echo /usr/games/sgt-fifteen ;;
    taquin) echo /usr/games/gnome-taquin ;;
    bare) echo "$tools/bareqt" ;;
    barescroll) echo "$tools/bareqt-scroll" ;;
    esac
}

# mapwait <program> <kind> <run> [options]: one measured life of the program; its key=value
# lines are appended to the results as "program kind run key value".
measure() {
    local program=$1 kind=$2 run=$3
    shift 3
    local out ok=1
    out=$(run_env "$tools/mapwait" --log "$work/$program.log" "$@" -- "${command[$program]}" \
        2>>"$work/mapwait.err") || ok=0
    sleep 0.3 # let the server drop the closed client before the next start
    if [ "$ok" -eq 0 ]; then
        failures=$((failures + 1))
        echo "bench: $program $kind run $run failed: $(tail -n1 "$work/mapwait.err")" >&2
        return 0
    fi
    [ "$kind" = warmup ] && return 0
    grep -v '^final_hash=' <<<"$out" |
        sed -n 's/^\([a-z0-9_.]*\)=\([-0-9.]*\)$/'"$program $kind $run"' \1 \2/p' >>"$results"
}

start_options() {
    if [ "$1" = ours ]; then
        # The game opens with an empty board; F2 deals one, as a player would.
        echo --frame --on-map F2 --not-board "$untouched_hash" --at 2000 sample:s2
    else
        # Both peers open with a dealt board; the settled first picture is that board. The
        # focus goes to every new window, as a window manager would give it.
        echo --frame --focus --at 2000 sample:s2
    fi
}

warm_up() {
    echo "bench: warm-up" >&2
    local out
    out=$(run_env "$tools/mapwait" --frame --focus -- "$game" 2>>"$work/mapwait.err") || {
        echo "bench: the game did not start: $(tail -n1 "$work/mapwait.err")" >&2
        exit 1
    }
    # The untouched window's picture: a run that settles on it never showed the board.
    untouched_hash=$(sed -n 's/^final_hash=//p' <<<"$out")
    for program in "${programs[@]}"; do
        # shellcheck disable=SC2046
        measure "$program" warmup 0 $(start_options "$program")
    done
}

alternating_runs() {
    echo "bench: $runs alternating runs of ${programs[*]}" >&2
    for run in $(seq "$runs"); do
        for program in "${programs[@]}"; do
            # shellcheck disable=SC2046
            measure "$program" start "$run" $(start_options "$program")
        done
    done
}

# One program at a time, nothing else of ours running: the CPU windows must be undisturbed.
# The bare window scrolling its title like the game joins here: it is the idle floor.
idle_sessions() {
    echo "bench: ${idle_s} s idle, each program in turn" >&2
    for program in "${programs[@]}" barescroll; do
        measure "$program" idle 1 --focus --at 2000 sample:s2 --at $((2000 + idle_s * 1000)) sample:end
    done
}

master_session() {
    echo "bench: ${master_s} s of the move master" >&2
    local on=2500
    measure ours master 1 --focus --at 2000 sample:s2 --at 2000 keys:F2 --at $on keys:ctrl+F3 \
        --at $((on + 2000)) sample:m2 --at $((on + (master_s - master_cpu_s) * 1000)) sample:cpu0 \
        --at $((on + master_s * 1000)) sample:end
}

binary_sizes() {
    local program file
    for program in "${programs[@]}"; do
        file=$(realpath "${command[$program]}")
        cp "$file" "$work/stripped"
        strip "$work/stripped"
        {
            echo "$program bin 1 file_kb $(($(stat -c %s "$file") / 1024))"
            echo "$program bin 1 stripped_kb $(($(stat -c %s "$work/stripped") / 1024))"
            echo "$program bin 1 size_kb $(($(size "$file" | awk 'NR == 2 { print $4 }') / 1024))"
        } >>"$results"
    done
}

# ---------------------------------------------------------------- the report

machine_line() {
    local cpu os
    cpu=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n1)
    os=$(. /etc/os-release && echo "$PRETTY_NAME")
    echo "Machine: $cpu, $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB," \
        "kernel $(uname -r), $os."
}

versions_line() {
    local qt sgt taquin
    qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?')
    sgt=$(dpkg-query -W -f='${Version}' sgt-puzzles 2>/dev/null || echo '?')
    taquin=$(dpkg-query -W -f='${Version}' gnome-taquin 2>/dev/null || echo '?')
    echo "Qt $qt; sgt-puzzles $sgt; gnome-taquin $taquin; game at $(git -C "$source_dir" \
        rev-parse --short HEAD 2>/dev/null || echo '?')$(git -C "$source_dir" diff --quiet \
        HEAD 2>/dev/null || echo ' with uncommitted changes')."
}

# Processes outside the benchmark that map the toolkits' libraries. Pss divides every shared
# page among the processes mapping it, so these lower the measured programs' Pss.
sharers() {
    local qt=0 gtk=0 maps
    for maps in /proc/[0-9]*/maps; do
        [ "${maps#/proc/}" = "$BASHPID/maps" ] && continue
        grep -q 'libQt6Core' "$maps" 2>/dev/null && qt=$((qt + 1))
        grep -q 'libgtk-3' "$maps" 2>/dev/null && gtk=$((gtk + 1))
    done
    echo "$qt Qt 6 / $gtk GTK 3"
}

report() {
    {
        echo "### Benchmark, $(date -u '+%Y-%m-%d %H:%M UTC') ($mode)"
        echo
        machine_line
        versions_line
        echo "One Xvfb 1280×1024×24, no window manager, inside a private session bus" \
            "(dbus-run-session) that starts the accessibility bus on request, as GNOME and KDE" \
            "sessions do (accessibility bus at the end: $(accessibility_bus)); after one" \
            "warm-up run each, $runs runs of every program alternating; memory and CPU from" \
            "/proc." \
            "Load average before / after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)." \
            "Other processes mapping the toolkits before / after: $sharers_before / $(sharers)" \
            "(they share pages with the measured programs and so lower their Pss)."
        echo
        "$tools/benchtable" --idle-s "$idle_s" --master-s "$master_s" \
            --master-cpu-s "$master_cpu_s" "$results"
        [ "$failures" -eq 0 ] || echo -e "\n$failures runs failed; see the messages above."
    } | tee "$table"
    echo "bench: table in $table, raw numbers in $results" >&2
}

bash "$source_dir/tools/install-missing.sh" "${packages[@]}"
build
for program in "${programs[@]}" barescroll; do
    command[$program]=$(program_command "$program")
done
mkdir -p "$build_dir/bench-results"
stamp=$(date -u +%Y%m%d-%H%M%S)
results=$build_dir/bench-results/$stamp-$mode.txt
table=$build_dir/bench-results/$stamp-$mode.md
: >"$results"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
sharers_before=$(sharers)

start_display
warm_up
alternating_runs
idle_sessions
master_session
binary_sizes
report
[ "$failures" -eq 0 ]
