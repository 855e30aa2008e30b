// Reads a WARC file (and a WACZ's index, pages and package, when given) back with warcio,
// an independent reader, and checks what Pellimor's writer promises:
//   every record parses, each is its own gzip member, WARC-Block-Digest and
//   WARC-Payload-Digest are the SHA-1 of block and payload, --payload URI=FILE payloads are
//   byte-identical to FILE; the CDXJ lines are sorted, keyed as warcio keys them, and point
//   at the member of their record; pages name archived addresses; the package's sizes and
//   SHA-256 are the files'.
// Usage: node warc-check.mjs --warc FILE [--wacz-dir DIR] [--payload URI=FILE]...
// Prints one JSON summary line; exits 1 with the faults on stderr.
import { createHash } from "node:crypto";
import { readFileSync, existsSync } from "node:fs";
import { gunzipSync } from "node:zlib";
import { WARCParser, getSurt } from "warcio";

const faults = [];
const fault = (text) => faults.push(text);

function base32(bytes) {
  const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  let bits = 0, value = 0, out = "";
  for (const b of bytes) {
    value = (value << 8) | b;
    bits += 8;
    while (bits >= 5) {
      out += alphabet[(value >>> (bits - 5)) & 31];
      bits -= 5;
    }
  }
  if (bits > 0) out += alphabet[(value << (5 - bits)) & 31];
  while (out.length % 8) out += "=";
  return out;
}
const sha1 = (bytes) => "sha1:" + base32(createHash("sha1").update(bytes).digest());

const args = process.argv.slice(2);
let warcPath = null, waczDir = null;
const payloads = new Map();
for (let i = 0; i < args.length; i++) {
  if (args[i] === "--warc") warcPath = args[++i];
  else if (args[i] === "--wacz-dir") waczDir = args[++i];
  else if (args[i] === "--payload") {
    const [uri, file] = args[++i].split(/=(?=[^=]*$)/);
    payloads.set(uri, readFileSync(file));
  } else throw new Error("unknown argument " + args[i]);
}
const warc = readFileSync(warcPath);

async function* chunks(buffer) {
  yield buffer;
}

// Every record, with its member's place, raw block and payload.
async function readRecords(buffer) {
  const records = [];
  const blocks = new WARCParser(chunks(buffer), { parseHttp: false });
  for await (const record of blocks) {
    const block = await record.readFully();
    records.push({
      type: record.warcType,
      uri: record.warcTargetURI,
      date: record.warcDate,
      headers: new Proxy({}, { get: (_, name) => record.warcHeader(name) ?? undefined }),
      offset: blocks.offset,
      length: blocks.recordLength,
      block: Buffer.from(block),
    });
  }
  let i = 0;
  for await (const record of new WARCParser(chunks(buffer))) {
    const payload = Buffer.from(await record.readFully(false));
    if (i < records.length) {
      records[i].payload = payload;
      records[i].status = record.httpHeaders ? record.httpHeaders.statusCode : null;
    }
    i++;
  }
  if (i !== records.length) fault(`the two readings found ${records.length} and ${i} records`);
  return records;
}

const records = await readRecords(warc);
if (records.length === 0 || records[0].type !== "warcinfo") fault("the first record is no warcinfo");
const byUri = new Map();
let end = 0;
for (const r of records) {
  const name = r.uri ?? r.type;
  if (r.headers["WARC-Block-Digest"] !== sha1(r.block)) fault(`${name}: block digest differs`);
  if (r.type !== "warcinfo" && r.headers["WARC-Payload-Digest"] !== sha1(r.payload)) {
    fault(`${name}: payload digest differs`);
  }
  if (r.type === "resource" && !r.payload.equals(r.block)) fault(`${name}: resource payload is not its block`);
  if (!/^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/.test(r.date ?? "")) fault(`${name}: WARC-Date ${r.date}`);
  if (r.headers["WARC-Type"] !== "warcinfo" && !r.headers["WARC-Record-ID"]?.startsWith("<urn:uuid:")) {
    fault(`${name}: record id`);
  }
  // Each record is a gzip member of its own: the member alone inflates to the whole record.
  if (r.offset !== end) fault(`${name}: member at ${r.offset}, the previous ended at ${end}`);
  end = r.offset + r.length;
  const alone = gunzipSync(warc.subarray(r.offset, r.offset + r.length));
  if (!alone.subarray(0, 10).equals(Buffer.from("WARC/1.1\r\n"))) fault(`${name}: member does not start a record`);
  if (r.uri) {
    if (/[\s\x00-\x1f\x7f]/.test(r.uri)) fault(`${name}: the address holds a blank or a control byte`);
    if (byUri.has(r.uri)) fault(`${name}: archived twice`);
    byUri.set(r.uri, r);
  }
}
if (end !== warc.length) fault(`the members end at ${end} of ${warc.length} bytes`);
for (const [uri, bytes] of payloads) {
  const r = byUri.get(uri);
  if (!r) fault(`${uri}: no record`);
  else if (!r.payload.equals(bytes)) fault(`${uri}: payload differs from the cache's body`);
}

