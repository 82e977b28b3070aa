#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target for a bounded time. The seed corpus stays read-only; what the run
# finds goes to WORK_DIR (kept between runs) and a crashing input to WORK_DIR/artifacts/.
# Exits 77 (ctest: skipped) when the target was not built.
#   run_fuzzer.sh TARGET SEED_DIR WORK_DIR SECONDS
set -euo pipefail
target=$1
seeds=$2
work=$3
seconds=$4

if [ ! -x "$target" ]; then
    echo "fuzz target skipped: $target was not built (clang or libFuzzer missing?)"
    exit 77
fi
mkdir -p "$work/corpus" "$work/artifacts"
# Nice: a busy fuzzer must not slow the real-window tests beside it into their time-outs;
# the run is bounded by wall time, so it only does fewer executions then.
exec nice "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$seeds"
