#!/usr/bin/env python3
"""translation_tools.py CLI PAGES peers|merge

peers: the real pages' PO (and XLIFF) files in gettext's and the Translate Toolkit's tools, and
a file translated by a script merged back: directly, through po2xliff -t with our XLIFF, through
po2xliff alone and on through xliff2po (the stamp kept in the PO header), and our XLIFF through
xliff2po, which loses the stamp and the inline codes: merged with --force, every unit without
one comes back, every sentence with placeholders is left out.
merge: quillfen-cli merge on a small page, each fault refusing and writing nothing."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

CLI, PAGES, MODE = sys.argv[1:4]
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message, file=sys.stderr)


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True)


def cli(*args):
    return run(CLI, *args)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def phrases(page, options):
    result = cli("phrases", page, *options)
    if result.returncode != 0:
        fail("phrases %s: %s" % (page, result.stderr.decode()))
    return [line.split("\t", 2) for line in result.stdout.decode().splitlines()]


# Our PO writes each string on one line with these escapes only.
ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}
PO_ESCAPES = {v: "\\" + k for k, v in ESCAPES.items()}
CLI_ESCAPES = {"\\": "\\\\", "\t": "\\t", "\r": "\\r", "\n": "\\n"}
# A sentence's placeholders and escapes stay as they are; the rest is "translated".
KEPT = re.compile(r"(\\.|</?[a-z][a-z0-9-]*[0-9]+/?>)")


def escaped(text, table):
    return "".join(table.get(c, c) for c in text)


def translate_po(po):
    """Our PO with every message translated, and the translations in order."""
    targets = []

    def fill(m):
        source = re.sub(r"\\(.)", lambda e: ESCAPES[e.group(1)], m.group(1))
        targets.append("".join(p if KEPT.fullmatch(p) else p.upper()
                               for p in KEPT.split(source)))
        return 'msgid "%s"\nmsgstr "%s"' % (m.group(1), escaped(targets[-1], PO_ESCAPES))

    return re.sub(r'^msgid "(.+)"\nmsgstr ""$', fill, po.decode(), flags=re.M).encode(), targets


def reading(listed):
    """What a reader reads: sentences written anew may end elsewhere (an upper-cased word is no
    abbreviation), their text stays, and the other phrases."""
    strip = re.compile(r"</?[a-z][a-z0-9-]*[0-9]+/?>|\\|\s")
    return ("".join(strip.sub("", p[2]) for p in listed if p[1] == "T"),
            [p[2] for p in listed if p[1] != "T"])


def merged_reads_as(page, merge_file, options, before, targets, label):
    copy = os.path.join(os.path.dirname(merge_file) + "-merged", os.path.basename(page))
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    shutil.copyfile(page, copy)
    result = cli("merge", copy, merge_file)
    if result.returncode != 0 or b"%d translated, 0 kept" % len(targets) not in result.stdout:
        return fail("%s: merge: %s %s" % (label, result.stdout, result.stderr))
    after = phrases(copy, options)
    expected = [(n, kind, escaped(t, CLI_ESCAPES)) for (n, kind, _), t in zip(before, targets)]
    same = reading if "--units" in options else lambda listed: [p[2] for p in listed]
    if same(after) != same(expected):
        wrong = [(a[2], e[2]) for a, e in zip(after, expected) if a[2] != e[2]][:1]
        fail("%s: %d phrases read back, %d translated; first wrong: %s" %
             (label, len(after), len(expected), wrong))


def pocount(folder):
    """The number of units pocount counts in each PO file of folder, by name."""
    result = run("pocount", "--short-strings", "--no-color",
                 *[os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".po")])
    return {os.path.splitext(os.path.basename(m[0]))[0]: int(m[1])
            for m in re.findall(r"^(\S+)\s+strings: total: (\d+)", result.stdout.decode(), re.M)}


def convert(label, tool, *args):
    """A Translate Toolkit converter, once over a folder of all pages."""
    result = run(tool, "--progress=none", *args)
    if result.returncode != 0:
        fail("%s: %s: %s" % (label, tool, result.stderr.decode()))
    return result.returncode == 0


def peers(work):
    xliff = "\n  xliff: " in cli("--help").stdout.decode()
    pages = sorted(os.path.join(PAGES, p) for p in os.listdir(PAGES)
                   if p.endswith((".html", ".htm")))
    names = [os.path.splitext(os.path.basename(p))[0] for p in pages]
    cuts = [("runs", ["--tags", "3"]), ("all", ["--tags", "7"])]
    if cli("phrases", pages[0], "--units", "sentences").returncode == 0:
        cuts.append(("sentences", ["--tags", "7", "--units", "sentences"]))
    for cut, options in cuts:
        folder = lambda name: os.path.join(work, cut, name)
        for sub in ("", "de", "xlf"):
            os.makedirs(folder(sub), exist_ok=True)
        listed = {name: phrases(page, options) for name, page in zip(names, pages)}
        counts = {name: len(listed[name]) for name in names}

        def expect_counts(tool, got):
            for name in names:
                if got.get(name) != counts[name]:
                    fail("%s (%s): %s counts %s units, not %d" %
                         (name, cut, tool, got.get(name), counts[name]))

        result = cli("export", *pages, "-d", folder(""), *options, "--format", "po",
                     "--target-lang", "de")
        if result.returncode != 0:
            fail("%s: export: %s" % (cut, result.stderr))
            continue
        for name in names:
            result = run("msgfmt", "-c", "-o", os.devnull, folder(name + ".po"))
            if result.returncode != 0:
                fail("%s (%s): msgfmt -c: %s" % (name, cut, result.stderr.decode()))
        expect_counts("pocount", pocount(folder("")))
        if convert(cut, "po2xliff", folder(""), folder("via")) and convert(
                cut, "xliff2po", folder("via"), folder("back")):
            expect_counts("po2xliff and xliff2po", pocount(folder("back")))
        targets = {}
        for name, page in zip(names, pages):
            translation, targets[name] = translate_po(read(folder(name + ".po")))
            write(folder("de/" + name + ".po"), translation)
            merged_reads_as(page, folder("de/" + name + ".po"), options, listed[name],
                            targets[name], "%s (%s) PO" % (name, cut))
        if not xliff:
            continue
        result = cli("export", *pages, "-d", folder("xlf"), *options, "--format", "xliff")
        if result.returncode != 0:
            fail("%s: export --format xliff: %s" % (cut, result.stderr))
            continue
        if convert(cut, "xliff2po", folder("xlf"), folder("from-xlf")):
            expect_counts("xliff2po", pocount(folder("from-xlf")))
        # The translated POs back into XLIFF with ours as their templates.
        if convert(cut, "po2xliff", "-t", folder("xlf"), folder("de"), folder("de-xlf")):
            for name, page in zip(names, pages):
                merged_reads_as(page, folder("de-xlf/" + name + ".xlf"), options, listed[name],
                                targets[name], "%s (%s) XLIFF" % (name, cut))
        # Without a template po2xliff keeps our stamp in the unit it makes of the PO header, and
        # xliff2po puts it back into the header; the entries' contexts are gone, their
        # references name the phrases. Both merge whole. po2xliff names its files .xliff.
        if convert(cut, "po2xliff", folder("de"), folder("de-via")):
            for name in names:
                os.rename(folder("de-via/" + name + ".xliff"), folder("de-via/" + name + ".xlf"))
            for name, page in zip(names, pages):
                merged_reads_as(page, folder("de-via/" + name + ".xlf"), options, listed[name],
                                targets[name], "%s (%s) po2xliff" % (name, cut))
            if convert(cut, "xliff2po", folder("de-via"), folder("de-back")):
                for name, page in zip(names, pages):
                    merged_reads_as(page, folder("de-back/" + name + ".po"), options,
                                    listed[name], targets[name],
                                    "%s (%s) po2xliff, xliff2po" % (name, cut))
        # Our XLIFF translated, through xliff2po: no stamp, and g and x flattened to their text.
        os.makedirs(folder("xlf-de"), exist_ok=True)
        coded = {}
        for name in names:
            xliff = read(folder("xlf/" + name + ".xlf")).decode()
            sources = re.findall(r"<source>(.*?)</source>", xliff, re.S)
            coded[name] = sum(1 for source in sources if re.search(r"<[gx] ", source))
            # Approved, or xliff2po marks the entries fuzzy.
            xliff = xliff.replace("<trans-unit ", '<trans-unit approved="yes" ')
            write(folder("xlf-de/" + name + ".xlf"),
                  re.sub(r"<source>(.*?)</source>", r"<source>\1</source><target>\1 [de]</target>",
                         xliff, flags=re.S).encode())
        if convert(cut, "xliff2po", folder("xlf-de"), folder("xlf-de-po")):
            for name, page in zip(names, pages):
                copy = folder("xlf-de-po-merged/" + name + ".html")
                os.makedirs(os.path.dirname(copy), exist_ok=True)
                shutil.copyfile(page, copy)
                path = folder("xlf-de-po/" + name + ".po")
                refused = cli("merge", copy, path, *options)
                result = cli("merge", copy, path, "--force", *options)
                expected = b": %d translated, 0 kept" % (counts[name] - coded[name])
                if (refused.returncode != 1 or result.returncode != 0 or
                        expected not in result.stdout or
                        (coded[name] and b", %d left out" % coded[name] not in result.stdout)):
                    fail("%s (%s) xliff2po: %s %s %s" % (name, cut, refused.stderr,
                                                          result.stdout, result.stderr[:300]))


PAGE = (b'<html lang="en"><head><meta charset="utf-8"><title>Fruit</title></head><body>\n'
        b'<p>One apple.</p>\n<p>Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to save.</p>\n'
        b'<img alt="A tree" src="t.png"><p>Three \xe2\x80\x9cplums\xe2\x80\x9d.</p>\n</body></html>\n')


def translate(po, *messages, fuzzy=False):
    """po with unit n's message set (n, escaped message), the first marked fuzzy if asked."""
    for n, message in messages:
        po, found = re.subn(r'(msgctxt "%d [A-Z]"\nmsgid ".*"\nmsgstr )""' % n,
                            lambda m: m.group(1) + '"%s"' % message, po)
        assert found == 1, n
    first = "#: page.html:%d\n" % messages[0][0]
    return po.replace(first, "#, fuzzy\n" + first) if fuzzy else po


