#!/usr/bin/env python3
"""A data folder whose ATC table has the size of the whole classification.

The demo set (and the large synthetic set, which keeps the demo's code
tables) holds the 164 ATC groups its drugs use; the classification has about
6,500.  This copies the demo sources, adds synthetic groups of every level
under each main group (names of made-up words, some of several words, so
that inner words occur) to atc.csv and atca.csv, and runs the demo builder.

    tools/bench/make_atc_scale.py [GROUPS] [OUT]

GROUPS (default 8000) is roughly the number of groups added; OUT defaults to
build/atc-scale-data.  The folder is never committed.
"""
import csv
import os
import random
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAIN = "ABCDGHJLMNPRSV"
SYLLABLES = ["ka", "lo", "mi", "ne", "pra", "to", "zo", "ri", "sta", "fen", "dol", "mar", "vin", "ce", "xa",
             "tho", "phy", "lin", "gu", "ber", "so", "da", "tri", "mo", "ku", "ze", "ly", "na", "pe", "ro"]


def word(rng):
    return "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(2, 4)))


def name(rng):
    words = [word(rng) for _ in range(rng.choice([1, 1, 1, 2, 3]))]
    return " ".join(words).capitalize()


def main():
    groups = int(sys.argv[1]) if len(sys.argv) > 1 else 8000
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build", "atc-scale-data")
    build = os.environ.get("BUILD_DIR", os.path.join(ROOT, "build"))
    src = out + "-src"
    shutil.rmtree(src, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "demo"), src)
    rng = random.Random(19)
    # Per main group: 3-character groups 50.., each with 4-, 5- and
    # 7-character groups below; about 28 groups per 3-character group.
    per_main = max(1, groups // (len(MAIN) * 28))
    rows = []
    for letter in MAIN:
        for n in range(50, 50 + per_main):
            g3 = f"{letter}{n:02d}"
            rows.append((g3, name(rng)))
            for a in "ABC":
                g4 = g3 + a
                rows.append((g4, name(rng)))
                for b in "AB":
                    g5 = g4 + b
                    rows.append((g5, name(rng)))
                    for k in range(1, 4):
                        rows.append((f"{g5}{k:02d}", name(rng)))
    for table in ("atc.csv", "atca.csv"):
        with open(os.path.join(src, table), "a", newline="", encoding="utf-8") as f:
            w = csv.writer(f, lineterminator="\n")
            for code, text in rows:
                w.writerow([code, "", text, "", "*" if len(code) == 7 else "", "@"])
    subprocess.run([os.path.join(build, "tools", "demo_builder"), src, out], check=True)
    print(f"{out}: {len(rows)} groups added to the demo's ATC table")


if __name__ == "__main__":
    main()
