// Plays a WACZ in ReplayWeb.page (npm "replaywebpage", its ui.js and sw.js) in headless
// Chromium and says whether the page replays and Ruffle, which ReplayWeb.page injects for
// Flash, plays the movie in it: it waits for the movie's colours on the screen.
//
//   node --experimental-websocket replay-check.mjs --wacz FILE --url PAGE --rwp DIR
//        --ruffle DIR --shot OUT.png [--colour RRGGBB]... [--chromium PATH]
//
// DIR of --rwp: the unpacked package (npm pack replaywebpage); --ruffle: a self-hosted
// Ruffle (ruffle.js and its WebAssembly). Nothing is asked of the network: the page, the
// worker, Ruffle and the archive come from a server of this script's own on 127.0.0.1
// (a service worker needs a secure origin, and localhost is one). Prints what the pages'
// consoles said; exits 0 when every colour was seen, 1 when not within the bound.
import { spawn } from "node:child_process";
import { createServer } from "node:http";
import { mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { extname, join, normalize } from "node:path";
import { inflateSync } from "node:zlib";

const args = { colour: [] };
for (let i = 2; i < process.argv.length; i += 2) {
  const name = process.argv[i].replace(/^--/, "");
  if (Array.isArray(args[name])) args[name].push(process.argv[i + 1]);
  else args[name] = process.argv[i + 1];
}
for (const needed of ["wacz", "url", "rwp", "ruffle", "shot"]) {
  if (!args[needed]) {
    console.error(`replay-check: --${needed} is needed`);
    process.exit(2);
  }
}
const kBoundMs = 120000; // gives up after this; no result depends on how fast it is
const started = Date.now();
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const log = (text) => console.log(text.length > 300 ? text.slice(0, 300) + "..." : text);

// The site: ReplayWeb.page's app at /, its worker beside it, Ruffle in ruffle/ (where the
// worker injects it from), the archive as /archive.wacz.
const files = {
  "/": join(args.rwp, "index.html"),
  "/index.html": join(args.rwp, "index.html"),
  "/ui.js": join(args.rwp, "ui.js"),
  "/sw.js": join(args.rwp, "sw.js"),
  "/archive.wacz": args.wacz,
};
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
  ".wacz": "application/wacz", ".map": "application/json" };
function fileOf(path) {
  if (files[path]) return files[path];
  if (path.startsWith("/ruffle/")) {
    const name = normalize(path.slice("/ruffle/".length));
    if (!name.startsWith("..") && !name.includes("/")) return join(args.ruffle, name);
  }
  return null;
}
const server = createServer((req, res) => {
  const path = decodeURIComponent(new URL(req.url, "http://x").pathname);
  const file = fileOf(path);
  let size;
  try {
    size = statSync(file).size;
  } catch {
    res.writeHead(404).end();
    return;
  }
  // Whole files only, as a plain static server answers (wabac reads the archive whole then).
  res.writeHead(200, { "Content-Type": types[extname(file)] || "application/octet-stream",
    "Content-Length": String(size), "Cache-Control": "no-store" });
  res.end(req.method === "HEAD" ? undefined : readFileSync(file));
});
await new Promise((r) => server.listen(0, "127.0.0.1", r));
const site = `http://localhost:${server.address().port}`;

// The browser, with a profile of its own, driven over the DevTools protocol.
const profile = mkdtempSync(join(tmpdir(), "replay-check-"));
const chromium = spawn(args.chromium || "chromium", ["--headless=new", "--no-sandbox",
  "--remote-debugging-port=0", `--user-data-dir=${profile}`, "--no-first-run",
  "--window-size=1000,560", "--enable-unsafe-swiftshader", "about:blank"],
  { stdio: ["ignore", "ignore", "pipe"] });
let stderr = "";
chromium.stderr.on("data", (d) => (stderr += d));
let endpoint = null;
while (!endpoint && Date.now() - started < kBoundMs) {
  await sleep(100);
  endpoint = /DevTools listening on (ws:\S+)/.exec(stderr)?.[1];
}
async function finish(code) {
  const gone = new Promise((r) => chromium.once("exit", r));
  chromium.kill();
  await gone;
  server.close();
  rmSync(profile, { recursive: true, force: true, maxRetries: 5 });
  process.exit(code);
}
if (!endpoint) {
  log("replay-check: chromium did not start: " + stderr);
  await finish(1);
}
const ws = new WebSocket(endpoint);
await new Promise((r) => ws.addEventListener("open", r));
let lastId = 0;
const answers = new Map();
const contexts = new Map(); // execution context id -> frame's address
function send(method, params = {}, sessionId = undefined) {
  return new Promise((resolve) => {
    answers.set(++lastId, resolve);
    ws.send(JSON.stringify({ id: lastId, method, params, sessionId }));
  });
}
ws.addEventListener("message", (event) => {
  const m = JSON.parse(event.data);
  if (m.id && answers.has(m.id)) {
    answers.get(m.id)(m.result ?? { error: m.error });
    answers.delete(m.id);
  } else if (m.method === "Target.attachedToTarget") {
    const s = m.params.sessionId;
    send("Runtime.enable", {}, s);
    send("Target.setAutoAttach", { autoAttach: true, waitForDebuggerOnStart: true, flatten: true }, s);
    send("Runtime.runIfWaitingForDebugger", {}, s);
  } else if (m.method === "Runtime.executionContextCreated") {
    if (m.sessionId === page) contexts.set(m.params.context.id, m.params.context.origin);
  } else if (m.method === "Runtime.executionContextDestroyed") {
    contexts.delete(m.params.executionContextId);
  } else if (m.method === "Runtime.executionContextsCleared") {
    if (m.sessionId === page) contexts.clear();
  } else if (m.method === "Runtime.consoleAPICalled") {
    const text = m.params.args.map((a) => a.value ?? a.description ?? a.type).join(" ");
    log(`console.${m.params.type}: ${text.replace(/%c/g, "")}`);
  } else if (m.method === "Runtime.exceptionThrown") {
    const d = m.params.exceptionDetails;
    log(`exception: ${d.exception?.description || d.text}`);
  } else if (m.method === "Log.entryAdded") {
    log(`${m.params.entry.level}: ${m.params.entry.text} ${m.params.entry.url || ""}`);
  }
});
const target = (await send("Target.getTargets")).targetInfos.find((t) => t.type === "page");
const page = (await send("Target.attachToTarget", { targetId: target.targetId, flatten: true }))
  .sessionId;
