#!/usr/bin/env python3
"""quillfen-cli's translation files with the tools translators use, and its merge.

translation_tools.py CLI PAGES peers: on every real page (runs, all kinds, sentences) gettext's
msgfmt -c accepts the PO export; pocount counts its phrases; the Translate Toolkit's po2xliff and
xliff2po read our PO and XLIFF files and give as many units; a file translated by a script (each
text upper-cased outside its placeholders), directly and through po2xliff with our XLIFF as its
template, merges into the page so that its phrases read back as the translations.

translation_tools.py CLI PAGES merge: the merge command on a small page: untouched files give the
page's bytes, fuzzy and untranslated entries keep theirs, and each fault refuses and writes
nothing.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

CLI, PAGES, MODE = sys.argv[1], sys.argv[2], sys.argv[3]
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


def formats():
    help_text = cli("--help").stdout.decode()
    return [name for name in ("po", "xliff") if "\n  %s: " % name in help_text]


def cuts(page):
    out = [("runs", ["--tags", "3"]), ("all", ["--tags", "7"])]
    if cli("phrases", page, "--units", "sentences").returncode == 0:
        out.append(("sentences", ["--tags", "7", "--units", "sentences"]))
    return out


def phrases(page, options):
    result = cli("phrases", page, *options)
    if result.returncode != 0:
        fail("phrases %s: %s" % (page, result.stderr.decode()))
        return []
    return [line.split("\t", 2) for line in result.stdout.decode().splitlines()]


# Our PO export writes each string on one line with these escapes only.
UNESCAPE = re.compile(r'\\(.)')
ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}


def po_unescape(s):
    return UNESCAPE.sub(lambda m: ESCAPES[m.group(1)], s)


def po_escape(s):
    return (s.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
            .replace("\r", "\\r").replace("\t", "\\t"))


def cli_escape(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


# A sentence's placeholders and escapes stay as they are; everything else is "translated".
KEPT = re.compile(r"(\\.|</?[a-z][a-z0-9-]*[0-9]+/?>)")


def translated(text):
    return "".join(p if KEPT.fullmatch(p) else p.upper() for p in KEPT.split(text))


MSGID = re.compile(r'^msgid "(.*)"\nmsgstr ""$', re.M)


def translate_po(po):
    """Our PO with every message's translation filled in, and the translations in order."""
    targets = []

    def fill(m):
        if not m.group(1):
            return m.group(0)  # the header
        target = translated(po_unescape(m.group(1)))
        targets.append(target)
        return 'msgid "%s"\nmsgstr "%s"' % (m.group(1), po_escape(target))

    return MSGID.sub(fill, po.decode()).encode(), targets


def pocount(paths):
    """The number of units pocount counts in each file, by the file's name without extension."""
    result = run("pocount", "--short-strings", "--no-color", *paths)
    counts = {}
    for m in re.finditer(r"^(\S+)\s+strings: total: (\d+)", result.stdout.decode(), re.M):
        counts[os.path.splitext(os.path.basename(m.group(1)))[0]] = int(m.group(2))
    return counts


PLACEHOLDER = re.compile(r"</?[a-z][a-z0-9-]*[0-9]+/?>|\\|\s")


def reading(listed):
    sentences = "".join(PLACEHOLDER.sub("", p[2]) for p in listed if p[1] == "T")
    return sentences, [p[2] for p in listed if p[1] != "T"]


def merged_reads_as(page, merge_file, options, before, targets, label):
    # Beside the folder of the merged file, which the converters read whole.
    copy = os.path.join(os.path.dirname(merge_file) + "-merged", os.path.basename(page))
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    shutil.copyfile(page, copy)
    result = cli("merge", copy, merge_file)
    if result.returncode != 0:
        fail("%s: merge refused: %s" % (label, result.stderr.decode()))
        return
    want = "%d translated, 0 kept" % len(targets)
    if want not in result.stdout.decode():
        fail("%s: merge says %r, not %r" % (label, result.stdout.decode(), want))
    texts = [cli_escape(t) for t in targets]
    after = phrases(copy, options)
    got = [p[2] for p in after]
    if "--units" in options:
        # Sentences written anew may end elsewhere (an upper-cased word is no abbreviation): the
        # text read stays, and the other phrases.
        if reading(after) == reading([(p[0], p[1], t) for p, t in zip(before, texts)]):
            return
    if got != texts:
        diff = next((i for i, (a, b) in enumerate(zip(got, texts)) if a != b), min(len(got), len(texts)))
        fail("%s: after the merge phrase %d reads %r, not %r (%d phrases, %d translated)" %
             (label, diff + 1, got[diff] if diff < len(got) else None,
              texts[diff] if diff < len(texts) else None, len(got), len(texts)))


