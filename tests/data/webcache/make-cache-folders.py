#!/usr/bin/env python3
"""Builds the cache folders a WebCache database's content containers name, with files of our
own, from esedbexport's tables of that database.

  make-cache-folders.py EXPORT_DIR USER_FOLDER SWF_DIR [--upper]

EXPORT_DIR holds esedbexport's "Containers.*" and "Container_N.*" files. Each content
container's Directory (C:\\Users\\<name>\\...) is made below USER_FOLDER, with its
8-character folders. The rows, in EntryId order, get in turn: a SWF movie from SWF_DIR (under
the row's own name, whatever its extension), bytes that begin almost as a movie does but are
none ("FWS" version 0, "CWS" version 51), a text, and no file at all. One SWF file no row
names is put beside them (a leftover). --upper writes every folder and file name in capitals,
as a copy through FAT shows them.
"""
import csv
import glob
import os
import sys

csv.field_size_limit(1 << 24)


def table(export_dir, name):
    paths = glob.glob(os.path.join(export_dir, name + ".*"))
    if not paths:
        return []
    with open(paths[0], newline="", encoding="utf-8", errors="replace") as f:
        return list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


def windows_path(text):
    return text.replace("\\\\", "\\")  # esedbexport doubles backslashes


def main():
    export_dir, user_folder, swf_dir = sys.argv[1:4]
    upper = "--upper" in sys.argv[4:]
    name = (lambda n: n.upper()) if upper else (lambda n: n)
    movies = sorted(p for p in glob.glob(os.path.join(swf_dir, "*.swf")))
    made = 0
    for container in table(export_dir, "Containers"):
        if container["Name"].lower() != "content":
            continue
        parts = [p for p in windows_path(container["Directory"]).split("\\") if p]
        if len(parts) < 3 or parts[1].lower() != "users":
            continue
        folder = os.path.join(user_folder, *[name(p) for p in parts[3:]])
        secure = container["SecureDirectories"]
        folders = [secure[i:i + 8] for i in range(0, len(secure), 8)]
        for sub in folders:
            os.makedirs(os.path.join(folder, name(sub)), exist_ok=True)
        rows = table(export_dir, "Container_" + container["ContainerId"])
        rows.sort(key=lambda r: int(r["EntryId"]))
        for i, row in enumerate(rows):
            index = int(row["SecureDirectory"] or 0)
            if not 1 <= index <= len(folders) or not row["Filename"]:
                continue
            path = os.path.join(folder, name(folders[index - 1]), name(row["Filename"]))
            kind = i % 4
            if kind == 0:
                with open(movies[(i // 4) % len(movies)], "rb") as f:
                    body = f.read()
            elif kind == 1:
                body = (b"FWS\x00" if i % 8 == 1 else b"CWS\x33") + b"\x00" * 60
            elif kind == 2:
                body = ("not a movie: " + row["Url"] + "\n").encode()
            else:
                continue
            with open(path, "wb") as f:
                f.write(body)
            made += 1
        if folders and movies:
            with open(os.path.join(folder, name(folders[0]), name("leftover[1].bin")), "wb") as f:
                with open(movies[0], "rb") as m:
                    f.write(m.read())
    print(made)


if __name__ == "__main__":
    main()
