#!/usr/bin/env bash
# IE 10/11's WebCache database: pellimor-cli's listing of the real WebCacheV01.dat
# (tests/data/webcache, 16 MiB, its cache folders made by the script beside it) against
# esedbexport of the same file. Pairs run alternately (A B A B ...); the median of the pair by
# pair ratios with its spread.
# Usage: bench/webcache.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build/release}
runs=${2:-9}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

user="$work/disk/Users/Administrator"
mkdir -p "$user/AppData/Local/Microsoft/Windows/WebCache" "$work/export/t.export"
db="$user/AppData/Local/Microsoft/Windows/WebCache/WebCacheV01.dat"
gunzip -c "$here/tests/data/webcache/WebCacheV01.dat.gz" >"$db"
for table in Containers Container_1; do
    esedbexport -t "$work/export/$table" -T "$table" "$db" >/dev/null 2>&1
    mv "$work/export/$table.export/"* "$work/export/t.export/"
done
python3 "$here/tests/data/webcache/make-cache-folders.py" "$work/export/t.export" "$user" \
    "$here/tests/data/swf" >/dev/null

wall_us() {  # command string -> microseconds of one run, output thrown away
    local start end
    start=$(date +%s%N)
    sh -c "$1" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
}

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
    printf '  %-40s %.3f s vs %.3f s  ratio %s (%s to %s, %d pairs)\n' "$label" \
        "$(awk -v x="$ma" 'BEGIN {print x / 1e6}')" "$(awk -v x="$mb" 'BEGIN {print x / 1e6}')" \
        "$mr" "$lo" "$hi" "$runs"
}

# CPU seconds (user + system) of one run: on a loaded machine wall times mostly measure the
# waiting.
cpu_ms() {
    /usr/bin/time -f "%U %S" sh -c "$1 >/dev/null 2>&1; true" 2>&1 | tail -1 |
        awk '{printf "%d", ($1 + $2) * 1000}'
}

cpu_pair() {
    local label=$1 a=$2 b=$3 as=() bs=()
    for ((i = 0; i < runs; i++)); do
        as+=("$(cpu_ms "$a")")
        bs+=("$(cpu_ms "$b")")
    done
    local mid=$(( (runs + 1) / 2 ))
    local ma mb
    ma=$(printf '%s\n' "${as[@]}" | sort -n | sed -n "${mid}p")
    mb=$(printf '%s\n' "${bs[@]}" | sort -n | sed -n "${mid}p")
    printf '  %-40s CPU %d ms vs %d ms (medians of %d, 10 ms steps)\n' "$label" "$ma" "$mb" "$runs"
}

cli="$build/src/pellimor-cli"
export HOME="$work" XDG_CONFIG_HOME="$work/config"
echo "WebCacheV01.dat, 16 MiB, 34 tables, 46 content rows ($(find "$user" -type f | wc -l) files):"
echo "  list: walks the copied disk, reads Containers and Container_1, opens each row's file,"
echo "  sorts and prints the movies; esedbexport: writes out every table it can read"
echo "  (it stops at the 10th, which libesedb cannot read in this copy)"
pair "list vs esedbexport" "$cli list --cache $work/disk" \
    "rm -rf $work/x.export && esedbexport -t $work/x $db"
echo "  the same two tables only, written out by esedbexport:"
pair "list vs esedbexport -T (2 tables)" "$cli list --cache $work/disk" \
    "rm -rf $work/y.export $work/z.export && esedbexport -t $work/y -T Containers $db && esedbexport -t $work/z -T Container_1 $db"
pair "list --json vs esedbexport" "$cli list --json --cache $work/disk" \
    "rm -rf $work/x.export && esedbexport -t $work/x $db"
if [ -x /usr/bin/time ]; then
    cpu_pair "list vs esedbexport" "$cli list --cache $work/disk" \
        "rm -rf $work/x.export && esedbexport -t $work/x $db"
fi
