#!/usr/bin/env python3
"""Files and functions of src/ that grew too long.

A file is too long above 500 lines. A function is too long above 80 lines, counted from the
line of the brace that opens its body to the line of the brace that closes it. Bodies are
found by matching braces in the source with comments, string and character literals and
preprocessor lines left out: a brace at namespace or class level opens a function body when
the text before it, since the last ';', '{' or '}' there, holds a '(' and ends in ')', in the
'}' of a member initialiser, in a trailing return type or in one of const, noexcept,
override, final, mutable. Any other brace there (an initialiser) is skipped whole. Lambdas
and local classes count as part of the function around them.

Usage: check-sizes.py SOURCE_DIR [--max-lines N] [--max-function N]
Prints every offender and exits 1 when there is one.
"""

import os
import re
import sys

QUALIFIERS = {"const", "noexcept", "override", "final", "mutable"}


def blank_out(text):
    """The text with comments, literals and preprocessor lines replaced by spaces, so that
    braces inside them do not count; newlines are kept, so line numbers stay."""
    out, i, n = [], 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            while i < n and text[i] != "\n":  # a directive, continued lines included
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if c == "\n":
            line_start = True
            out.append(c)
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                out.append(" ")
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c == "R" and text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
            open_paren = text.find("(", i)
            delimiter = ")" + text[i + 2:open_paren] + '"'
            end = text.find(delimiter, open_paren)
            end = n if end < 0 else end + len(delimiter)
            out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:end]))
            i = end
        elif c == '"' or (c == "'" and (i == 0 or not text[i - 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def matching(text, start):
    """The index of the brace that closes the one at start."""
    depth = 0
    for i in range(start, len(text)):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return i
    return len(text) - 1


def opens_function(head):
    head = head.strip()
    if "(" not in head:
        return False
    if head.endswith(")") or head.endswith("}"):
        return True
    last = re.findall(r"[A-Za-z_]\w*$", head)
    if last and last[0] in QUALIFIERS:
        return True
    return "->" in head[head.rfind(")"):]


def long_functions(text, limit):
    """(first line, lines, the text before the body) of every body longer than limit."""
    found, head, i = [], "", 0
    line_of = lambda at: text.count("\n", 0, at) + 1
    while i < len(text):
        c = text[i]
        if c == "{":
            if re.search(r"\b(namespace|extern)\b[^(]*$", head) or (
                    re.search(r"\b(class|struct|union|enum)\b", head) and "(" not in head):
                head, i = "", i + 1  # a scope whose braces hold functions: go inside
                continue
            end = matching(text, i)
            if opens_function(head):
                first, last = line_of(i), line_of(end)
                if last - first + 1 > limit:
                    found.append((first, last - first + 1, " ".join(head.split())[-70:]))
                head = ""
            else:
                head += "{}"  # an initialiser, part of what comes before the next ';'
            i = end + 1
            continue
        if c in ";}":
            head = ""
        else:
            head += c
        i += 1
    return found


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    root = os.path.join(os.path.abspath(args[0]), "src")
    max_lines = int(args[args.index("--max-lines") + 1]) if "--max-lines" in args else 500
    max_function = (int(args[args.index("--max-function") + 1])
                    if "--max-function" in args else 80)
    offenders = []
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, os.path.dirname(root))
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            lines = text.count("\n") + (0 if text.endswith("\n") else 1)
            if lines > max_lines:
                offenders.append(f"{rel}: {lines} lines (file)")
            for first, length, head in long_functions(blank_out(text), max_function):
                offenders.append(f"{rel}:{first}: {length} lines: {head}")
    for offender in offenders:
        print(offender)
    if offenders:
        sys.exit(1)
    print(f"no file over {max_lines} lines, no function over {max_function} lines in src/")


if __name__ == "__main__":
    main()
