#!/usr/bin/python3
"""Checks the relative links of Markdown files: check_links.py ROOT FILE...
or check_links.py --zip ZIP (every Markdown file of the zip, unpacked; exit
status 77 when there is no such zip).

Every link and picture ([text](target), ![alt](target), [name]: target)
that names no URL must reach a file inside ROOT, and a #part must name a
heading of the Markdown file it points to. Code is passed over. Prints each
broken link; the exit status is 1 if there is one.
"""
import os
import re
import sys
import tempfile
import zipfile

INLINE = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
DEFINITION = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s.*)?$", re.M)
FENCE = re.compile(r"^ {0,3}(```|~~~).*?^ {0,3}\1", re.M | re.S)
CODE_SPAN = re.compile(r"(`+).+?\1", re.S)


def prose(text):
    return CODE_SPAN.sub("", FENCE.sub("", text))


def anchors(path):
    """The anchors of a file's headings, made as GitHub makes them."""
    names = set()
    with open(path, encoding="utf-8") as f:
        for line in FENCE.sub("", f.read()).splitlines():
            heading = re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line)
            if heading:
                title = heading.group(1).replace("`", "").lower()
                names.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return names


def check(root, files):
    root = os.path.realpath(root)
    broken = 0
    for md in files:
        with open(md, encoding="utf-8") as f:
            text = prose(f.read())
        for target in INLINE.findall(text) + DEFINITION.findall(text):
            if re.match(r"[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue  # https:, mailto: and the like
            path, _, part = target.partition("#")
            file = os.path.realpath(os.path.join(os.path.dirname(md), path)) if path else os.path.realpath(md)
            if not (file + os.sep).startswith(root + os.sep) or not os.path.exists(file):
                print(f"{md}: link to {target}: no such file in the tree")
                broken += 1
            elif part and file.endswith(".md") and part not in anchors(file):
                print(f"{md}: link to {target}: no such heading")
                broken += 1
    return 1 if broken else 0


def check_zip(path):
    if not os.path.exists(path):
        print(f"skipped: no {path} (make windows builds it)")
        return 77
    with tempfile.TemporaryDirectory() as root:
        zipfile.ZipFile(path).extractall(root)
        files = [os.path.join(d, f) for d, _, names in os.walk(root) for f in names if f.endswith(".md")]
        if not files:
            print(f"{path}: no documents")
            return 1
        return check(root, files)


if __name__ == "__main__":
    if sys.argv[1] == "--zip":
        sys.exit(check_zip(sys.argv[2]))
    sys.exit(check(sys.argv[1], sys.argv[2:]))
