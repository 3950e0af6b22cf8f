#!/usr/bin/env python3
"""Differential check of the character-reference decoding: quillfen-cli lists the phrases of a
page of generated text runs, and Python's html.unescape, which follows the HTML standard's table
and rules for text, says what each run shows. Usage: references_vs_python.py QUILLFEN_CLI"""
import html
import html.entities
import os
import random
import re
import subprocess
import sys
import tempfile

rng = random.Random(23)
names = sorted(html.entities.html5)
pieces = ["&", "#", "x", "X", ";", "amp", "not", "notin", "copy", "12", "E9", "233", "0", "a",
          " ", "99999999", "frac12", "lt", "="]
runs = []
for _ in range(4000):
    run = ""
    for _ in range(rng.randint(1, 8)):
        r = rng.random()
        if r < 0.3:
            run += "&" + rng.choice(names)
        elif r < 0.4:
            run += "&#" + str(rng.randint(0, 0x11000)) + rng.choice([";", ""])
        elif r < 0.5:
            run += "&#x" + format(rng.randint(0, 0x110100), "x") + rng.choice([";", "", "g"])
        else:
            run += rng.choice(pieces)
    runs.append("q" + run)

with tempfile.TemporaryDirectory() as folder:
    page = os.path.join(folder, "references.htm")
    with open(page, "w", encoding="utf-8") as f:
        f.write('<meta charset="utf-8">' + "".join("<p>%s</p>" % r for r in runs))
    out = subprocess.run([sys.argv[1], "phrases", page], capture_output=True, check=True).stdout
lines = out.decode("utf-8").split("\n")[:-1]
if len(lines) != len(runs):
    sys.exit("%d phrases for %d runs" % (len(lines), len(runs)))


def kept_by_the_standard_only(text):
    # html.unescape drops the controls and noncharacters that a numeric reference names; the
    # standard keeps them.
    return any(ord(c) < 32 or 0x7F <= ord(c) <= 0x9F or (ord(c) & 0xFFFE) == 0xFFFE
               or 0xFDD0 <= ord(c) <= 0xFDEF for c in text)


failures = 0
for run, line in zip(runs, lines):
    got = line.split("\t", 2)[2]
    want = re.sub(r"[ \t\n\r]+", " ", html.unescape(run)).strip(" ").replace("\\", "\\\\")
    if got != want and not kept_by_the_standard_only(got):
        failures += 1
        if failures <= 10:
            print("%r: quillfen %r, python %r" % (run, got, want))
print("%d of %d runs differ" % (failures, len(runs)))
sys.exit(1 if failures else 0)
