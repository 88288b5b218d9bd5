#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each for SECONDS on its seed corpus and regression
# inputs, two at a time. New inputs collect under build/fuzz/corpus/; a crash
# fails the script with the input in build/fuzz/artifacts/: fix the fault, then
# keep the input in fuzz/regressions/TARGET/ so that the test suite replays it.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (default 30 seconds, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
shift || true
parallel=2
scripts/install-deps.sh build test tools fuzz
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

# Runs one target; its output goes to build/fuzz/TARGET.log.
fuzz() {
    local target="$1"
    local work="build/fuzz/corpus/$target"
    local inputs=("fuzz/corpus/$target")
    [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
    mkdir -p "$work"
    "$bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" "$work" "${inputs[@]}" \
        >"build/fuzz/$target.log" 2>&1
}

mkdir -p build/fuzz/artifacts
echo "fuzz: ${targets[*]}, ${seconds}s each, $parallel at a time"
pids=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n || true
    done
    fuzz "$target" &
    pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
    target="${targets[$i]}"
    log="build/fuzz/$target.log"
    if wait "${pids[$i]}"; then
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        echo "fuzz: $target: ${runs:-?} executions," \
            "$(find "build/fuzz/corpus/$target" -type f | wc -l) inputs in its corpus"
    else
        tail -n 40 "$log" >&2
        echo "fuzz: $target FAILED; the input is in build/fuzz/artifacts/" >&2
        failed=1
    fi
done
exit $failed
