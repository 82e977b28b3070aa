#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing (Debian 12 or 13), builds, then starts the game or runs every test.
#   bash build.sh run    build and start the game
#   bash build.sh test   build and run all tests (headless: offscreen Qt and Xvfb); with
#                        SDVIGUL_TEST_WINDOWS=0 without the Windows build and its tests
#   bash build.sh windows  build the 64-bit Windows game, its zip and installer in build-windows/
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${SDVIGUL_BUILD_DIR:-build}

# The package lists, and the names that differ between releases.
source tools/packages.sh

test_windows=${SDVIGUL_TEST_WINDOWS:-1}

build() {
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j"$(nproc)"
}

case "$mode" in
run)
    release_build_packages
    bash tools/install-missing.sh "${build_packages[@]}"
    build
    game=$(cd "$build_dir/app" && pwd)/sdvigul
    # F1 reads help.txt from the current directory: start where the shipped one lies, as the
    # installed game's menu entry does.
    cd resources/help
    exec "$game"
    ;;
test)
    release_build_packages
    release_test_packages
    excluded='soak|bench'
    if [ "$test_windows" = 1 ]; then
        test_packages+=("${windows_packages[@]}" "${wine_test_packages[@]}")
    fi
    bash tools/install-missing.sh "${build_packages[@]}" "${test_packages[@]}"
    # Qt for Windows, when its cache is cold, builds at low priority beside the Linux build and
    # tests, in a session of its own that goes with this script if it stops early.
    if [ "$test_windows" = 1 ]; then
        mkdir -p "$build_dir"
        setsid bash tools/windows/build-windows.sh qt >"$build_dir/windows-qt.log" 2>&1 &
        windows_qt=$!
        trap 'kill -- -"$windows_qt" 2>/dev/null || true' EXIT
    fi
    build
    status=0
    ctest --test-dir "$build_dir" --output-on-failure --label-exclude "$excluded|windows" \
        --timeout 900 -j"$(nproc)" || status=$?
    if [ "$test_windows" = 1 ]; then
        # The Windows game is built before its tests, so that its first test only checks it.
        wait "$windows_qt" || {
            cat "$build_dir/windows-qt.log" >&2
            exit 1
        }
        trap - EXIT
        bash tools/windows/build-windows.sh
        ctest --test-dir "$build_dir" --output-on-failure --label-regex windows \
            --label-exclude "$excluded" --timeout 900 -j"$(nproc)" || status=$?
    fi
    exit "$status"
    ;;
windows)
    bash tools/windows/build-windows.sh
    ;;
*)
    echo "usage: bash build.sh run|test|windows" >&2
    exit 2
    ;;
esac
