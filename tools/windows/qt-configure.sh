#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures, builds and installs the cut-down Qt the Windows game needs (Core, Gui, Widgets
# and the windows platform plugin), cross compiled with MinGW-w64 from Debian's qtbase source.
# The build cache is keyed by this file's contents: any change here rebuilds Qt.
#   bash qt-configure.sh SOURCE_DIR BUILD_DIR PREFIX
set -euo pipefail
source_dir=$1
build_dir=$2
prefix=$3
here=$(cd "$(dirname "$0")" && pwd)

# Qt's moc, rcc and uic run on the build machine: Debian's host Qt of the same version.
# INPUT_opengl=no: turning the opengl feature off alone leaves dynamic OpenGL on, which the
# windows plugin does not compile with.
# tabletevent: Debian's tarball has no wintab header. The third-party libraries are Qt's own
# copies, since Debian has no Windows builds of them.
features_off=(opengl vulkan dbus sql network testlib printsupport concurrent xml
    tabletevent icu freetype fontconfig jpeg gif sessionmanager zstd
    system_zlib system_pcre2 system_png system_harfbuzz system_doubleconversion)
# Fonts: up to Qt 6.7 the windows plugin links only with DirectWrite 3 and Direct2D both off.
# From 6.8 on the font database compiles DirectWrite code only with Direct2D on, so there
# Direct2D stays on; direct2d1_1 off leaves out the direct2d platform plugin, which would
# build the windows plugin's sources a second time.
qt_version=$(sed -n 's/^set(QT_REPO_MODULE_VERSION "\([0-9.]*\)").*/\1/p' "$source_dir/.cmake.conf")
case "$qt_version" in
'')
    echo "qt-configure.sh: no Qt version in $source_dir/.cmake.conf" >&2
    exit 1
    ;;
6.[0-7].*) features_off+=(directwrite3 direct2d) ;;
*) features_off+=(direct2d1_1) ;;
esac
options=()
for feature in "${features_off[@]}"; do
    options+=("-DFEATURE_${feature}=OFF")
done

cmake -S "$source_dir" -B "$build_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_opengl=no \
    "${options[@]}"
cmake --build "$build_dir" --parallel "${SDVIGUL_JOBS:-2}"
cmake --install "$build_dir"
