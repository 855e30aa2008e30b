#!/usr/bin/env bash
# Peak memory and time of `pellimor-cli list` on the crafted caches of
# bench_make_hostile_caches, for each program given (an older build beside the new one).
# Usage: bench/run-hostile.sh [BUILD_DIR] [CLI...]
set -euo pipefail
build=${1:-build/release}
shift || true
clis=("$@")
[ ${#clis[@]} -eq 0 ] && clis=("$build/src/pellimor-cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench_make_hostile_caches" "$work" >/dev/null
printf '%-20s %-44s %9s %9s\n' cache program "peak MiB" "m:ss"
for cache in v1/Cache blockfile/Cache simple/Cache_Data cache2/cache2 cutshort/Cache_Data; do
    for cli in "${clis[@]}"; do
        /usr/bin/time -v -o "$work/time" "$cli" list --cache "$work/$cache" >/dev/null 2>&1 || true
        peak=$(awk -F': ' '/Maximum resident/ {printf "%.0f", $2 / 1024}' "$work/time")
        wall=$(awk -F': ' '/Elapsed/ {print $2}' "$work/time")
        printf '%-20s %-44s %9s %9s\n' "$cache" "$cli" "$peak" "$wall"
    done
done
