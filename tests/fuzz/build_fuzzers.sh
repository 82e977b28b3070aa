#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the fuzz targets with clang-14 in a build tree of their own.
# Exits 77 (ctest: skipped) when clang-14 or libFuzzer is not installed.
#   build_fuzzers.sh SOURCE_DIR BUILD_DIR [Qt6_DIR]
set -euo pipefail
source_dir=$1
build_dir=$2
qt_dir=${3:-}

if ! command -v clang++-14 >/dev/null; then
    echo "fuzz targets skipped: clang++-14 is not installed (apt-get install clang-14)"
    exit 77
fi
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++-14 -fsanitize=fuzzer -x c++ - -o /dev/null 2>/dev/null; then
    echo "fuzz targets skipped: libFuzzer is not installed (apt-get install libfuzzer-14-dev)"
    exit 77
fi

configure=(cmake -S "$source_dir" -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++-14)
if [ -n "$qt_dir" ]; then
    configure+=(-DQt6_DIR="$qt_dir")
fi
# Nice: the other tests running beside this one keep their share of the processors.
nice "${configure[@]}" >/dev/null
nice cmake --build "$build_dir" -j"$(nproc)"
