#!/bin/sh
# Plays the demo puzzle's WACZ in ReplayWeb.page (npm "replaywebpage") in headless Chromium,
# with the project's own Ruffle injected by it, and checks that the movie shows its colour.
# A check run by hand, not by the tests: it needs Chromium and ReplayWeb.page's package.
#
#   tests/files/warc/replay-check.sh PELLIMOR_CLI [SCREENSHOT.png]
#
# REPLAYWEBPAGE_DIR names the unpacked package (its ui.js and sw.js); without it the script
# unpacks `npm pack replaywebpage@2.5.3` in its temporary folder (the package alone: its
# bundles carry what they need). CHROMIUM names the browser (default: chromium).
set -eu
cli=$1
shot=${2:-replay-check.png}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cli" demo "$work/demo" >/dev/null
"$cli" export main --cache "$work/demo/INetCache" --wacz "$work/main.wacz"
rwp=${REPLAYWEBPAGE_DIR:-}
if [ -z "$rwp" ]; then
    (cd "$work" && npm pack --silent replaywebpage@2.5.3 >/dev/null && tar xzf replaywebpage-2.5.3.tgz)
    rwp="$work/package"
fi
# The puzzle's own colour: the movie from the archive, played by Ruffle.
node --experimental-websocket --no-warnings "$here/replay-check.mjs" \
    --wacz "$work/main.wacz" --url http://games.arcade.example/puzzle/index.html \
    --rwp "$rwp" --ruffle "$root/node_modules/@ruffle-rs/ruffle" \
    --chromium "${CHROMIUM:-chromium}" --shot "$shot" --colour C71585
