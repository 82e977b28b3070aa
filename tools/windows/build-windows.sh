#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the 64-bit Windows game on Debian with MinGW-w64 and leaves in build-windows/:
# dist/ (the game as it runs, with the DLLs it needs), a zip of it and an NSIS installer.
#   bash tools/windows/build-windows.sh        everything
#   bash tools/windows/build-windows.sh qt     only the cross-built Qt (warms its cache)
# Qt for Windows is built once from Debian's qtbase source package and kept outside the
# repository in SDVIGUL_WINDOWS_CACHE (default ~/.cache/sdvigul-windows), under a key made of
# the qtbase version, the MinGW compiler version and the Qt configure script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
mode=${1:-all}
out=${SDVIGUL_WINDOWS_BUILD_DIR:-$repo/build-windows}
cache=${SDVIGUL_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sdvigul-windows}
jobs=${SDVIGUL_JOBS:-2}
mingw=x86_64-w64-mingw32
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

# The Debian packages the build needs: `windows_packages`.
source "$repo/tools/packages.sh"

log() { echo "build-windows: $*" >&2; }

package_version() { dpkg-query -W -f='${Version}' "$1"; }

# The key changes with the qtbase version, the compiler and the scripts that configure Qt.
qt_key() {
    {
        package_version qt6-base-dev
        package_version g++-mingw-w64-x86-64-posix
        "$mingw-g++-posix" -dumpfullversion
        cat "$here/qt-configure.sh" "$here/mingw-toolchain.cmake"
    } | sha256sum | cut -c1-12
}

# Debian's qtbase source of exactly the host Qt's version, through a sources file and apt
# state of our own (apt reads the deb822 format only from files named *.sources): the
# system's sources and package lists stay as they are.
fetch_qt_source() {
    local into=$1 version codename apt_dir mirror
    version=$(package_version qt6-base-dev)
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    apt_dir=$cache/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$into"
    # The host's own mirror, if it names one; the release's updates and security fixes too,
    # since the installed Qt may come from either.
    mirror=http://deb.debian.org/debian
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources)
    fi
    cat >"$apt_dir/qtbase.sources" <<EOF
Types: deb-src
URIs: $mirror
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: ${mirror%/debian}/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    local apt=(apt-get -q -o "Dir::Etc::SourceList=$apt_dir/qtbase.sources" -o Dir::Etc::SourceParts=-
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir"
        -o APT::Sandbox::User=root)
    "${apt[@]}" update >/dev/null
    (cd "$into" && "${apt[@]}" source --download-only "qt6-base=$version" >/dev/null)
    # apt has checked the files against the signed index; dpkg-source's own warnings (no
    # Debian keyring to check the .dsc's signature with) go to the log.
    dpkg-source -x "$into"/qt6-base_*.dsc "$into/src" >>"$into/unpack.log" 2>&1 || {
        log "unpacking Debian's qtbase failed; see $into/unpack.log"
        exit 1
    }
}

build_qt() {
    local key work started
    key=$(qt_key)
    qt_prefix=$cache/qt-$(package_version qt6-base-dev | sed 's/[^A-Za-z0-9.]/_/g')-$key
    [ -f "$qt_prefix/.complete" ] && return
    log "building Qt for Windows into $qt_prefix (25 to 45 minutes on two cores)"
    started=$(date +%s)
    work=$cache/work-$key
    rm -rf "$work" "$qt_prefix"
    fetch_qt_source "$work"
    nice -n 10 env SDVIGUL_JOBS="$jobs" bash "$here/qt-configure.sh" \
        "$work/src" "$work/build" "$qt_prefix" >"$cache/qt-build-$key.log" 2>&1 || {
        log "the Qt build failed; its log: $cache/qt-build-$key.log"
        exit 1
    }
    touch "$qt_prefix/.complete"
    rm -rf "$work"
    log "Qt built in $(($(date +%s) - started)) s"
}

build_game() {
    cmake -S "$repo" -B "$out/game" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
        -DCMAKE_PREFIX_PATH="$qt_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    nice -n 10 cmake --build "$out/game" --parallel "$jobs"
}

