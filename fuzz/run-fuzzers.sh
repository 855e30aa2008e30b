#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on its seed corpus, a few at once; a crash fails
# the run. Usage: run-fuzzers.sh FOLDER [SECONDS] [AT_ONCE]
set -euo pipefail
bin=${1:?folder of the fuzz targets}
seconds=${2:-20}
at_once=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One target in a work folder of its own; its log's end is printed when it fails.
fuzz_one() {
    local target=$1 name work
    name=$(basename "$target")
    work=$(mktemp -d)
    cp -r "$here/corpus/${name#fuzz_}"/. "$work"/ 2>/dev/null || true
    if "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="$work/" "$work" 2>"$work/log"; then
        echo "fuzzed $name for ${seconds}s"
        touch "$results/$name.passed"
        rm -rf "$work"
    else
        echo "FAILED: $name (inputs and log in $work)"
        tail -40 "$work/log"
    fi
}

targets=("$bin"/fuzz_*)
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$at_once" ]; do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait
passed=$(find "$results" -name '*.passed' | wc -l)
echo "fuzzing: $passed passed, $((${#targets[@]} - passed)) failed"
[ "$passed" -eq "${#targets[@]}" ]
