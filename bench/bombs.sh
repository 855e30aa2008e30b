#!/usr/bin/env bash
# Peak memory and time of info, needs, save and export on caches whose bodies decode to far
# more than they take on disk (made by bench_make_bombs), one /usr/bin/time -v run each.
# Usage: bench/bombs.sh [BUILD_DIR] [DECODED_MIB] [CLI]   (CLI: another pellimor-cli to measure,
# e.g. an older build, with this build's generator)
set -euo pipefail
build=${1:-build/release}
decoded=${2:-1024}
cli=${3:-$build/src/pellimor-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench_make_bombs" "$work" "$decoded" >/dev/null
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"

measure() {  # label command... -> peak MB, wall seconds, exit status, start of stderr
    local label=$1 kib seconds status
    shift
    /usr/bin/time -f '%M %e %x' -o "$work/time" "$@" >/dev/null 2>"$work/err" || true
    read -r kib seconds status < <(tail -n1 "$work/time")
    printf '%-18s %8.1f MB %8.2f s  exit %s  %s\n' "$label" "$(awk "BEGIN{print $kib/1024}")" \
        "$seconds" "$status" "$(head -c 90 "$work/err" | tr '\n' ' ')"
}

movie=http://bomb.example/games/bomb.swf
for kind in gzip br sparse identities; do
    cache="$work/$kind/cache2"
    for command in info needs; do
        measure "$kind $command" "$cli" "$command" --url "$movie" --cache "$cache"
    done
    mkdir -p "$work/saved-$kind"
    measure "$kind save" "$cli" save --url "$movie" --to "$work/saved-$kind" --cache "$cache"
    rm -rf "$work/saved-$kind"
    measure "$kind export" "$cli" export --url "$movie" --to "$work/games-$kind" \
        --cache "$cache"
    rm -rf "$work/games-$kind"
done
measure "pages export" "$cli" export --url http://site.example/m0.swf \
    --to "$work/games-pages" --cache "$work/pages/Windows/INetCache"