# The DLLs a program or library imports by name, as its import table lists them.
imported_dlls() {
    "$mingw-objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# Where a DLL of Qt or of the MinGW runtime lies; nothing for Windows' own DLLs.
find_dll() {
    local name=$1 found
    if [ -f "$qt_prefix/bin/$name" ]; then
        echo "$qt_prefix/bin/$name"
        return
    fi
    found=$("$mingw-g++-posix" -print-file-name="$name")
    [ "$found" != "$name" ] && readlink -f "$found"
    return 0
}

# Copies into dist/ every DLL `binary` needs, and the DLLs those need, one level at a time.
copy_dependencies() {
    local pending=("$@") name path
    while [ ${#pending[@]} -gt 0 ]; do
        local next=()
        for binary in "${pending[@]}"; do
            while read -r name; do
                [ -e "$dist/$name" ] && continue
                path=$(find_dll "$name")
                [ -n "$path" ] || continue
                install -m 644 "$path" "$dist/$name"
                next+=("$dist/$name")
            done < <(imported_dlls "$binary")
        done
        pending=("${next[@]+"${next[@]}"}")
    done
}

make_dist() {
    dist=$out/dist
    rm -rf "$dist"
    mkdir -p "$dist/platforms" "$dist/translations"
    install -m 755 "$out/game/app/sdvigul.exe" "$dist/"
    install -m 644 "$qt_prefix/plugins/platforms/qwindows.dll" "$dist/platforms/"
    copy_dependencies "$dist/sdvigul.exe" "$dist/platforms/qwindows.dll"
    # Plugins beside the program, translations in their own folder; without this file Qt
    # would look for both where it was built.
    printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' \
        >"$dist/qt.conf"
    install -m 644 /usr/share/qt6/translations/qtbase_ru.qm "$dist/translations/"
    # Notepad reads a text without a byte order mark in the ANSI code page and wants CR LF.
    { printf '\xEF\xBB\xBF' && sed 's/\r*$/\r/' "$repo/resources/help/help.txt"; } \
        >"$dist/help.txt"
    find "$dist" -name '*.exe' -o -name '*.dll' | xargs "$mingw-strip" --strip-unneeded
}

project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/game/CMakeCache.txt"
}

make_zip() {
    local name stage
    name=sdvigul-$(project_version)-win64
    stage=$out/zip-stage
    rm -rf "$stage" "$out/$name.zip"
    mkdir -p "$stage"
    cp -a "$dist" "$stage/$name"
    (cd "$stage" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
    rm -rf "$stage"
}

# The installer's lists of what it copies and what its uninstaller removes: exactly the files
# of dist/ and their folders, so an uninstall never deletes anything else a player put there.
installer_lists() {
    local files=$1 deletes=$2 folder file windows
    : >"$files"
    : >"$deletes"
    while read -r folder; do
        windows=${folder:+\\${folder//\//\\}}
        echo "SetOutPath \"\$INSTDIR$windows\"" >>"$files"
        while read -r file; do
            echo "File \"$dist/${folder:+$folder/}$file\"" >>"$files"
            echo "Delete \"\$INSTDIR$windows\\$file\"" >>"$deletes"
        done < <(cd "$dist/$folder" && find . -maxdepth 1 -type f -printf '%P\n' | sort)
    done < <(cd "$dist" && find . -type d -printf '%P\n' | sort)
    # Folders deepest first; RMDir leaves a folder that still holds something.
    (cd "$dist" && find . -mindepth 1 -type d -printf '%P\n' | sort -r) |
        while read -r folder; do echo "RMDir \"\$INSTDIR\\${folder//\//\\}\""; done >>"$deletes"
}

make_installer() {
    local version
    version=$(project_version)
    installer_lists "$out/installer-files.nsh" "$out/installer-deletes.nsh"
    makensis -V2 -INPUTCHARSET UTF8 \
        -DVERSION="$version" \
        -DOUTFILE="$out/sdvigul-$version-setup.exe" \
        -DLICENSE_FILE="$repo/LICENSE" \
        -DICON_FILE="$out/game/resources/sdvigul.ico" \
        -DFILES="$out/installer-files.nsh" -DDELETES="$out/installer-deletes.nsh" \
        "$here/sdvigul.nsi"
}

# Started in a session of its own, as the test run and CI start a cold Qt build beside their
# other work, this build gives way to that work: the kernel shares the CPU between sessions
# before it looks at nice, so the session's own share is lowered.
if [ "$(cut -d' ' -f6 /proc/$$/stat)" = "$$" ] && [ -w /proc/self/autogroup ]; then
    echo 19 >/proc/self/autogroup
fi

bash "$repo/tools/install-missing.sh" "${windows_packages[@]}"
mkdir -p "$cache"
# One build of Qt at a time per cache: a second caller waits, then finds it built.
exec 9>"$cache/.lock"
flock -n 9 || {
    log "waiting for the build of Qt for Windows already under way"
    flock 9
}
build_qt
[ "$mode" = qt ] && exit 0
flock -u 9
build_game
make_dist
make_zip
make_installer
log "built in $out: dist/, $(cd "$out" && ls ./*.zip ./*-setup.exe | tr '\n' ' ')"
