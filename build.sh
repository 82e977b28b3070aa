#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing (Debian 12 or 13), builds, then starts the game or runs every test.
#   bash build.sh run    build and start the game
#   bash build.sh test   build and run all tests (headless: offscreen Qt and Xvfb); with
#                        SDVIGUL_TEST_WINDOWS=0 without the Windows build and its tests
#                        (the default on Debian 13, whose Qt for Windows does not build yet)
#   bash build.sh windows  build the 64-bit Windows game, its zip and installer in build-windows/
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${SDVIGUL_BUILD_DIR:-build}

# The package lists, and the names that differ between releases.
source tools/packages.sh

# The Windows build and its tests: Debian 12 only for now, as Qt 6.8.2 for Windows does not
# build yet.
test_windows=${SDVIGUL_TEST_WINDOWS:-$([ "$(. /etc/os-release && echo "${VERSION_ID:-}")" = 12 ] && echo 1 || echo 0)}

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
    else
        excluded+='|windows'
    fi
    bash tools/install-missing.sh "${build_packages[@]}" "${test_packages[@]}"
    build
    # The Windows game is built before the tests, so that its test only checks it: a cold
    # cache builds Qt for Windows first, longer than one test may take.
    if [ "$test_windows" = 1 ]; then
        bash tools/windows/build-windows.sh
    fi
    ctest --test-dir "$build_dir" --output-on-failure --label-exclude "$excluded" \
        --timeout 900 -j"$(nproc)"
    ;;
windows)
    bash tools/windows/build-windows.sh
    ;;
*)
    echo "usage: bash build.sh run|test|windows" >&2
    exit 2
    ;;
esac
