#!/usr/bin/python3
"""Writes expected-facts.txt: the facts of each movie here as readers that are not
Pellimor's see them. Header, stage, timing, background, FileAttributes, the tags and the
ActionScript 1/2 strings come from Debian's python3-yaswfp; ProductInfo, DoInitAction and
the ActionScript 3 string pool from the few lines below. Which strings count as addresses
and host names is the rule the program states (see LooksLikeLoadAddress/LooksLikeHostName).
Run: /usr/bin/python3 make-expected.py"""
import io
import lzma
import os
import re
import struct
import zlib

from yaswfp import swfparser

here = os.path.dirname(os.path.abspath(__file__))
MOVIES = ["APlayer.swf", "soundmanager2.swf", "soundmanager2_flash9.swf", "ZeroClipboard.swf",
          "video-js.swf", "jquery.jplayer.swf", "expressInstall.swf", "soundmanager2-fws.swf",
          "soundmanager2_flash9-zws.swf"]

EXTENSIONS = set("swf xml mp3 flv png jpg jpeg gif txt php asp aspx json as f4v mp4 m4v m4a aac "
                 "wav jsp cfm cgi pl htm html zip bin dat csv smil css js ttf svg bmp ogg webm"
                 .split())
TLDS = set("com net org edu gov mil int info biz name pro mobi tv cc ws io co us uk de fr "
           "es nl ru pl jp cn kr br au ca ch se dk fi cz hu gr pt ro tr il nz za mx "
           "ar cl eu asia xyz ua sk lt lv ee by kz tw hk sg ph vn th ir ie fm example"
           .split())
BAD = set('"<>\\{}|^`')


PACKAGES = ("flash.", "fl.", "mx.", "air.", "spark.", "com.", "org.", "net.")


def is_package(s):
    return "/" not in s and s.startswith(PACKAGES)


def is_address(s):
    if is_package(s):
        return False
    if not s or len(s) > 2048 or any(c <= " " or c >= "\x7f" or c in BAD for c in s):
        return False
    m = re.match(r"(?i)https?://(.*)", s)
    if m:
        rest = m.group(1)
        if not rest or rest[0] == "/":
            return False
        host, _, path = rest.partition("/")
        if host.lower() in ("adobe.com", "www.adobe.com", "ns.adobe.com"):
            return "." in path.rsplit("/", 1)[-1]
        return True
    if "://" in s or (":" in s and s.find(":") < (s.find("/") if "/" in s else len(s) + 1)):
        return False
    name = re.split(r"[?#]", s)[0].rsplit("/", 1)[-1]
    stem, dot, ext = name.rpartition(".")
    return bool(dot) and stem.strip(".*") != "" and ext.lower() in EXTENSIONS


def is_host(s):
    if s.lower() == "localhost":
        return True
    if is_package(s):
        return False
    s = s[1:] if s.startswith(".") else s
    if not 4 <= len(s) <= 253:
        return False
    labels = s.split(".")
    ok = all(re.fullmatch(r"[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?", l) for l in labels)
    return ok and len(labels) >= 2 and not is_address(s) and labels[-1].lower() in TLDS


def cstring(b, at):
    end = b.index(b"\0", at)
    return b[at:end], end + 1


def abc_strings(b):
    at = 4

    def u30():
        nonlocal at
        v = 0
        for i in range(5):
            byte = b[at]
            at += 1
            v |= (byte & 0x7F) << (7 * i)
            if not byte & 0x80:
                break
        return v & 0xFFFFFFFF

    for _ in range(2):
        for _ in range(max(u30() - 1, 0)):
            u30()
    doubles = u30()
    at += 8 * max(doubles - 1, 0)
    out = []
    for _ in range(max(u30() - 1, 0)):
        n = u30()
        out.append(b[at:at + n])
        at += n
    return out


def action_strings(b):
    """DoInitAction's records (yaswfp leaves that tag unparsed)."""
    out, at = [], 0
    while at < len(b) and b[at] != 0:
        code = b[at]
        at += 1
        if code < 0x80:
            continue
        n = struct.unpack_from("<H", b, at)[0]
        data, at = b[at + 2:at + 2 + n], at + 2 + n
        if code == 0x88:
            p = 2
            for _ in range(struct.unpack_from("<H", data)[0]):
                s, p = cstring(data, p)
                out.append(s)
        elif code == 0x83:
            p = 0
            for _ in range(2):
                s, p = cstring(data, p)
                out.append(s)
        elif code == 0x96:
            p = 0
            while p < len(data):
                t = data[p]
                p += 1
                if t == 0:
                    s, p = cstring(data, p)
                    out.append(s)
                else:
                    p += {1: 4, 2: 0, 3: 0, 4: 1, 5: 1, 6: 8, 7: 4, 8: 1, 9: 2}[t]
    return out


