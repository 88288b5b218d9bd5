#!/usr/bin/env bash
# Builds the bench preset (Release, tools on, tests off) and runs every
# benchmark beside its baseline, each for a bounded time; everything stops by
# itself. JSON results go to build/bench/results/.
# Usage: scripts/bench.sh [MIN_TIME_SECONDS]   (default 0.2 per benchmark)
set -euo pipefail
cd "$(dirname "$0")/.."

min_time="${1:-0.2}"
scripts/install-deps.sh build tools bench
cmake --preset bench >/dev/null
cmake --build --preset bench -j2

bin=build/bench/bench
out=build/bench/results
mkdir -p "$out"

run() {
    local name=$1
    echo "== $name"
    timeout 900 "$bin/$name" --benchmark_min_time="$min_time" \
        --benchmark_out="$out/$name.json" --benchmark_out_format=json
}

run otpcli_bench_crypto
run otpcli_bench_net

echo "== peak resident size"
"$bin/otpcli_peak_rss" build/bench/tools/otpcli_example
"$bin/otpcli_peak_rss" "$bin/otpcli_rss_floor"
