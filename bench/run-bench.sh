#!/usr/bin/env bash
# Benchmarks on a generated cache: the enumeration against msiecfexport and cat, the full
# scan and the leftover listing against find, deletes against cp + fsync + rename, and the
# scan's memory. Prints the median of
# five runs of each command. Usage: bench/run-bench.sh [BUILD_DIR] [ENTRIES]
set -euo pipefail
build=${1:-build/release}
entries=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_make_profile" "$work/profile" "$entries" "$entries" >/dev/null
cache="$work/profile/INetCache"
single="$cache/Content.IE5"

median() {  # command... -> median wall seconds of 5 runs after one warm-up
    "$@" >/dev/null 2>&1 || true
    local times=()
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{printf "%.3f s", $1 / 1e6}'
}

echo "entries: $entries in $(find "$cache" -name index.dat | wc -l) containers; leftovers: $entries"
echo "one container ($(du -h "$single/index.dat" | cut -f1), $("$build/bench/bench_enumerate" "$single")):"
echo "  pellimor enumerate   $(median "$build/bench/bench_enumerate" "$single")"
echo "  msiecfexport -m all  $(median msiecfexport -m all "$single/index.dat")"
echo "  cat                  $(median cat "$single/index.dat")"
echo "whole profile:"
echo "  pellimor enumerate   $(median "$build/bench/bench_enumerate" "$cache")"
echo "  scan, sorted list    $(median "$build/src/pellimor-cli" list --cache "$cache")"
echo "  leftover listing     $(median "$build/src/pellimor-cli" list --leftovers --cache "$cache")  (scan first, as the CLI does)"
echo "  leftovers alone      $(median "$build/bench/bench_leftovers" "$cache")"
echo "  find -name '*.swf'   $(median find "$cache" -name '*.swf' -printf '%s\n')"
echo "deleting (one container of 50,000 entries, 100 deletes a call):"
"$build/bench/bench_make_profile" "$work/deletes" 50000 >/dev/null
echo "  $("$build/bench/bench_delete" "$work/deletes/INetCache" 9)"
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "  scan peak memory     %M KiB" "$build/src/pellimor-cli" list --cache "$cache" >/dev/null
fi
if [ -x "$build/bench/bench_window_fill" ]; then
    echo "window:"
    echo "  $("$build/bench/bench_window_fill" "$cache" 2>/dev/null)"
fi
if [ -x "$build/bench/bench_player_switch" ]; then
    echo "preview (demo cache):"
    "$build/bench/bench_player_switch" 2>/dev/null | sed 's/^/  /'
fi
