#!/usr/bin/env python3
"""Turns a release text kept in UTF-8 with LF line ends into the form a reader's Notepad
opens: the given code page (cp1252 for English, cp932 for Japanese) with CRLF line ends.
Fails on a character the code page cannot hold, so that no text ships with '?' in it.

usage: mktext.py SOURCE TARGET CODEPAGE"""
import sys


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    source, target, codepage = argv[1:]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    try:
        data = text.encode(codepage)
    except UnicodeEncodeError as e:
        sys.exit(f"{source}: {text[e.start:e.end]!r} has no place in {codepage}")
    with open(target, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
