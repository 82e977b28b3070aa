#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing (Debian 12), builds, then starts the game or runs every test.
#   bash build.sh run    build and start the game
#   bash build.sh test   build and run all tests (headless: offscreen Qt and Xvfb)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${SDVIGUL_BUILD_DIR:-build}

# qt6-wayland: the game runs as a native Wayland client where the desktop offers one.
# qt6-wayland-dev: the game's own Wayland title bar is a plugin of Qt's Wayland client.
# qt6-base-private-dev: the main window's close request filter hooks into Qt's event queue.
# libwayland-dev: the title writer asks the Wayland compositor which interfaces it offers.
build_packages=(cmake make g++ qt6-base-dev libxcb1-dev fonts-dejavu-core qt6-translations-l10n
    qt6-wayland qt6-wayland-dev qt6-base-private-dev libwayland-dev)
# sway, mutter, kwin-*: the desktops the scenario under tests/desktops runs the game on;
# without kwin-style-breeze KWin draws no title bars. dbus-daemon and dbus-bin: each test
# session's own bus and KWin's scripting calls. at-spi2-core and python3-pyatspi: the
# accessibility test reads and plays the game as a screen reader does. orca, speech-dispatcher
# and speech-dispatcher-espeak-ng: a blind player's game with the real screen reader.
test_packages=(xvfb xauth xdotool imagemagick openbox wmctrl x11-utils
    desktop-file-utils appstream dpkg-dev file
    sway wtype grim mutter kwin-x11 kwin-wayland kwin-style-breeze dbus-daemon dbus-bin
    at-spi2-core python3-pyatspi orca speech-dispatcher speech-dispatcher-espeak-ng
    clang-14 libfuzzer-14-dev libclang-rt-14-dev
    lintian)

build() {
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j"$(nproc)"
}

case "$mode" in
run)
    bash tools/install-missing.sh "${build_packages[@]}"
    build
    game=$(cd "$build_dir/app" && pwd)/sdvigul
    # F1 reads help.txt from the current directory: start where the shipped one lies, as the
    # installed game's menu entry does.
    cd resources/help
    exec "$game"
    ;;
test)
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
