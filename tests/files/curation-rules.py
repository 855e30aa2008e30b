#!/usr/bin/env python3
"""The web-game archive's rules for a curation, stated offline from its public documentation
(the "Curation Format" pages of its wiki: the curation folder, logo and screenshot, content,
and the meta fields), so that tests can tell whether an export would be taken as it is.

Usage: curation-rules.py FOLDER   (the game's folder: meta.yaml, logo.png, ss.png, content/)
Prints one fault per line and exits 1 when there is any; prints nothing and exits 0 otherwise.
"""
import os
import re
import sys
import urllib.parse

import yaml

PNG = b"\x89PNG\r\n\x1a\n"
# Fields every curation must carry a value in.
REQUIRED = ["Title", "Library", "Languages", "Tags", "Source", "Status", "Application Path",
            "Launch Command"]
STATUSES = {"Playable", "Partial", "Hacked"}
DATE = re.compile(r"^\d{4}(-(0[1-9]|1[0-2])(-(0[1-9]|[12]\d|3[01]))?)?$")
LANGUAGE = re.compile(r"^[a-z]{2}$")


def faults_of(folder):
    faults = []
    meta_path = os.path.join(folder, "meta.yaml")
    if not os.path.isfile(meta_path):
        return ["no meta.yaml"]
    with open(meta_path, encoding="utf-8") as f:
        meta = yaml.safe_load(f)
    if not isinstance(meta, dict):
        return ["meta.yaml holds no fields"]

    def text(name):
        value = meta.get(name)
        return "" if value is None else str(value)

    for name in REQUIRED:
        if not text(name).strip():
            faults.append(f"{name}: missing or empty")
    for picture in ("logo.png", "ss.png"):
        path = os.path.join(folder, picture)
        if not os.path.isfile(path):
            faults.append(f"{picture}: missing")
        else:
            with open(path, "rb") as f:
                if f.read(8) != PNG:
                    faults.append(f"{picture}: not a PNG picture")
    content = os.path.join(folder, "content")
    files = [os.path.join(d, n) for d, _, names in os.walk(content) for n in names]
    if not files:
        faults.append("content: no files")

    if text("Library") and text("Library").lower() not in ("arcade", "theatre"):
        faults.append(f"Library: {text('Library')!r} is neither arcade nor theatre")
    languages = text("Languages")
    if languages:
        parts = languages.split("; ")
        if not all(LANGUAGE.match(p) for p in parts):
            faults.append(f"Languages: {languages!r} is not ISO 639-1 codes separated by '; '")
    tags = text("Tags")
    if tags and any(not t.strip() or t != t.strip() for t in tags.split("; ")):
        faults.append(f"Tags: {tags!r} is not tags separated by '; '")
    status = text("Status")
    if status and not set(status.split("; ")) <= STATUSES:
        faults.append(f"Status: {status!r}")
    date = text("Release Date")
    if date and not DATE.match(date):
        faults.append(f"Release Date: {date!r} is not YYYY-MM-DD, YYYY-MM or YYYY")
    for name in ("Primary Platform", "Platforms"):
        if text(name) and "Flash" not in text(name).split("; "):
            faults.append(f"{name}: {text(name)!r} without Flash")
    launch = text("Launch Command")
    if launch:
        url = urllib.parse.urlsplit(launch)
        if url.scheme != "http":
            faults.append(f"Launch Command: {launch!r} is not an http address")
        else:
            path = urllib.parse.unquote(url.path) or "/"
            if path.endswith("/"):
                path += "index.html"
            target = os.path.join(content, url.hostname or "", path.lstrip("/"))
            if not os.path.isfile(target):
                faults.append(f"Launch Command: {launch!r} names no file in content")
    return faults


if __name__ == "__main__":
    found = faults_of(sys.argv[1])
    for fault in found:
        print(fault)
    sys.exit(1 if found else 0)
