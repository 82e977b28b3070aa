#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds, then starts the game or runs every test.
#   bash build.sh run    build and start the game
#   bash build.sh test   build and run all tests (headless: offscreen Qt and Xvfb)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
build_dir=${SDVIGUL_BUILD_DIR:-build}

build_packages=(cmake make g++ qt6-base-dev libxcb1-dev fonts-dejavu-core qt6-translations-l10n)
test_packages=(xvfb xauth xdotool imagemagick openbox wmctrl x11-utils
    desktop-file-utils appstream dpkg-dev file)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "build.sh: installing ${missing[*]}" >&2
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

build() {
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j"$(nproc)"
}

case "$mode" in
run)
    install_missing "${build_packages[@]}"
    build
    exec "./$build_dir/app/sdvigul"
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    build
    ctest --test-dir "$build_dir" --output-on-failure --label-exclude 'soak|bench' \
        --timeout 900 -j"$(nproc)"
    ;;
*)
    echo "usage: bash build.sh run|test" >&2
    exit 2
    ;;
esac
