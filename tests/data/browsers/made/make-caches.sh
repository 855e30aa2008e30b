#!/bin/bash
# Makes real Chromium and Firefox caches that hold Flash movies, by loading a
# page served from 127.0.0.1 in each browser, headless.
#
#   make-caches.sh          make the caches and copy them here (chromium-simple/,
#                           firefox/cache2/, server-log.txt, MANIFEST.txt)
#   make-caches.sh rerun    copy the profiles of the first run, run $DELETE_CMD on
#                           each copied cache, run each browser again on its copied
#                           profile and keep the server's log of that run here
#                           (rerun-log-chromium.txt, rerun-log-firefox.txt)
#
# Needs (Debian): chromium firefox-esr python3; installs nothing itself:
#   apt-get install -y chromium firefox-esr python3
#
# Environment:
#   MADE_WORK     the first run's profiles and caches, kept for the rerun
#                 (default /work/made-profiles; outside the repository on purpose:
#                 profiles hold cookies and history that are not committed)
#   MADE_RERUN    where the rerun copies them (default /work/made-rerun)
#   MADE_PORT     the server's port (default 18765; the caches' addresses carry it,
#                 so a rerun must use the port of the first run)
#   PELLIMOR_CLI  pellimor-cli, to take the demo's movies afresh into served/
#                 (optional: without it the movies already in served/ are used)
#   DELETE_CMD    rerun only: a shell command; {cache} is replaced by the copied
#                 cache folder (chromium: the --disk-cache-dir folder, which holds
#                 Cache_Data; firefox: the folder that holds cache2) and {browser}
#                 by chromium or firefox
#   RERUN_NAME    rerun only: the logs' name prefix (default rerun-log)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../../.." && pwd)
work=${MADE_WORK:-/work/made-profiles}
rerun_dir=${MADE_RERUN:-/work/made-rerun}
port=${MADE_PORT:-18765}
mode=${1:-make}
# Each run opens its own address: Firefox reloads, bypassing its cache, a page
# that its last session also had open (the page itself is never cached, so the
# query changes no cache key).
page="http://127.0.0.1:$port/index.html?run=$mode"
# Firefox builds its cache index 50 s after it starts and writes it only when
# it has 300 changes to write (then again, as a journal, when it quits): the page
# fetches 300 small files after 60 s and closes itself after 90 s.
firefox_page="$page&fill=300&after=60&close=90"
server_pid=

for tool in chromium firefox-esr python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool: apt-get install -y chromium firefox-esr python3" >&2; exit 2; }
done

stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=
    fi
}
trap stop_server EXIT

start_server() { # log file
    : >"$1"
    python3 "$here/serve.py" --root "$here/served" --port "$port" --log "$1" &
    server_pid=$!
    for _ in $(seq 50); do
        if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; then
            return 0
        fi
        sleep 0.2
    done
    echo "the server did not start on port $port" >&2
    exit 1
}

# Waits until the page has reported its fetches (a /done line after line $2 of log $1).
wait_done() { # log, lines before, seconds
    local waited=0
    until tail -n +"$(($2 + 1))" "$1" | grep -q ' /done'; do
        sleep 1
        waited=$((waited + 1))
        if [ "$waited" -ge "$3" ]; then
            echo "the page did not report its fetches within $3 s" >&2
            return 1
        fi
    done
}

# Waits for a process to end; asks it (TERM) after $2 seconds, forces it after $2 more.
finish() { # pid, seconds
    local waited=0
    while kill -0 "$1" 2>/dev/null; do
        sleep 1
        waited=$((waited + 1))
        if [ "$waited" -eq "$2" ]; then
            kill -TERM "$1" 2>/dev/null || true
        elif [ "$waited" -ge $(($2 * 2)) ]; then
            echo "process $1 did not end; killed" >&2
            kill -KILL "$1" 2>/dev/null || true
        fi
    done
    wait "$1" 2>/dev/null || true
}

run_chromium() { # profile, disk cache folder, log
    local before
    before=$(wc -l <"$3")
    echo "== chromium: profile $1, cache $2" >&2
    chromium --headless=new --no-sandbox --user-data-dir="$1" --disk-cache-dir="$2" \
        --no-first-run --no-default-browser-check --disable-background-networking \
        --disable-component-update --disable-sync --disable-breakpad --disable-gpu \
        --password-store=basic --use-mock-keychain "$page" >"$1.out" 2>&1 &
    local pid=$!
    if ! wait_done "$3" "$before" 120; then
        kill -TERM "$pid" 2>/dev/null || true
        finish "$pid" 30
        exit 1
    fi
    # Chromium writes its cache index when it shuts down, which TERM asks it to do.
    sleep 3
    kill -TERM "$pid" 2>/dev/null || true
    finish "$pid" 30
}

