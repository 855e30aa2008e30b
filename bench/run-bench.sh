#!/usr/bin/env bash
# Benchmarks on a generated cache: the enumeration against msiecfexport and cat, the full
# scan and the leftover listing against find, Save All against cp + sync, deletes against
# cp + fsync + rename, and the scan's memory. Single figures are the median of five runs;
# pairs run the two commands alternately (A B A B ...) and give the median of the pair by
# pair ratios and their spread, with the work each side does.
# Usage: bench/run-bench.sh [BUILD_DIR] [ENTRIES] [RUNS]
set -euo pipefail
build=${1:-build/release}
entries=${2:-100000}
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench_make_profile" "$work/profile" "$entries" "$entries" >/dev/null
cache="$work/profile/INetCache"
single="$cache/Content.IE5"
# The same entries without leftover files: find then touches exactly the cached files.
"$build/bench/bench_make_profile" "$work/cached" "$entries" >/dev/null
cachedOnly="$work/cached/INetCache"

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

wall_us() {  # command string -> microseconds of one run, output thrown away
    local start end
    start=$(date +%s%N)
    sh -c "$1" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
}

# pair LABEL 'A' 'B': A and B alternately, $runs times each after one warm-up of each;
# prints the medians and the median A/B ratio with its smallest and largest pair.
pair() {
    local label=$1 a=$2 b=$3 as=() bs=() ratios=()
    wall_us "$a" >/dev/null
    wall_us "$b" >/dev/null
    for ((i = 0; i < runs; i++)); do
        local ta tb
        ta=$(wall_us "$a")
        tb=$(wall_us "$b")
        as+=("$ta")
        bs+=("$tb")
        ratios+=("$(awk -v x="$ta" -v y="$tb" 'BEGIN {printf "%.3f", x / y}')")
    done
    local mid=$(( (runs + 1) / 2 ))
    local ma mb mr lo hi
    ma=$(printf '%s\n' "${as[@]}" | sort -n | sed -n "${mid}p")
    mb=$(printf '%s\n' "${bs[@]}" | sort -n | sed -n "${mid}p")
    mr=$(printf '%s\n' "${ratios[@]}" | sort -g | sed -n "${mid}p")
    lo=$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)
    hi=$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)
    printf '  %-34s %.3f s vs %.3f s  ratio %s (%s to %s, %d pairs)\n' "$label" \
        "$(awk -v x="$ma" 'BEGIN {print x / 1e6}')" "$(awk -v x="$mb" 'BEGIN {print x / 1e6}')" \
        "$mr" "$lo" "$hi" "$runs"
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
cli="$build/src/pellimor-cli"
echo "pairs on equal work (A vs B, ratio A/B):"
echo "  list: reads the index, stats each of the $entries cached files (on a second thread,"
echo "  beside the reading), sorts and prints;"
echo "  find: walks the same folders and stats the same $entries files (no leftovers there)"
pair "list vs find" "$cli list --cache $cachedOnly" "find $cachedOnly -name '*.swf' -printf '%s\\n'"
pair "list --json vs find" "$cli list --json --cache $cachedOnly" \
    "find $cachedOnly -name '*.swf' -printf '%s\\n'"
echo "  leftovers: reads the index (on a second thread, beside the walk), walks every folder,"
echo "  stats the $entries leftover files;"
echo "  find: walks the same folders and stats the same $entries leftover files"
pair "leftovers alone vs find" "$build/bench/bench_leftovers $cache" \
    "find $cache -name 'orphan*.swf' -printf '%s\\n'"
pair "list --leftovers vs find" "$cli list --leftovers --cache $cache" \
    "find $cache -name 'orphan*.swf' -printf '%s\\n'"
if [ -x "$build/bench/bench_make_browser_caches" ]; then
    # A Chromium simple cache and a Firefox cache2 folder of $entries entries each, half of them
    # movies: these formats keep each entry's address inside its own file.
    "$build/bench/bench_make_browser_caches" "$work/browsers" "$entries" >/dev/null
    echo "  Chrome / Firefox list: opens and reads the head of each of the $entries entry files"
    echo "  (on two threads),"
    echo "  sorts and prints the movies; find: walks the same folder and stats the same files;"
    echo "  cat: reads the same files whole"
    for browser in chromium firefox; do
        folder="$work/browsers/$browser"
        pair "$browser list vs find" "$cli list --cache $folder" \
            "find $folder -type f -printf '%s\\n'"
        pair "$browser list vs cat" "$cli list --cache $folder" \
            "find $folder -type f -exec cat {} + "
    done
    rm -rf "$work/browsers"
fi
saves=$(( entries < 10000 ? entries : 10000 ))
"$build/bench/bench_make_profile" "$work/saves" "$saves" >/dev/null
echo "  Save All: copies the $saves cached movies into an empty folder, one flush at the end;"
echo "  cp: copies the same $saves files into an empty folder, then one sync (both empty it first)"
pair "Save All vs cp + sync" \
    "rm -rf $work/to && mkdir $work/to && $cli save --all --to $work/to --cache $work/saves/INetCache" \
    "rm -rf $work/to && mkdir $work/to && find $work/saves/INetCache -name '*.swf' -exec cp -t $work/to {} + && sync"
echo "deleting (one container of 50,000 entries, 100 deletes a call):"
"$build/bench/bench_make_profile" "$work/deletes" 50000 >/dev/null
echo "  $("$build/bench/bench_delete" "$work/deletes/INetCache" 9)"
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "  scan peak memory     %M KiB" "$build/src/pellimor-cli" list --cache "$cache" >/dev/null
    # Beyond the containers, which the scan maps whole: bytes an entry.
    index=$(find "$cachedOnly" -name index.dat -printf '%s\n' | awk '{s += $1} END {print s}')
    for what in list "list --json"; do
        peak=$( { /usr/bin/time -f "%M" "$cli" $what --cache "$cachedOnly" >/dev/null; } 2>&1 | tail -1)
        echo "  $what: peak $peak KiB, containers $((index / 1024)) KiB," \
            "$(( (peak * 1024 - index) / entries )) bytes an entry beyond them"
    done
fi
if [ -x "$build/bench/bench_window_fill" ]; then
    echo "window (a Refresh reads the index and lists; it looks up no file sizes, only the"
    echo "  shown movie's, when it is shown):"
    echo "  $("$build/bench/bench_window_fill" "$cache" 2>/dev/null)"
fi
if [ -x "$build/bench/bench_player_switch" ]; then
    echo "preview (demo cache):"
    "$build/bench/bench_player_switch" 2>/dev/null | sed 's/^/  /'
fi
if [ -x "$build/bench/bench_address_book" ]; then
    echo "player, first load of another file after a movie is selected ($entries entries):"
    echo "  $("$build/bench/bench_address_book" "$cachedOnly" "$runs")"
fi
if [ -x "$build/bench/bench_player_switch" ]; then
    # Each start is a new process with a new web engine: Ruffle's WebAssembly is compiled anew.
    starts=$(for ((i = 0; i <= runs; i++)); do
        "$build/bench/bench_player_switch" 2>/dev/null |
            sed -n 's/^window opened[^:]*: \([0-9]*\) ms.*/\1/p'
    done)
    later=$(echo "$starts" | tail -n +2 | sort -n)
    echo "window opened to the first movie's first frame (demo cache): first start" \
        "$(echo "$starts" | head -1) ms; the $runs starts after it: median" \
        "$(echo "$later" | sed -n "$(( (runs + 1) / 2 ))p") ms" \
        "(min $(echo "$later" | head -1), max $(echo "$later" | tail -1))"
fi
