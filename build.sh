#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing (Debian 12 or 13), builds, then starts the game or runs every test.
#   bash build.sh run    build and start the game
#   bash build.sh test   build and run all tests (headless: offscreen Qt and Xvfb)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${SDVIGUL_BUILD_DIR:-build}

# The package lists, and the names that differ between releases.
source tools/packages.sh

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
    bash tools/install-missing.sh "${build_packages[@]}" "${test_packages[@]}"
    build
    ctest --test-dir "$build_dir" --output-on-failure --label-exclude 'soak|bench' \
        --timeout 900 -j"$(nproc)"
    ;;
*)
    echo "usage: bash build.sh run|test" >&2
    exit 2
    ;;
esac
