#!/usr/bin/env python3
"""pofilter_oracle.py CLI PO_CHECKS PAGES [--verbose]

The checks compared with the Translate Toolkit's pofilter on the real pages: each page is
exported to PO (as runs, and as sentences where the build cuts them), every entry "translated"
by a cipher that keeps numbers, addresses, placeholders and punctuation, and faults planted into
every eighth entry of each kind: a changed digit, a changed or added address, a double blank, a
dropped or added end mark, a dropped or added bracket, an empty translation, the source copied.
pofilter runs the tests both have, po_checks ours, on the same files.

Fails when our checks miss a planted fault, or find one of these faults in an entry where none
was planted (the cipher keeps them all); prints, per test, how often each side found something
and the entries where the two differ, for the comparison's notes."""

import collections
import os
import re
import subprocess
import sys
import tempfile

CLI, PO_CHECKS, PAGES = sys.argv[1:4]
VERBOSE = "--verbose" in sys.argv[4:]
TARGET = "de"
# Our check and pofilter's test of the same fault.
TESTS = {
    "numbers": "numbers",
    "urls": "urls",
    "double-space": "doublespacing",
    "end-punctuation": "endpunc",
    "brackets": "brackets",
    "untranslated": "untranslated",
    "unchanged": "unchanged",
}
KINDS = [None, "numbers", "urls", "double-space", "end-punctuation", "brackets", "untranslated",
         "unchanged"]

failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message, file=sys.stderr)


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True)


# Kept as they are: addresses, placeholders, escapes.
KEPT = re.compile(r"(\S*(?:://|www\.|@)\S*|</?[a-z]+[0-9]+/?>|\\.)")


def cipher(text):
    """A "translation" that keeps every number, address, placeholder, blank and mark."""
    def rot(part):
        return "".join(chr((ord(c) - base + 13) % 26 + base) if c.isascii() and c.isalpha()
                       else c for c in part
                       for base in [ord("a") if c.islower() else ord("A")])
    out = "".join(p if KEPT.fullmatch(p) else rot(p) for p in KEPT.split(text))
    return out if out.lower() != text.lower() else "\u00dc" + out


def insert(text, word):
    """text with word put in after its first word outside kept parts, or at its start."""
    for m in re.finditer(r"\s", text):
        if not any(k.start() < m.start() < k.end() for k in KEPT.finditer(text)):
            return text[:m.start()] + " " + word + text[m.start():]
    return word + " " + text


def free_digit(text):
    """The first digit outside kept parts."""
    kept = [(k.start(), k.end()) for k in KEPT.finditer(text)]
    for m in re.finditer(r"[0-9]", text):
        if not any(a <= m.start() < b for a, b in kept):
            return m
    return None


def plant(kind, source, target):
    """target with a fault of kind, or None where this entry cannot take it."""
    if kind == "numbers":
        m = free_digit(target)
        if m:
            return target[:m.start()] + str((int(m.group()) + 1) % 10) + target[m.end():]
        return insert(target, "7")
    if kind == "urls":
        m = re.search(r"(https?://|www\.)[\w/.:;+\-~%#$?=&,]*[A-Za-z]", target)
        if m:
            last = m.end() - 1
            return target[:last] + ("x" if target[last] != "x" else "y") + target[last + 1:]
        return insert(target, "http://example.org/x")
    if kind == "double-space":
        m = re.search(r"(?<=\S) (?=\S)", target)
        return target[:m.start()] + "  " + target[m.end():] if m else None
    if kind == "end-punctuation":
        stripped = target.rstrip()
        if stripped and stripped[-1] in ".:!?;":
            return stripped[:-1]
        return stripped + "."
    if kind == "brackets":
        if ")" in target:
            at = target.rindex(")")
            return target[:at] + target[at + 1:]
        return insert(target, "(")
    if kind == "untranslated":
        return ""
    if kind == "unchanged":
        return source


ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}


def unescape(s):
    return re.sub(r"\\(.)", lambda e: ESCAPES[e.group(1)], s)


def escape(s):
    return "".join({"\\": "\\\\", '"': '\\"', "\n": "\\n", "\r": "\\r", "\t": "\\t"}.get(c, c)
                   for c in s)


def translate(po):
    """Our PO (one line per string) translated, and the fault planted per entry number."""
    planted = {}
    counter = [0]

    def fill(m):
        number, letter, msgid = m.group(1), m.group(2), m.group(3)
        source = unescape(msgid)
        kind = KINDS[counter[0] % len(KINDS)]
        counter[0] += 1
        target = cipher(source)
        faulty = plant(kind, source, target) if kind else None
        if faulty is not None:
            planted[number] = kind
            target = faulty
        return 'msgctxt "%s %s"\nmsgid "%s"\nmsgstr "%s"' % (number, letter, msgid,
                                                            escape(target))

    text = re.sub(r'^msgctxt "(\d+) (\w)"\nmsgid "(.*)"\nmsgstr ""$', fill, po, flags=re.M)
    return text, planted