firefox_prefs() { # cache parent folder
    cat <<PREFS
user_pref("browser.cache.disk.parent_directory", "$1");
user_pref("browser.cache.disk.enable", true);
user_pref("browser.cache.disk.smart_size.enabled", false);
user_pref("browser.cache.disk.capacity", 262144);
user_pref("browser.cache.memory.enable", true);
user_pref("dom.allow_scripts_to_close_windows", true);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.startup.page", 0);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.startup.firstrunSkipsHomepage", true);
user_pref("trailhead.firstrun.didSeeAboutWelcome", true);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("toolkit.telemetry.archive.enabled", false);
user_pref("app.update.enabled", false);
user_pref("app.update.auto", false);
user_pref("app.normandy.enabled", false);
user_pref("app.shield.optoutstudies.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.newtabpage.activity-stream.feeds.telemetry", false);
user_pref("browser.ping-centre.telemetry", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.proxy.type", 0);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.prefetch-next", false);
user_pref("media.gmp-manager.updateEnabled", false);
user_pref("browser.region.update.enabled", false);
user_pref("services.settings.server", "http://127.0.0.1:9/");
user_pref("browser.tabs.warnOnClose", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("toolkit.shutdown.fastShutdownStage", 0);
user_pref("toolkit.shutdown.lateWriteChecksStage", 0);
PREFS
}

run_firefox() { # profile, log
    local before
    before=$(wc -l <"$2")
    echo "== firefox: profile $1" >&2
    MOZ_HEADLESS=1 firefox-esr --headless --no-remote --profile "$1" "$firefox_page" >"$1.out" 2>&1 &
    local pid=$!
    if ! wait_done "$2" "$before" 120; then
        kill -TERM "$pid" 2>/dev/null || true
        finish "$pid" 30
        exit 1
    fi
    # The page closes its window, which ends Firefox; without its fast shutdown (see
    # the prefs) it writes the cache index and leaves no lock on the way out.
    finish "$pid" 120
}

take_demo_movies() {
    [ -n "${PELLIMOR_CLI:-}" ] || return 0
    local demo
    demo=$(mktemp -d)
    "$PELLIMOR_CLI" demo "$demo/cache" >/dev/null
    local content="$demo/cache/INetCache/Content.IE5"
    pick() { find "$content" -name "$1\\[1\\].swf" -print -quit; }
    cp "$(pick main)" "$here/served/games/puzzle.swf"
    cp "$(pick level1)" "$here/served/games/levels/level1.swf"
    cp "$(pick rocket)" "$here/served/games/rocket.swf"
    cp "$(pick getmovie)" "$here/served/games/getmovie-7.swf"
    cp "$(pick rain)" "$here/served/shorts/rain.swf"
    rm -rf "$demo"
}

make_caches() {
    take_demo_movies
    cp "$repo/tests/data/swf/APlayer.swf" "$here/served/players/APlayer.swf"
    rm -rf "$work"
    mkdir -p "$work/chromium-profile" "$work/firefox-profile" "$work/firefox-profile-cache"
    local log="$work/server-log.txt"
    start_server "$log"

    echo "# chromium $(chromium --version 2>/dev/null | head -n 1)" >>"$log"
    run_chromium "$work/chromium-profile" "$work/chromium-simple" "$log"

    firefox_prefs "$work/firefox-profile-cache" >"$work/firefox-profile/user.js"
    echo "# firefox $(firefox-esr --version 2>/dev/null | head -n 1)" >>"$log"
    run_firefox "$work/firefox-profile" "$log"
    stop_server

    rm -rf "$here/chromium-simple" "$here/firefox"
    cp -a "$work/chromium-simple" "$here/chromium-simple"
    mkdir -p "$here/firefox"
    cp -a "$work/firefox-profile-cache/cache2" "$here/firefox/cache2"
    cp "$log" "$here/server-log.txt"
    python3 "$here/manifest.py" "$here" "$port"
    echo "made: $here/chromium-simple $here/firefox/cache2 (profiles kept in $work)" >&2
}

delete_with() { # browser, cache folder
    local command=${DELETE_CMD//\{cache\}/$2}
    command=${command//\{browser\}/$1}
    echo "== delete ($1): $command" >&2
    sh -c "$command"
}

rerun() {
    [ -d "$work/chromium-profile" ] || { echo "no first run in $work: run make-caches.sh first" >&2; exit 2; }
    [ -n "${DELETE_CMD:-}" ] || { echo "DELETE_CMD is not set" >&2; exit 2; }
    local name=${RERUN_NAME:-rerun-log}
    rm -rf "$rerun_dir"
    cp -a "$work" "$rerun_dir"

    delete_with chromium "$rerun_dir/chromium-simple"
    start_server "$rerun_dir/$name-chromium.txt"
    run_chromium "$rerun_dir/chromium-profile" "$rerun_dir/chromium-simple" "$rerun_dir/$name-chromium.txt"
    stop_server

    firefox_prefs "$rerun_dir/firefox-profile-cache" >"$rerun_dir/firefox-profile/user.js"
    delete_with firefox "$rerun_dir/firefox-profile-cache"
    start_server "$rerun_dir/$name-firefox.txt"
    run_firefox "$rerun_dir/firefox-profile" "$rerun_dir/$name-firefox.txt"
    stop_server

    cp "$rerun_dir/$name-chromium.txt" "$rerun_dir/$name-firefox.txt" "$here/"
    echo "rerun logs: $here/$name-chromium.txt $here/$name-firefox.txt" >&2
}

case "$mode" in
make) make_caches ;;
rerun) rerun ;;
*) echo "usage: make-caches.sh [rerun]" >&2; exit 2 ;;
esac