def merge(work):
    page, out, po_path = (os.path.join(work, n) for n in ("page.html", "out.html", "t.po"))

    def export(options):
        write(page, PAGE)
        assert cli("export", page, "-d", work, "--format", "po", *options).returncode == 0
        return read(os.path.join(work, "page.po")).decode()

    def attempt(label, po, status, said, merged, page_bytes=PAGE, options=(), path=po_path):
        """merged: the page OUT must hold, or None: OUT must not be written."""
        write(page, page_bytes)
        write(path, po.encode())
        if os.path.exists(out):
            os.remove(out)
        result = cli("merge", page, path, "-o", out, *options)
        if result.returncode != status or said.encode() not in result.stderr:
            fail("%s: status %d: %s" % (label, result.returncode, result.stderr))
        if read(page) != page_bytes:
            fail("%s: the page was written" % label)
        if (read(out) if os.path.exists(out) else None) != merged:
            fail("%s: OUT holds %s" % (label, read(out) if os.path.exists(out) else None))

    for options, said in ((["--format", "pot"], b"--format takes one of text"),
                          (["--format", "po", "--target-lang", "de DE"], b"language tag")):
        result = cli("export", page, "-d", work, *options)
        if result.returncode != 2 or said not in result.stderr:
            fail("export %s: %d %s" % (options, result.returncode, result.stderr))
    po = export(["--tags", "3"])
    apple, tree = (2, "Ein Apfel."), (8, "Ein Baum")
    unknown = po.replace('msgctxt "2 T"', 'msgctxt "99 T"')
    changed = PAGE.replace(b"One apple.", b"One pear.")
    for label, text, status, said, merged, *more in (
            ("untouched", po, 0, "", PAGE),
            ("fuzzy", translate(po, apple, fuzzy=True), 0, "", PAGE),
            ("translated", translate(po, apple), 0, "",
             PAGE.replace(b"One apple.", b"Ein Apfel.")),
            ("unknown id", translate(unknown, (99, "x")), 1,
             "): no phrase of this page has that number", None),
            ("line break", translate(po, (2, "Ein\\nApfel.")), 1,
             "): the text for phrase 2 holds a line break", None),
            ("blank", translate(po, (2, "  \\t ")), 1, "): the text for phrase 2 is empty", None),
            ("broken file", translate(po, (2, 'Ein "Apfel.')), 1, "t.po, line 24: unexpected text", None),
            ("no stamp", re.sub(r'"X-Quillfen-Source: .*\n', "", translate(po, apple)), 1,
             "belongs to another page", None),
            ("skip bad", translate(unknown, (99, "x"), tree), 0, "Unit 99",
             PAGE.replace(b"A tree", b"Ein Baum"), PAGE, ["--skip-bad"]),
            ("unknown extension", po, 2, "translation file", None, PAGE, [],
             os.path.join(work, "t.pot")),
            ("changed page", translate(po, apple, tree), 1, "has changed since it was exported", None,
             changed),
            ("forced", translate(po, apple, tree), 0,
             "): the phrase of that number no longer reads",
             changed.replace(b"A tree", b"Ein Baum"), changed, ["--force"])):
        attempt(label, text, status, said, merged, *more)
    if cli("phrases", page, "--units", "sentences").returncode != 0:
        return
    po = export(["--units", "sentences"])
    for label, message, status, said in (
            ("placeholder missing", "Mit <kbd1>Strg</kbd1>+S speichern.", 1, "<kbd2>"),
            ("placeholder added", "<kbd1>Strg</kbd1>+<kbd2>S</kbd2> <b3>x</b3>", 1, "<b3>"),
            ("placeholders crossed", "<kbd1>Strg<kbd2></kbd1>S</kbd2>", 1, "</kbd1>"),
            ("sentence", "Mit <kbd1>Strg</kbd1>+<kbd2>S</kbd2> speichern.", 0, "")):
        merged = PAGE.replace(b"Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to save.",
                              b"Mit <kbd>Strg</kbd>+<kbd>S</kbd> speichern.")
        attempt(label, translate(po, (3, message)), status, said, None if status else merged)


work = tempfile.mkdtemp(prefix="quillfen-tools-")
try:
    peers(work) if MODE == "peers" else merge(work)
finally:
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
