#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on its seed corpus; a crash fails the run.
set -euo pipefail
bin=${1:?folder of the fuzz targets}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
for target in "$bin"/fuzz_*; do
    name=$(basename "$target")
    corpus="$here/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="$work/" "$work" 2>"$work/log" || { tail -40 "$work/log"; exit 1; }
    rm -rf "$work"
done
echo "fuzzing: $(ls "$bin"/fuzz_* | wc -l) passed, 0 failed"
