#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the game alone with AddressSanitizer and UndefinedBehaviorSanitizer in a build tree of
# its own, for the robustness tests. Later runs only rebuild what changed.
#   build_sanitized.sh SOURCE_DIR BUILD_DIR [CXX_COMPILER]
set -euo pipefail
source_dir=$1
build_dir=$2
compiler=${3:-}

configure=(cmake -S "$source_dir" -B "$build_dir"
    -DSDVIGUL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF)
if [ -n "$compiler" ]; then
    configure+=(-DCMAKE_CXX_COMPILER="$compiler")
fi
"${configure[@]}" >/dev/null
cmake --build "$build_dir" --target sdvigul -j"$(nproc)"
echo "sanitized game: $build_dir/app/sdvigul"