for (const method of ["Runtime.enable", "Log.enable", "Page.enable"]) await send(method, {}, page);
await send("Target.setAutoAttach", { autoAttach: true, waitForDebuggerOnStart: true, flatten: true },
  page);

async function evaluate(expression, contextId = undefined) {
  const r = await send("Runtime.evaluate", { expression, contextId, returnByValue: true }, page);
  return r.result?.value;
}
async function until(what, test) {
  while (Date.now() - started < kBoundMs) {
    const value = await test();
    if (value) return value;
    await sleep(250);
  }
  log(`replay-check: gave up waiting for ${what}`);
  return null;
}

// ReplayWeb.page's own address for a page of an archive.
const app = `${site}/?source=${encodeURIComponent(site + "/archive.wacz")}` +
  `#view=replay&url=${encodeURIComponent(args.url)}`;
// In a new profile the app's frames can load before its service worker answers for them:
// the app's home page is opened first, and the archive once the worker controls it.
await send("Page.navigate", { url: `${site}/` }, page);
await until("the service worker", () => evaluate("!!navigator.serviceWorker.controller"));
await send("Page.navigate", { url: app }, page);

// The Ruffle player that took the place of the page's <object> or <embed>, in any frame:
// pressed to play (ReplayWeb.page leaves Ruffle's play button), its notices closed.
const player = `(() => {
  const p = document.querySelector("ruffle-object, ruffle-embed");
  if (!p || !p.shadowRoot) return null;
  for (const close of p.shadowRoot.querySelectorAll(".modal:not(.hidden) .close-modal")) close.click();
  const play = p.shadowRoot.getElementById("play-button");
  if (play && getComputedStyle(play).display !== "none") play.click();
  return location.href;
})()`;
let frame = null;
const pressPlay = async () => {
  for (const id of [...contexts.keys()]) {
    const found = await evaluate(player, id);
    if (found && !frame) log(`replay-check: Ruffle player in ${found}`);
    frame = frame || found;
  }
  return frame;
};
await until("a Ruffle player in the replayed page", pressPlay);

// The screen, decoded: 8-bit RGB or RGBA PNG as Chromium writes it.
function pixels(png) {
  let at = 8, width = 0, height = 0, channels = 4;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const type = png.toString("latin1", at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      [width, height] = [body.readUInt32BE(0), body.readUInt32BE(4)];
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") data.push(body);
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const out = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x++) {
      const v = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? out[y * stride + x - channels] : 0;
      const b = y > 0 ? out[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? out[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const [pa, pb, pc] = [Math.abs(p - a), Math.abs(p - b), Math.abs(p - c)];
      const paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      out[y * stride + x] = (v + [0, a, b, (a + b) >> 1, paeth][filter]) & 0xff;
    }
  }
  return { width, height, channels, out };
}
function count(image, rgb) {
  const [r, g, b] = [(rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff];
  let n = 0;
  for (let i = 0; i < image.out.length; i += image.channels) {
    const o = image.out;
    if (Math.abs(o[i] - r) < 24 && Math.abs(o[i + 1] - g) < 24 && Math.abs(o[i + 2] - b) < 24) n++;
  }
  return n;
}
const colours = args.colour.map((c) => parseInt(c, 16));
let shot = null;
const seen = frame && await until("the movie's colours", async () => {
  await pressPlay(); // until Ruffle has shown its play button and it was pressed
  shot = Buffer.from((await send("Page.captureScreenshot", { format: "png" }, page)).data, "base64");
  const image = pixels(shot);
  return colours.every((c) => count(image, c) >= 200);
});
if (!shot) {
  shot = Buffer.from((await send("Page.captureScreenshot", { format: "png" }, page)).data, "base64");
}
writeFileSync(args.shot, shot);
const image = pixels(shot);
log(`replay-check: ${args.shot}: ` +
  colours.map((c) => `${c.toString(16).padStart(6, "0")} ${count(image, c)} pixels`).join(", "));
await finish(seen ? 0 : 1);
