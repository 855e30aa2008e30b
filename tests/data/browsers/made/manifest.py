#!/usr/bin/env python3
"""Writes MANIFEST.txt: what the server sent for each address, and which files
of each cache hold that address (found by its bytes in the file)."""
import gzip
import hashlib
import os
import struct
import sys

sys.dont_write_bytecode = True  # nothing of the run is left beside the committed files
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serve  # noqa: E402  (the server's table of types and encodings)

ADDRESSES = [
    # The page of the first run as each browser opened it (make-caches.sh: Chromium
    # index.html?run=make, Firefox with the query that tells the page to fill its cache).
    ("127.0.0.1", "/index.html?run=make"),
    ("127.0.0.1", "/index.html?run=make&fill=300&after=60&close=90"),
    ("127.0.0.1", "/page.js"),
    ("127.0.0.1", "/pixel.png"),
    ("127.0.0.1", "/games/levels.xml"),
    ("127.0.0.1", "/games/puzzle.swf"),
    ("127.0.0.1", "/games/levels/level1.swf"),
    ("127.0.0.1", "/games/rocket.swf"),
    ("127.0.0.1", "/games/getmovie.php?id=7"),
    ("localhost", "/shorts/rain.swf"),
    ("localhost", "/players/APlayer.swf"),
]


def served(path):
    if path in serve.MAPPED:
        return serve.MAPPED[path]
    relative = path.split("?")[0].lstrip("/")
    return relative, serve.KINDS[os.path.splitext(relative)[1]]


CHROMIUM_MAGIC = 0xFCFB6D1BA7725C30
FIREFOX_CHUNK = 256 * 1024


def entry_key(data):
    """The key as the file records it: a Chromium simple cache file's header
    (magic, version, key length, key hash, then the key at 24), or a Firefox
    cache2 entry's metadata (its offset in the last 4 bytes, big-endian; the key
    after the chunk hashes and the 32-byte header, its length at header + 24)."""
    if len(data) >= 24 and struct.unpack_from("<Q", data, 0)[0] == CHROMIUM_MAGIC:
        length = struct.unpack_from("<I", data, 12)[0]
        return data[24 : 24 + length].decode("latin-1")
    if len(data) >= 4:
        meta = struct.unpack_from(">I", data, len(data) - 4)[0]
        chunks = (meta + FIREFOX_CHUNK - 1) // FIREFOX_CHUNK
        header = meta + 4 + 2 * chunks
        if header + 32 <= len(data):
            length = struct.unpack_from(">I", data, header + 24)[0]
            return data[header + 32 : header + 32 + length].decode("latin-1")
    return "?"


def holders(cache_root, needle, body):
    """The files that hold the address; a page's address (one a longer one may start
    with) only where it is the whole of the entry's address."""
    page = b"?run=" in needle
    found = []
    for folder, _, names in sorted(os.walk(cache_root)):
        for name in sorted(names):
            file_path = os.path.join(folder, name)
            with open(file_path, "rb") as f:
                data = f.read()
            at = data.find(needle)
            if at >= 0:
                key = entry_key(data)
                if page and not key.endswith(":" + needle.decode("ascii")) and not key.endswith(" " + needle.decode("ascii")):
                    continue
                found.append((os.path.relpath(file_path, cache_root), os.path.getsize(file_path), key, data.find(body)))
    return found


def main():
    here, port = sys.argv[1], int(sys.argv[2])
    caches = [("chromium-simple", "Chromium simple cache"), ("firefox/cache2", "Firefox cache2")]
    lines = [
        "What the server sent (served/) and where each cache keeps it.",
        "Written by manifest.py from make-caches.sh; sha256 of the body as the page received it",
        "(decoded); for a gzip-encoded body also the bytes on the wire, which the caches keep.",
        "",
    ]
    for host, path in ADDRESSES:
        relative, kind = served(path)
        with open(os.path.join(here, "served", relative), "rb") as f:
            body = f.read()
        address = "http://%s:%d%s" % (host, port, path)
        signature = body[:3].decode("latin-1")
        movie = signature in ("FWS", "CWS", "ZWS")
        lines.append("address      %s" % address)
        lines.append("  file       served/%s%s" % (relative, " (SWF %s, version %d)" % (signature, body[3]) if movie else ""))
        lines.append("  bytes      %d  sha256 %s" % (len(body), hashlib.sha256(body).hexdigest()))
        lines.append("  type       %s" % kind)
        if path in serve.GZIPPED:
            wire = gzip.compress(body, compresslevel=9, mtime=0)
            lines.append("  encoding   gzip: %d bytes on the wire, sha256 %s" % (len(wire), hashlib.sha256(wire).hexdigest()))
        else:
            lines.append("  encoding   none")
        for folder, title in caches:
            root = os.path.join(here, folder)
            sent = gzip.compress(body, compresslevel=9, mtime=0) if path in serve.GZIPPED else body
            found = holders(root, address.encode("ascii"), sent) if os.path.isdir(root) else []
            if not found:
                lines.append("  %-10s NOT IN THE CACHE" % folder.split("/")[0].split("-")[0])
            for file_name, size, key, at in found:
                where = "the bytes sent at offset %d" % at if at >= 0 else "NOT the bytes sent"
                lines.append("  %-10s %s/%s (%d bytes) key %r, %s" % (folder.split("/")[0].split("-")[0], folder, file_name, size, key, where))
        lines.append("")
    known = {("http://%s:%d%s" % (host, port, path)).encode("ascii") for host, path in ADDRESSES}
    for folder, title in caches:
        root = os.path.join(here, folder)
        lines.append("%s: every file of %s/" % (title, folder))
        fills = 0
        for parent, _, names in sorted(os.walk(root)):
            for name in sorted(names):
                file_path = os.path.join(parent, name)
                with open(file_path, "rb") as f:
                    data = f.read()
                key = entry_key(data) if name != "index" and not name.startswith("index") else ""
                if "/fill/" in key:
                    fills += 1
                    continue
                mine = any(address in data for address in known)
                note = "" if mine or not key or key == "?" else "  key %r" % key
                lines.append("  %s (%d bytes)%s" % (os.path.relpath(file_path, here), len(data), note))
        if fills:
            lines.append("  and %d entries of http://127.0.0.1:%d/fill/N.txt (N = 0..%d, text/plain, body 'N\\n')" % (fills, port, fills - 1))
        lines.append("")
    with open(os.path.join(here, "MANIFEST.txt"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


if __name__ == "__main__":
    main()