def convert(label, tool, *args):
    """A Translate Toolkit converter over a whole folder, one process for all pages."""
    result = run(tool, "--progress=none", *args)
    if result.returncode != 0:
        fail("%s: %s refused our files: %s" % (label, tool, result.stderr.decode()))
    return result.returncode == 0


def files(folder, extension):
    return sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(extension))


def expect_counts(label, counts, names, got):
    for name in names:
        if got.get(name) != counts[name]:
            fail("%s %s: %s units, the page has %d phrases" % (name, label, got.get(name), counts[name]))


def peers(work):
    have = formats()
    pages = sorted(os.path.join(PAGES, p) for p in os.listdir(PAGES) if p.endswith((".html", ".htm")))
    if not pages:
        fail("no pages in " + PAGES)
        return
    names = [os.path.splitext(os.path.basename(p))[0] for p in pages]
    for cut, options in cuts(pages[0]):
        folder = lambda name: os.path.join(work, cut, name)
        listed = {name: phrases(page, options) for name, page in zip(names, pages)}
        counts = {name: len(listed[name]) for name in names}
        os.makedirs(folder("xlf"))
        result = cli("export", *pages, "-d", folder(""), *options, "--format", "po", "--target-lang", "de")
        if result.returncode != 0:
            fail("%s: export: %s" % (cut, result.stderr.decode()))
            continue
        for name in names:
            result = run("msgfmt", "-c", "-o", os.devnull, folder(name + ".po"))
            if result.returncode != 0:
                fail("%s (%s): msgfmt -c: %s" % (name, cut, result.stderr.decode()))
        expect_counts("(%s) pocount" % cut, counts, names, pocount(files(folder(""), ".po")))
        # The Toolkit's converters: PO to XLIFF and back keeps every unit.
        if (convert(cut, "po2xliff", folder(""), folder("via")) and
                convert(cut, "xliff2po", folder("via"), folder("back"))):
            expect_counts("(%s) po2xliff, xliff2po" % cut, counts, names,
                          pocount(files(folder("back"), ".po")))
        os.makedirs(folder("de"))
        targets = {}
        for name, page in zip(names, pages):
            translation, targets[name] = translate_po(read(folder(name + ".po")))
            write(folder("de/" + name + ".po"), translation)
            merged_reads_as(page, folder("de/" + name + ".po"), options, listed[name], targets[name],
                            "%s (%s) PO" % (name, cut))
        # Untouched files, and files with each source copied as its target, merge into the
        # page's bytes.
        for format_name in have:
            result = cli("check", *pages, *options, "--format", format_name)
            if result.returncode != 0 or result.stdout.decode().count("roundtrip ok") != len(pages):
                fail("check --format %s (%s): %s%s" %
                     (format_name, cut, result.stdout.decode(), result.stderr.decode()))
        if "xliff" not in have:
            continue
        result = cli("export", *pages, "-d", folder("xlf"), *options, "--format", "xliff")
        if result.returncode != 0:
            fail("%s: export --format xliff: %s" % (cut, result.stderr.decode()))
            continue
        if convert(cut, "xliff2po", folder("xlf"), folder("from-xlf")):
            expect_counts("(%s) xliff2po" % cut, counts, names, pocount(files(folder("from-xlf"), ".po")))
        # The translated POs back into XLIFF with ours as the templates, then merged.
        if not convert(cut, "po2xliff", "-t", folder("xlf"), folder("de"), folder("de-xlf")):
            continue
        for name, page in zip(names, pages):
            merged_reads_as(page, folder("de-xlf/" + name + ".xlf"), options, listed[name],
                            targets[name], "%s (%s) XLIFF" % (name, cut))


PAGE = (b'<html lang="en"><head><meta charset="utf-8"><title>Fruit</title></head><body>\n'
        b'<p>One apple.</p>\n<p>Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to save.</p>\n'
        b'<img alt="A tree" src="t.png"><p>Three \xe2\x80\x9cplums\xe2\x80\x9d.</p>\n</body></html>\n')


def set_message(po, number, message, fuzzy=False):
    """po with the message of unit number set to message (already escaped)."""
    pattern = re.compile(r'(msgctxt "%d [A-Z]"\nmsgid ".*"\nmsgstr )""' % number)
    po, n = pattern.subn(lambda m: m.group(1) + '"%s"' % message, po)
    assert n == 1, number
    if fuzzy:
        po = po.replace('#: page.html:%d\n' % number, '#, fuzzy\n#: page.html:%d\n' % number)
    return po