def pofilter_findings(path, work):
    """The tests pofilter fails, by entry number: it writes each failing entry with a note per
    test."""
    out = os.path.join(work, "pofilter.po")
    args = ["pofilter", "--progress=none", "--language=" + TARGET]
    for test in TESTS.values():
        args += ["-t", test]
    result = run(*args, "-i", path, "-o", out)
    if result.returncode != 0:
        fail("pofilter %s: %s" % (path, result.stderr.decode()))
        return {}
    found = collections.defaultdict(set)
    with open(out, encoding="utf-8") as f:
        for entry in f.read().split("\n\n"):
            number = re.search(r'^msgctxt "(\d+) ', entry, re.M)
            if number:
                found[number.group(1)].update(re.findall(r"^# \(pofilter\) (\w+):", entry, re.M))
    return found


def our_findings(path, source_language):
    result = run(PO_CHECKS, path, source_language, TARGET, ",".join(TESTS))
    if result.returncode != 0:
        fail("po_checks %s: %s" % (path, result.stderr.decode()))
    found = collections.defaultdict(set)
    for line in result.stdout.decode().splitlines():
        number, check = line.split("\t")
        found[number].add(TESTS[check])
    return found


def main():
    pages = sorted(os.path.join(PAGES, p) for p in os.listdir(PAGES)
                   if p.endswith((".html", ".htm")))
    cuts = [("runs", ["--tags", "3"])]
    if run(CLI, "phrases", pages[0], "--units", "sentences").returncode == 0:
        cuts.append(("sentences", ["--tags", "3", "--units", "sentences"]))
    # test: counts of (planted, pofilter found, we found) per (planted?) entry
    table = collections.defaultdict(collections.Counter)
    differences = collections.defaultdict(list)
    entries = 0
    with tempfile.TemporaryDirectory() as work:
        for cut, options in cuts:
            folder = os.path.join(work, cut)
            os.makedirs(folder)
            result = run(CLI, "export", *pages, "-d", folder, *options, "--format", "po",
                         "--target-lang", TARGET)
            if result.returncode != 0:
                fail("export (%s): %s" % (cut, result.stderr.decode()))
                continue
            for page in pages:
                name = os.path.splitext(os.path.basename(page))[0]
                path = os.path.join(folder, name + ".po")
                with open(path, encoding="utf-8") as f:
                    po = f.read()
                source_language = re.search(r'^"X-Source-Language: (.*)\\n"$', po, re.M).group(1)
                texts = dict(re.findall(r'^msgctxt "(\d+) \w"\nmsgid "(.*)"$', po, re.M))
                translated, planted = translate(po)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(translated)
                targets = dict(re.findall(r'^msgctxt "(\d+) \w"\nmsgid ".*"\nmsgstr "(.*)"$',
                                          translated, re.M))
                theirs = pofilter_findings(path, work)
                ours = our_findings(path, source_language)
                entries += len(texts)
                for number in texts:
                    for check, test in TESTS.items():
                        was = planted.get(number) == check
                        p, q = test in theirs.get(number, ()), test in ours.get(number, ())
                        table[check][(was, p, q)] += 1
                        # Names and code copied as they are count as translated (see README).
                        if was and not q and check != "unchanged":
                            fail("%s (%s) entry %s: planted %s not found: %r -> %r" %
                                 (name, cut, number, check, texts[number], targets[number]))
                        if not was and q and number not in planted:
                            fail("%s (%s) entry %s: %s found where the cipher kept it: "
                                 "%r -> %r" % (name, cut, number, check, texts[number],
                                               targets[number]))
                        if p != q:
                            differences[(check, was, p)].append(
                                "%s (%s) %s: %r -> %r" % (name, cut, number,
                                                          unescape(texts[number]),
                                                          unescape(targets[number])))
    print("%d entries in %s" % (entries, ", ".join(c for c, _ in cuts)))
    print("%-16s %28s   %28s" % ("check", "planted: pofilter / ours / n", "not planted: pofilter / ours"))
    for check in TESTS:
        t = table[check]
        n = sum(v for (was, _, _), v in t.items() if was)
        print("%-16s %10d / %5d / %5d   %14d / %5d" % (
            check, sum(v for (was, p, _), v in t.items() if was and p),
            sum(v for (was, _, q), v in t.items() if was and q), n,
            sum(v for (was, p, _), v in t.items() if not was and p),
            sum(v for (was, _, q), v in t.items() if not was and q)))
    for (check, was, theirs_only), lines in sorted(differences.items()):
        print("\n%s, %s, only %s finds it: %d" % (check, "planted" if was else "not planted",
                                                  "pofilter" if theirs_only else "Quillfen",
                                                  len(lines)))
        for line in lines[:None if VERBOSE else 6]:
            print("  " + line)
    if failures:
        print("%d failures" % len(failures), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
