# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian packages the game needs to build and to be tested, for Debian 12 and 13. Sourced by
# build.sh, packaging/check-deb.sh and tools/windows/build-windows.sh; `release_build_packages`
# and `release_test_packages` add the names that differ between releases, and expect
# `build_dir` to be set.

# qt6-wayland: the game runs as a native Wayland client where the desktop offers one.
# qt6-wayland-dev: the game's own Wayland title bar is a plugin of Qt's Wayland client.
# qt6-base-private-dev: Qt's private interface, which windowing/ alone uses (the close request
# while a box is open, the drop's release point, the Wayland display).
# libwayland-dev: the title writer asks the Wayland compositor which interfaces it offers.
build_packages=(cmake make g++ qt6-base-dev libxcb1-dev fonts-dejavu-core qt6-translations-l10n
    qt6-wayland qt6-wayland-dev qt6-base-private-dev libwayland-dev)
# sway, mutter, kwin-*: the desktops the scenario under tests/desktops runs the game on;
# without kwin-style-breeze KWin draws no title bars. dbus-daemon and dbus-bin: each test
# session's own bus and KWin's scripting calls. at-spi2-core and python3-pyatspi: the
# accessibility test reads and plays the game as a screen reader does. orca, speech-dispatcher
# and speech-dispatcher-espeak-ng: a blind player's game with the real screen reader, which
# speaks through espeak-ng; procps: the test asks pgrep whether another Orca runs already.
# libxcb-xfixes0-dev: the real-window tests read the pointer's picture, which is where a drag
# under Windows shows its tile.
test_packages=(xvfb xauth xdotool imagemagick openbox wmctrl x11-utils libxcb-xfixes0-dev
    desktop-file-utils appstream dpkg-dev file
    sway wtype grim mutter kwin-x11 kwin-wayland kwin-style-breeze dbus-daemon dbus-bin
    at-spi2-core python3-pyatspi orca speech-dispatcher speech-dispatcher-espeak-ng procps
    lintian)
# The Windows build (bash build.sh windows), the same names on Debian 12 and 13.
# g++-mingw-w64-x86-64-posix and binutils: the MinGW-w64 cross compiler, with the threads Qt
# needs; mingw-w64-tools: the tools beside it. qt6-base-dev-tools: moc, rcc and uic for the
# cross build come from the host's Qt, the same version as the qtbase source package that
# dpkg-dev unpacks (xz-utils: its tarball). ninja-build: Qt's build wants Ninja. icoutils:
# icotool packs the icon sizes into the program's icon. nsis: makensis builds the installer.
windows_packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-tools qt6-base-dev qt6-base-dev-tools qt6-translations-l10n dpkg-dev xz-utils
    debian-archive-keyring icoutils nsis)
# The Windows build played under Wine (label windows). wine and wine64: the 64-bit loader, no
# 32-bit parts. fonts-wine: Wine's own Tahoma, Marlett and the other faces Windows programs
# expect, without which menus fall back to a serif face and caption buttons show as letters.
# xxd: the package check reads the program's icon and version record (icoutils: wrestool).
wine_test_packages=(wine wine64 fonts-wine xxd xvfb xauth)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Asks the release's package lists, reading them first on a machine that has none yet.
apt_cache() {
    local answer
    answer=$(apt-cache "$@" 2>/dev/null) || true
    if [ -z "$answer" ] && [ ! -f "$build_dir/.apt-updated" ]; then
        as_root apt-get update -qq
        mkdir -p "$build_dir" && touch "$build_dir/.apt-updated"
        answer=$(apt-cache "$@" 2>/dev/null) || true
    fi
    printf '%s\n' "$answer"
}

# Names that differ between releases. Where the release ships the private headers of Qt's
# Wayland client (Debian 13), the game's title bar builds against them; Debian 12 has none
# (the repository keeps the three it needs).
release_build_packages() {
    if apt_cache show qt6-wayland-private-dev | grep -q '^Package:'; then
        build_packages+=(qt6-wayland-private-dev)
    fi
}

# The fuzz targets use the clang that the release's own `clang` package stands for (14 on
# Debian 12, 19 on Debian 13), with its libFuzzer and sanitizer runtimes.
release_test_packages() {
    local llvm
    llvm=$(apt_cache depends clang | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
    if [ -z "$llvm" ]; then
        echo "build.sh: the package lists name no clang version" >&2
        exit 1
    fi
    test_packages+=(clang-"$llvm" libfuzzer-"$llvm"-dev libclang-rt-"$llvm"-dev)
}
