// The preview page: one Ruffle player that plays what the program asks for, and whose every
// load is answered by the program through the page's own scheme. Nothing here reaches the
// network: addresses of the web are turned into questions to the program's URL cache.
"use strict";

(() => {
    const here = "pellimor://player/";
    const options = window.pellimorOptions || {};
    // The key the program answers this page's events with. Only this closure keeps it, and
    // events go out through what the page had before any movie ran: a movie's script may
    // replace XMLHttpRequest or Reflect, not these.
    const key = window.pellimorPageKey;
    delete window.pellimorPageKey;
    const XHR = XMLHttpRequest;
    const open = XHR.prototype.open;
    const send = XHR.prototype.send;
    const apply = Reflect.apply;
    const encode = encodeURIComponent;
    // The storage Ruffle keeps a movie's saves in: the program fills it before each movie
    // starts and reads it back when asked. The page's profile keeps nothing on disk.
    const storage = (() => {
        try {
            return window.localStorage;
        } catch (e) {
            return null;
        }
    })();
    const storageProto = Storage.prototype;
    const storageMethods = {
        clear: storageProto.clear, key: storageProto.key, getItem: storageProto.getItem,
        setItem: storageProto.setItem,
    };
    const storageLength = Object.getOwnPropertyDescriptor(storageProto, "length").get;
    const stringify = JSON.stringify;

    // No peer connections: nothing in the page needs them, and they are a way out.
    delete window.RTCPeerConnection;
    delete window.webkitRTCPeerConnection;

    // A response as Ruffle expects it, carrying the address asked for: Ruffle takes a
    // movie's own address from the response.
    function answer(url, body, init) {
        const response = new Response(body, init);
        Object.defineProperty(response, "url", { value: url });
        return response;
    }

    // The page's fetch() does not take a custom scheme in this engine; XMLHttpRequest does.
    function request(target, url) {
        return new Promise((resolve) => {
            const xhr = new XMLHttpRequest();
            xhr.open("GET", target);
            xhr.responseType = "arraybuffer";
            xhr.onload = () => {
                const type = xhr.getResponseHeader("Content-Type") || "application/octet-stream";
                const headers = { "Content-Type": type };
                resolve(answer(url, xhr.response, { status: 200, headers: headers }));
            };
            xhr.onerror = () => {
                report("missing", { url: url });
                resolve(answer(url, null, { status: 404, statusText: "Not found" }));
            };
            xhr.send();
        });
    }

    // Where a load goes: Ruffle's own files and the leftover movie shown are the page's; an
    // address of the web is asked of the cache; nothing else is answered, so a movie cannot
    // reach the page's other parts.
    function targetOf(url) {
        if (url.startsWith(here + "ruffle/") || url.startsWith(here + "file?")) {
            return url;
        }
        if (/^(https?|ftp):/i.test(url)) {
            return here + "cache?url=" + encodeURIComponent(url);
        }
        return null;
    }

    window.fetch = (input) => {
        const asked = input instanceof Request ? input.url : String(input);
        const url = new URL(asked, document.baseURI).href;
        const target = targetOf(url);
        if (target === null) {
            return Promise.reject(new TypeError("Not available offline: " + url));
        }
        return request(target, url);
    };

    // Plain operators only: a replaced method of Array or String would see the key.
    function report(name, fields) {
        let query = "key=" + key + "&name=" + encode(name) + "&load=" + encode(current);
        for (const field in fields) {
            query += "&" + encode(field) + "=" + encode(fields[field]);
        }
        const xhr = new XHR();
        apply(open, xhr, ["GET", here + "event?" + query]);
        apply(send, xhr, []);
    }

    let player = null;
    let current = 0;
    let paused = false;  // while the program plays a movie elsewhere: one sound at a time
    let given = {};  // what Ruffle was given for the movie of the current load

    function whenPainted(load) {
        // Ruffle draws in its own animation frame; the second frame after the movie's header
        // is the first that shows it.
        requestAnimationFrame(() => requestAnimationFrame(() => {
            if (load === current) {
                report("frame", {});
            }
        }));
    }

    function makePlayer() {
        player = window.RufflePlayer.newest().createPlayer();
        player.addEventListener("loadedmetadata", () => {
            const m = player.ruffle().metadata || {};
            report("metadata", {
                width: String(m.width), height: String(m.height), frameRate: String(m.frameRate),
                frames: String(m.numFrames), version: String(m.swfVersion),
                background: String(m.backgroundColor), as3: String(m.isActionScript3),
                movie: given.url, base: given.base, parameters: given.parameters,
            });
            whenPainted(current);
        });
        document.getElementById("stage").appendChild(player);
    }

    // What the program gives as text stays text: anything else is no value.
    function text(value) {
        return typeof value === "string" ? value : "";
    }

    // Only the saves of the movie about to play: nothing of one movie reaches the next.
    function keepSaves(saves) {
        if (storage === null) {
            return;
        }
        apply(storageMethods.clear, storage, []);
        if (!Array.isArray(saves)) {
            return;
        }
        for (const save of saves) {
            apply(storageMethods.setItem, storage, [text(save.key), text(save.value)]);
        }
    }

    window.pellimor = {
        // movie: { url, parameters, base, saves } as data; parameters and base come from the
        // page that embedded the movie, when the cache holds one; saves: [{ key, value }], the
        // movie's saves as Ruffle's storage keeps them (key, base64 of the .sol file).
        play(load, movie) {
            current = load;
            // A new player for each movie: the one before keeps its movie's saves as it goes
            // (Ruffle writes them when its player is dropped), which must not reach this one.
            if (player !== null) {
                player.remove();
            }
            keepSaves(movie.saves);
            makePlayer();
            const url = text(movie.url);
            // Without a page, relative addresses in the movie are relative to the movie
            // itself, as when the player is given a movie without a page around it; with one,
            // to the page's base, as Flash Player in a browser had them.
            const base = text(movie.base) || new URL(".", url).href;
            const parameters = text(movie.parameters);
            given = { url: url, base: base, parameters: parameters };
            player.ruffle()
                .load({ url: url, base: base, parameters: parameters })
                .then(() => {
                    if (paused && load === current) {
                        player.ruffle().suspend();
                    }
                })
                .catch((e) => report("failed", { why: String(e) }));
        },
        // Holds the movie where it is (true), or lets it go on (false).
        pause(on) {
            paused = on === true;
            if (player !== null) {
                if (paused) {
                    player.ruffle().suspend();
                } else {
                    player.ruffle().resume();
                }
            }
        },
        // The saves the movie playing keeps now: a JSON list of [key, base64 of the .sol].
        saves() {
            const saves = [];
            if (storage !== null) {
                const count = apply(storageLength, storage, []);
                for (let i = 0; i < count; i++) {
                    const key = apply(storageMethods.key, storage, [i]);
                    saves.push([key, apply(storageMethods.getItem, storage, [key])]);
                }
            }
            return stringify(saves);
        },
    };

    window.RufflePlayer = window.RufflePlayer || {};
    window.RufflePlayer.config = {
        publicPath: here + "ruffle/",
        polyfills: false,
        autoplay: "on",
        unmuteOverlay: "hidden",
        splashScreen: false,
        letterbox: "off",
        upgradeToHttps: false,
        allowNetworking: "internal",
        showSwfDownload: false,
        warnOnUnsupportedContent: false,
        logLevel: "warn",
        // The program's options: networking "all" for movies that talk to their page, whose
        // requests the fetch rules above and the program's guard keep inside the program.
        ...options,
        // A movie never opens a page of its own, whatever the options say.
        openUrlMode: "deny",
    };
    // Without WebGL (no GPU, a virtual display) Ruffle would try its GPU renderers for every
    // movie before it settles on the canvas; go there at once.
    const probe = document.createElement("canvas");
    if (!probe.getContext("webgl2") && !probe.getContext("webgl")) {
        window.RufflePlayer.config.preferredRenderer = "canvas";
    }
    document.documentElement.style.background = options.backgroundColor || "#FFFFFF";

    window.addEventListener("DOMContentLoaded", () => report("ready", {}));
})();
