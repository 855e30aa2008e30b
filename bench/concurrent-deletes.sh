#!/bin/sh
# How often pellimor-cli deletes started together refuse: PAIRS times, two deletes of
# different movies of a fresh demo cache at once; with "lister", a third pellimor-cli lists
# the same cache in a loop meanwhile. Prints how many pairs had one or both refused.
# Usage: bench/concurrent-deletes.sh PELLIMOR_CLI [PAIRS] [lister]
set -u
cli=$1
pairs=${2:-200}
lister=${3:-}
work=$(mktemp -d)
trap 'kill $listing 2>/dev/null; rm -rf "$work"' EXIT
listing=
export HOME="$work" XDG_CONFIG_HOME="$work/config"
"$cli" demo "$work/model" >/dev/null || exit 1
one=0
both=0
for i in $(seq 1 "$pairs"); do
    rm -rf "$work/p"
    cp -a "$work/model" "$work/p"
    cache="$work/p/INetCache"
    if [ -n "$lister" ]; then
        (while :; do "$cli" list --cache "$cache" >/dev/null 2>&1; done) &
        listing=$!
        sleep 0.05
    fi
    "$cli" delete --cache "$cache" rocket --yes >"$work/a" 2>&1 &
    a=$!
    "$cli" delete --cache "$cache" snake --yes >"$work/b" 2>&1 &
    b=$!
    wait $a; ra=$?
    wait $b; rb=$?
    if [ -n "$lister" ]; then
        kill $listing 2>/dev/null
        wait $listing 2>/dev/null
        listing=
    fi
    refused=$(( (ra != 0) + (rb != 0) ))
    [ $refused -eq 1 ] && one=$((one + 1))
    [ $refused -eq 2 ] && both=$((both + 1))
    if [ $refused -gt 0 ] && [ -z "${shown:-}" ]; then
        shown=1
        cat "$work/a" "$work/b" | grep pellimor-cli: | head -2 >&2
    fi
done
echo "pairs=$pairs lister=${lister:-no} one_refused=$one both_refused=$both"
