#!/usr/bin/env python3
"""Serves the folder served/ on 127.0.0.1 for the browsers that make the caches.

Every request is written to the log with its time, so a run shows what the
browser fetched and what it took from its cache. Every file, the page
included, is cached for a year, so the caches hold the page that embeds the
movies with its flashvars; only /done never is (it reports the page's fetches).
"""
import argparse
import email.utils
import gzip
import http.server
import os
import sys
import threading
import time
import urllib.parse

YEAR = "max-age=31536000"

# How each file goes on the wire: content type, encoding, cache control.
# The address of a file is its path under served/, except where mapped here.
KINDS = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".xml": "application/xml",
    ".png": "image/png",
    ".swf": "application/x-shockwave-flash",
}
# Sent gzip-compressed (the cache keeps the compressed bytes).
GZIPPED = {"/games/rocket.swf"}
# A movie behind a script address, sent as plain bytes: found only by its signature.
MAPPED = {"/games/getmovie.php?id=7": ("games/getmovie-7.swf", "application/octet-stream")}
NO_STORE = {"/done"}
# Fixed so that the addresses in the caches stay the same from run to run.
LAST_MODIFIED = email.utils.formatdate(1245846600, usegmt=True)  # 24 Jun 2009 12:30 UTC


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "made-caches"
    sys_version = ""

    def log_message(self, fmt, *args):  # the server's own log is below
        pass

    def record(self, status, length):
        now = time.time()
        stamp = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(now)) + ".%03dZ" % (int(now * 1000) % 1000)
        host = self.headers.get("Host", "-")
        # How the browser asked: a revalidation or a reload is not a plain fetch.
        asked = [name + ": " + self.headers[name] for name in ("If-Modified-Since", "If-None-Match", "Cache-Control", "Pragma") if self.headers.get(name)]
        line = "%s %s %s %s %d %d%s\n" % (stamp, host, self.command, self.path, status, length, "".join(" [" + a + "]" for a in asked))
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as log:
                log.write(line)

    def send_body(self, status, body, headers):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Access-Control-Allow-Origin", "*")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.record(status, len(body))

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        path = self.path
        if path == "/":
            path = "/index.html"
        plain = urllib.parse.urlsplit(path).path
        if plain.startswith("/fill/") and plain.endswith(".txt") and plain[6:-4].isdigit():
            headers = [("Content-Type", "text/plain"), ("Cache-Control", YEAR), ("Last-Modified", LAST_MODIFIED)]
            self.send_body(200, plain[6:-4].encode("ascii") + b"\n", headers)
            return
        if path.startswith("/done"):
            self.send_body(200, b"done\n", [("Content-Type", "text/plain"), ("Cache-Control", "no-store")])
            return
        if path in MAPPED:
            relative, kind = MAPPED[path]
        else:
            relative = urllib.parse.unquote(plain).lstrip("/")
            kind = KINDS.get(os.path.splitext(relative)[1])
        root = os.path.realpath(self.server.root)
        file_path = os.path.realpath(os.path.join(root, relative))
        if kind is None or not file_path.startswith(root + os.sep) or not os.path.isfile(file_path):
            self.send_body(404, b"not found\n", [("Content-Type", "text/plain"), ("Cache-Control", "no-store")])
            return
        with open(file_path, "rb") as f:
            body = f.read()
        headers = [("Content-Type", kind), ("Last-Modified", LAST_MODIFIED)]
        if plain in NO_STORE:
            headers.append(("Cache-Control", "no-store"))
        else:
            headers.append(("Cache-Control", YEAR))
        if plain in GZIPPED:
            body = gzip.compress(body, compresslevel=9, mtime=0)
            headers.append(("Content-Encoding", "gzip"))
        self.send_body(200, body, headers)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--log", required=True)
    options = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.root = options.root
    server.log_path = options.log
    server.log_lock = threading.Lock()
    print("serving %s on 127.0.0.1:%d" % (options.root, options.port), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
