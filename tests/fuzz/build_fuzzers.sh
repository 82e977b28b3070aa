#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the fuzz targets with clang in a build tree of their own: the release's
# `clang++`, or the newest versioned clang++-N installed, whichever links a libFuzzer target.
# Exits 77 (ctest: skipped) when no clang with libFuzzer is installed.
#   build_fuzzers.sh SOURCE_DIR BUILD_DIR [Qt6_DIR]
set -euo pipefail
source_dir=$1
build_dir=$2
qt_dir=${3:-}

links_fuzzer() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
        "$1" -fsanitize=fuzzer -x c++ - -o /dev/null 2>/dev/null
}

compiler=""
candidates=(clang++)
for version in $(seq 30 -1 14); do candidates+=(clang++-"$version"); done
for candidate in "${candidates[@]}"; do
    if command -v "$candidate" >/dev/null && links_fuzzer "$candidate"; then
        compiler=$candidate
        break
    fi
done
if [ -z "$compiler" ]; then
    echo "fuzz targets skipped: no clang with libFuzzer is installed" \
        "(apt-get install clang-N libfuzzer-N-dev libclang-rt-N-dev)"
    exit 77
fi
echo "fuzz targets built with $compiler"

configure=(cmake -S "$source_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER="$compiler")
if [ -n "$qt_dir" ]; then
    configure+=(-DQt6_DIR="$qt_dir")
fi
# Nice: the other tests running beside this one keep their share of the processors.
nice "${configure[@]}" >/dev/null
nice cmake --build "$build_dir" -j"$(nproc)"
