#!/usr/bin/python3
"""Checks HTML pages with html5lib's strict parser.

Usage: check_html.py FILE_OR_FOLDER...
Every file (every *.html of a folder) is parsed as a browser would; the first
parse error of a page is printed as "FILE: error".  Exit 1 when any page has
one, 2 when html5lib is missing.
"""
import os
import sys
from concurrent.futures import ProcessPoolExecutor

try:
    import html5lib
    from html5lib.html5parser import ParseError
except ImportError:
    print("check_html: python3-html5lib is not installed", file=sys.stderr)
    sys.exit(2)


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    try:
        parser.parse(data, useChardet=False)
    except ParseError as e:
        return "%s: %s" % (path, e)
    if parser.documentEncoding != "windows-1250":
        return "%s: encoding %s" % (path, parser.documentEncoding)
    return None


def main(args):
    files = []
    for a in args:
        if os.path.isdir(a):
            files += sorted(os.path.join(a, n) for n in os.listdir(a) if n.endswith(".html"))
        else:
            files.append(a)
    if not files:
        print("check_html: no pages", file=sys.stderr)
        return 1
    bad = 0
    with ProcessPoolExecutor(max_workers=4) as pool:
        for result in pool.map(check, files, chunksize=64):
            if result:
                bad += 1
                if bad <= 20:
                    print(result)
    print("check_html: %d pages, %d with errors" % (len(files), bad), file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