let indexLines = 0, pageCount = 0;
if (waczDir) {
  const cdx = readFileSync(waczDir + "/indexes/index.cdx");
  const lines = cdx.toString("utf8").split("\n");
  if (lines.pop() !== "") fault("index.cdx does not end with a line end");
  indexLines = lines.length;
  for (let i = 1; i < lines.length; i++) {
    if (Buffer.compare(Buffer.from(lines[i - 1]), Buffer.from(lines[i])) > 0) fault(`index.cdx: line ${i + 1} out of order`);
  }
  const indexed = new Set();
  for (const line of lines) {
    const [key, timestamp] = line.split(" ", 2);
    const json = JSON.parse(line.slice(key.length + timestamp.length + 2));
    const r = byUri.get(json.url);
    if (!r) { fault(`index.cdx: ${json.url} has no record`); continue; }
    indexed.add(json.url);
    if (key !== getSurt(json.url)) fault(`index.cdx: key ${key}, warcio's ${getSurt(json.url)}`);
    if (timestamp !== r.date.replace(/[-:TZ]/g, "")) fault(`index.cdx: ${json.url} timestamp ${timestamp}`);
    if (Number(json.offset) !== r.offset || Number(json.length) !== r.length) fault(`index.cdx: ${json.url} points at ${json.offset}+${json.length}, the record is at ${r.offset}+${r.length}`);
    if (json.digest !== r.headers["WARC-Payload-Digest"]) fault(`index.cdx: ${json.url} digest`);
    if (r.type === "response" && String(r.status) !== json.status) fault(`index.cdx: ${json.url} status`);
    if (json.filename !== "data.warc.gz") fault(`index.cdx: ${json.url} file ${json.filename}`);
  }
  for (const uri of byUri.keys()) if (!indexed.has(uri)) fault(`${uri}: not in index.cdx`);

  const pages = readFileSync(waczDir + "/pages/pages.jsonl", "utf8").trim().split("\n").map((l) => JSON.parse(l));
  if (pages[0]?.format !== "json-pages-1.0") fault("pages.jsonl: no json-pages-1.0 header");
  for (const page of pages.slice(1)) {
    pageCount++;
    if (!byUri.has(page.url)) fault(`pages.jsonl: ${page.url} is not archived`);
    if (page.ts !== byUri.get(page.url)?.date) fault(`pages.jsonl: ${page.url} time ${page.ts}`);
    if (!page.title) fault(`pages.jsonl: ${page.url} has no title`);
  }

  const pkg = JSON.parse(readFileSync(waczDir + "/datapackage.json", "utf8"));
  if (pkg.profile !== "data-package" || pkg.wacz_version !== "1.1.1") fault("datapackage.json: profile or version");
  const listed = new Set(pkg.resources.map((r) => r.path));
  for (const path of ["archive/data.warc.gz", "indexes/index.cdx", "pages/pages.jsonl"]) {
    if (!listed.has(path)) fault(`datapackage.json: ${path} not listed`);
  }
  for (const res of pkg.resources) {
    const file = waczDir + "/" + res.path;
    if (!existsSync(file)) { fault(`datapackage.json: ${res.path} missing`); continue; }
    const bytes = readFileSync(file);
    if (bytes.length !== res.bytes) fault(`datapackage.json: ${res.path} size`);
    if (res.hash !== "sha256:" + createHash("sha256").update(bytes).digest("hex")) fault(`datapackage.json: ${res.path} hash`);
  }
}

console.log(JSON.stringify({
  records: records.length,
  types: records.map((r) => r.type),
  uris: records.filter((r) => r.uri).map((r) => r.uri),
  indexLines,
  pages: pageCount,
  notes: Object.fromEntries(records.filter((r) => r.headers["WARC-Pellimor-Note"]).map((r) => [r.uri, r.headers["WARC-Pellimor-Note"]])),
}));
if (faults.length) {
  console.error(faults.join("\n"));
  process.exit(1);
}