def merge(work):
    page = os.path.join(work, "page.html")
    out = os.path.join(work, "out.html")

    def export(options):
        write(page, PAGE)
        result = cli("export", page, "-d", work, "--format", "po", *options)
        assert result.returncode == 0, result.stderr
        return read(os.path.join(work, "page.po")).decode()

    def attempt(label, po, status, said, extra=(), name="t.po"):
        path = os.path.join(work, name)
        write(path, po.encode())
        before = read(page)
        if os.path.exists(out):
            os.remove(out)
        result = cli("merge", page, path, "-o", out, *extra)
        err = result.stderr.decode()
        if result.returncode != status:
            fail("%s: status %d, not %d: %s" % (label, result.returncode, status, err))
        if said not in err:
            fail("%s: %r does not say %r" % (label, err, said))
        if read(page) != before:
            fail("%s: the page was written" % label)
        return result

    po = export(["--tags", "3"])
    for options, said in ((["--format", "pot"], "--format takes one of text"),
                          (["--format", "po", "--target-lang", "de DE"], "language tag")):
        result = cli("export", page, "-d", work, *options)
        if result.returncode != 2 or said not in result.stderr.decode():
            fail("export %s: %d %s" % (options, result.returncode, result.stderr.decode()))
    for label, text in (("untouched", po), ("fuzzy", set_message(po, 1, "Ein Apfel.", fuzzy=True))):
        result = attempt(label, text, 0, "")
        if read(out) != PAGE or "0 translated" not in result.stdout.decode():
            fail("%s: the merged page is not the page: %r" % (label, result.stdout))
    attempt("one translated", set_message(po, 2, "Ein Apfel."), 0, "")
    if read(out) != PAGE.replace(b"One apple.", b"Ein Apfel."):
        fail("one translated: the merged page is %r" % read(out))
    faults = (
        ("unknown id", po.replace('msgctxt "2 T"', 'msgctxt "99 T"').replace(
            'msgid "One apple."\nmsgstr ""', 'msgid "One apple."\nmsgstr "x"'),
         "Unit 99: no phrase of this page has that number"),
        ("line break", set_message(po, 2, "Ein\\nApfel."), "Unit 2: the text for phrase 2 holds a line break"),
        ("blank", set_message(po, 2, "  \\t "), "Unit 2: the text for phrase 2 is empty"),
        ("broken file", set_message(po, 2, 'Ein "Apfel.'), "t.po, line "),
        ("no stamp", re.sub(r'"X-Quillfen-Source: .*\n', "", set_message(po, 2, "Ein Apfel.")),
         "The translation belongs to another page"),
    )
    for label, text, said in faults:
        attempt(label, text, 1, said)
        if os.path.exists(out):
            fail("%s: %s was written" % (label, out))
    result = attempt("skip bad", set_message(faults[0][1], 8, "Ein Baum"), 0, "Unit 99", ["--skip-bad"])
    if read(out) != PAGE.replace(b"A tree", b"Ein Baum") or "1 left out" not in result.stdout.decode():
        fail("skip bad: %r %r" % (result.stdout, read(out)))
    result = attempt("unknown extension", po, 2, "translation file", name="t.pot")
    # A page changed since its export is another page: refused, unless forced.
    changed = PAGE.replace(b"One apple.", b"One pear.")
    translated = set_message(set_message(po, 2, "Ein Apfel."), 8, "Ein Baum")
    write(page, changed)
    attempt("changed page", translated, 1, "has changed since it was exported")
    result = attempt("forced", translated, 0, "Unit 2: the phrase of that number no longer reads",
                     ["--force"])
    if read(out) != changed.replace(b"A tree", b"Ein Baum"):
        fail("forced: %r" % read(out))
    # Sentences: the placeholders must all come back, nested as they were.
    if cli("phrases", page, "--units", "sentences").returncode != 0:
        return
    po = export(["--units", "sentences"])
    if 'msgid "Press <kbd1>Ctrl</kbd1>+<kbd2>S</kbd2> to save."' not in po:
        fail("sentences: the export is %s" % po)
        return
    for label, message, said in (
            ("placeholder missing", "Mit <kbd1>Strg</kbd1>+S speichern.", "<kbd2>"),
            ("placeholder added", "<kbd1>Strg</kbd1>+<kbd2>S</kbd2> <b3>x</b3>", "<b3>"),
            ("placeholders crossed", "<kbd1>Strg<kbd2></kbd1>S</kbd2>", "</kbd1>")):
        attempt(label, set_message(po, 3, message), 1, said)
    attempt("sentence", set_message(po, 3, "Mit <kbd1>Strg</kbd1>+<kbd2>S</kbd2> speichern."), 0, "")
    if read(out) != PAGE.replace(b"Press <kbd>Ctrl</kbd>+<kbd>S</kbd> to save.",
                                 b"Mit <kbd>Strg</kbd>+<kbd>S</kbd> speichern."):
        fail("sentence: %r" % read(out))


def main():
    work = tempfile.mkdtemp(prefix="quillfen-tools-")
    try:
        peers(work) if MODE == "peers" else merge(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d failures" % len(failures), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
