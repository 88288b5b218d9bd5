#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each for SECONDS on its seed corpus and regression
# inputs. New inputs collect under build/fuzz/corpus/; a crash stops the script
# with the input in build/fuzz/artifacts/: fix the fault, then keep the input
# in fuzz/regressions/TARGET/ so that the test suite replays it.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (default 30 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
shift || true
scripts/install-deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

bin=build/fuzz/fuzz
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for program in "$bin"/*_fuzzer; do
        name="$(basename "$program")"
        targets+=("${name%_fuzzer}")
    done
fi

mkdir -p build/fuzz/artifacts
for target in "${targets[@]}"; do
    work="build/fuzz/corpus/$target"
    mkdir -p "$work"
    inputs=("fuzz/corpus/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    log="build/fuzz/$target.log"
    echo "fuzz: $target for ${seconds}s"
    if ! "$bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" "$work" "${inputs[@]}" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz: $target failed; the input is in build/fuzz/artifacts/" >&2
        exit 1
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    echo "fuzz: $target: ${runs:-?} executions, $(find "$work" -type f | wc -l) inputs in its corpus"
done