def code_of(tag):
    m = re.match(r"UnspecifiedObject\(tag=(\d+)\)", tag.name)
    if m:
        return int(m.group(1))
    return {v: k for k, v in swfparser.TAG_NAMES.items()}.get(tag.name)


def facts(name):
    with open(os.path.join(here, name), "rb") as f:
        data = f.read()
    sig = data[:3].decode()
    if sig == "ZWS":  # yaswfp reads FWS and CWS: give it the same movie uncompressed
        length = struct.unpack("<I", data[4:8])[0]
        props = data[12:17]
        alone = props + struct.pack("<Q", length - 8) + data[17:]
        body = lzma.decompress(alone, format=lzma.FORMAT_ALONE)
        data = b"FWS" + data[3:8] + body
    parser = swfparser.SWFParser(io.BytesIO(data))
    h = parser.header
    out = {
        "file": name, "signature": sig, "version": h.Version, "declaredLength": h.FileLength,
        "stageWidthTwips": h.FrameSize[1] - h.FrameSize[0],  # (xmin, xmax, ymin, ymax)
        "stageHeightTwips": h.FrameSize[3] - h.FrameSize[2],
        "frameRate88": h.FrameRate, "frameCount": h.FrameCount, "background": None,
        "fileAttributes": None, "metadata": None, "productInfo": None,
    }
    census = dict(tags=len(parser.tags), doAction=0, doInitAction=0, doAbc=0,
                  defineBinaryData=0, importAssets=0, metadata=0, productInfo=0)
    strings = []

    def visit(tag):
        code = code_of(tag)
        raw = getattr(tag, "raw_payload", b"")
        if tag.name == "SetBackgroundColor" and out["background"] is None:
            r, g, b = tag.BackgroundColor
            out["background"] = r << 16 | g << 8 | b
        elif tag.name == "FileAttributes" and out["fileAttributes"] is None:
            out["fileAttributes"] = dict(actionScript3=bool(tag.ActionScript3),
                                         useNetwork=bool(tag.UseNetwork),
                                         hasMetadata=bool(tag.HasMetadata))
        elif tag.name == "DoAction":
            census["doAction"] += 1
            for a in tag.Actions:
                if a.name == "ActionConstantPool":
                    strings.extend(a.ConstantPool)
                elif a.name == "ActionPush" and a.Type == 0:
                    strings.append(a.String)
                elif a.name == "ActionGetURL":
                    strings.extend([a.UrlString, a.TargetString])
        elif tag.name == "DoInitAction":
            census["doInitAction"] += 1
            strings.extend(s.decode("latin-1") for s in action_strings(raw[2:]))
        elif code in (72, 82):
            census["doAbc"] += 1
            abc = raw if code == 72 else raw[raw.index(b"\0", 4) + 1:]
            strings.extend(s.decode("latin-1") for s in abc_strings(abc))
        elif tag.name == "DefineBinaryData":
            census["defineBinaryData"] += 1
        elif tag.name in ("ImportAssets", "ImportAssets2"):
            census["importAssets"] += 1
            strings.append(cstring(raw, 0)[0].decode("latin-1"))
        elif tag.name == "Metadata":
            census["metadata"] += 1
            if out["metadata"] is None:
                out["metadata"] = tag.Metadata
        elif code == 41:
            census["productInfo"] += 1
            if out["productInfo"] is None:
                p, e, ma, mi, bl, bh, cl, ch = struct.unpack_from("<IIBBIIII", raw)
                out["productInfo"] = dict(product=p, edition=e, major=ma, minor=mi,
                                          build=bh << 32 | bl, compiledAtMs=ch << 32 | cl)
        elif tag.name == "DefineSprite":
            for inner in tag.ControlTags:
                visit(inner)

    for tag in parser.tags:
        visit(tag)
    out["census"] = census
    addresses, hosts = set(), set()
    for s in strings:
        if is_address(s):
            addresses.add(s)
        elif is_host(s):
            hosts.add(s[1:] if s.startswith(".") else s)
    out["addresses"] = sorted(addresses)
    out["hostNames"] = sorted(hosts)
    return out


def escaped(text):
    return (text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")
            .replace("\t", "\\t"))


def lines(out):
    """One fact a line: FILE KEY VALUE; absent facts are left out, lists give a line each."""
    name = out.pop("file")
    for key, value in sorted(out.items()):
        if value is None:
            continue
        if isinstance(value, dict):
            for inner, v in sorted(value.items()):
                yield f"{name} {key}.{inner} {int(v)}"
        elif isinstance(value, list):
            for v in value:
                yield f"{name} {key[:-1]} {v}"
        elif isinstance(value, str):
            yield f"{name} {key} {escaped(value)}"
        else:
            yield f"{name} {key} {int(value)}"


with open(os.path.join(here, "expected-facts.txt"), "w") as f:
    f.write("# Made by make-expected.py; do not edit.\n")
    for movie in MOVIES:
        f.write("".join(line + "\n" for line in lines(facts(movie))))
