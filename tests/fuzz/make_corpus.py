#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the test pages, the examples and hostile pages.

Run from anywhere; the files go to corpus/<target>/ beside this script. Inputs that the fuzzers
found are kept there too (named crash-*, regression-*), so this only adds and overwrites seeds.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
CORPUS = HERE / "corpus"


def put(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def pages():
    """(name, bytes) of every page seed."""
    out = [("example.html", (ROOT / "examples" / "example.html").read_bytes())]
    for page in sorted((ROOT / "tests" / "data" / "exchange" / "export").glob("*/page.htm")):
        out.append(("export-" + page.parent.name + ".htm", page.read_bytes()))
    high = bytes(range(128, 256))
    out += [
        ("unterminated-tag", b"<p>text <img alt=\"never closed"),
        ("unterminated-tag-lines", b"<a href=\"x\"\nalt=\"a\nb\" <b>bold</b> tail"),
        ("unterminated-comment", b"<p>a</p><!-- never\nclosed <b>x</b>\nstill"),
        ("comment-shortest", b"a<!-->b<!--->c<!---->d"),
        ("closer-without-opener", b"text --> more <b>x --></b> -->"),
        ("comment-across-lines", b"<!-- a\n%_0_% <img alt=\"no\">\n--> after"),
        ("dashes-tag", b"<p>x<!- y --><br -->z"),
        ("markers-literal", b"%_0_% <a title=\"%_1_%\">%_1_%</a> <img alt=\"%_0_%\"> %_ _%"),
        ("entities", b"&amp;uuml; &amp;nbsp; &nbsp;&nbsp; &quot;q&quot; & &amp; &lt;x&gt; &szlig;"),
        ("nbsp-only", b"<p>&nbsp;</p><p> &nbsp; &nbsp; </p><p>&nbsp;x&nbsp;</p>"),
        ("blanks", b"   a    b\t\tc   \n\n\n   \n\t\t\n d  "),
        ("alt-content", b"<meta name=\"d\" content=\"C &amp; D\"><img ALT=\"a\" content=\"c\"><img alt=\"\">"
                        b"<img alt=\"x><img alt=noquote><img alt=\"q"),
        ("cr-only", b"<p>a\rb</p>\r<img alt=\"c\">\rd\r"),
        ("lf-cr", b"<p>a\n\rb</p>\n\r<b>c</b>\n\r"),
        ("nul-bytes", b"<p>before</p>\x00<p>after</p>"),
        ("bom", b"\xef\xbb\xbf<html><p>Gr\xc3\xbc\xc3\x9fe</p></html>"),
        ("utf16", "\ufeff<p>Hallo Welt</p><img alt=\"Bild\">".encode("utf-16-le")),
        ("high-bytes", high + b"<p>" + high + b"</p><img alt=\"" + high + b"\">" + high),
        ("umlauts-1252", b"<p>M\xfcller \xe4\xf6\xfc\xc4\xd6\xdc\xdf & Co</p>"),
        ("angles", b"a > b >> c <<p>> <> < > <<>>"),
        ("control-bytes", bytes(range(1, 32)) + b"<p>\x0bx\x01</p>"),
        ("long-tag", b"<" + b"a" * 1_000_000 + b">"),
        ("empty-lines", b"<p>a</p>" + b"\n" * 100_000 + b"b"),
        ("cdata-svg-math", b"<p>a<svg><text>b <![CDATA[ c<d & &amp; ]]> e</text><![CDATA[f]]]>"
                           b"<script><![CDATA[g]]></script></svg><math><mi><![CDATA[\nh\n]]></mi>"
                           b"</math><![CDATA[i>j]]><svg><![CDATA[k>l<meta charset=koi8-r>]]>"
                           b"</svg><meta charset=utf-8><svg><![CDATA[m>n<o]]><![CDATA[p"),
    ]
    return out


def xliff_files():
    """(name, bytes) of XLIFF seeds: ours with targets, inline codes and byte codes, a file that
    po2xliff added to, and hostile ones."""
    head = (b'<?xml version="1.0" encoding="UTF-8"?>\n<xliff version="1.2" '
            b'xmlns="urn:oasis:names:tc:xliff:document:1.2">\n<file original="p.html" '
            b'datatype="html" source-language="en"><header><note from="quillfen">'
            b'xxh64=0123456789abcdef tags=15 units=sentences</note></header><body>\n')
    tail = b"</body></file></xliff>\n"
    units = (b'<trans-unit id="1" extype="x-sentence" xml:space="preserve"><source>A <g id="b1" '
             b'ctype="bold">b</g><x id="br2" ctype="lb"/> &lt;i3&gt;\\</source><target '
             b'state="translated"><x id="br2"/><g id="b1">B</g><mrk mtype="term">t</mrk>'
             b'<![CDATA[<c4/>]]></target></trans-unit>\n'
             b'<trans-unit id="2"><source>c<x id="byte-1" ctype="x-quillfen-byte-01"/></source>'
             b'<target state="new">d</target><note>n</note></trans-unit>\n'
             b'<group id="g"><trans-unit id="3"><source>e</source><target/></trans-unit></group>\n')
    added = (b'</body></file><file original="p.po" datatype="po" source-language="en"><body>'
             b'<trans-unit id="9" restype="x-gettext-domain-header"><source>h</source></trans-unit>'
             b'<ns0:trans-unit xmlns:ns0="urn:oasis:names:tc:xliff:document:1.1" id="10">'
             b'<ns0:source>e</ns0:source><target>E</target><context-group name="po-reference" '
             b'purpose="location"><context context-type="sourcefile">p.html</context>'
             b'<context context-type="linenumber">3</context></context-group></ns0:trans-unit>\n')
    return [
        ("xliff-ours", head + units + tail),
        ("xliff-po2xliff", head + units + added + tail),
        ("xliff-entities", b'<?xml version="1.0"?>\n<!DOCTYPE xliff [<!ENTITY a "aaaa">'
                           b'<!ENTITY b "&a;&a;&a;&a;">]>\n' + head[head.index(b"\n") + 1:]
                           + units.replace(b">e<", b">&b;<") + tail),
        ("xliff-external-dtd", b'<?xml version="1.0"?>\n<!DOCTYPE xliff SYSTEM "file:///x">\n'
                               + head[head.index(b"\n") + 1:] + units.replace(b">e<", b">&x;<")
                               + tail),
        ("xliff-broken", head + units[:150]),
    ]


def provider_string(data):
    """A string as FuzzedDataProvider's ConsumeRandomLengthString reads it back."""
    return data.replace(b"\\", b"\\\\") + b"\\x"


def main():
    for name, data in pages():
        put("load", name, data)
        if b"\x00" not in data:
            put("save", name, data)
            # The same page with every kind extracted and a few phrases replaced by marker texts,
            # entities and high bytes (see save_fuzzer.cpp for the layout).
            put("save", name + ".edited",
                data + b"\x00\x07" + b"\x00\x00\x03\x00\x06\x18" + b"\x00\x01\x02\x0e\x0d"
                + b"\x00\x02\x01\xc0\x05\x80\xff\x3c\x22\xe4")

    # The XLIFF target reads its input as a page and as an XLIFF file.
    for name, data in pages() + xliff_files():
        put("xliff", name, data)

    for case in sorted((ROOT / "tests" / "data" / "exchange" / "combine").iterdir()):
        templ = (case / "template.templ").read_bytes()
        text = (case / "text.txt").read_bytes()
        for situation in (0, 1, 11):
            put("combine", f"{case.name}-{situation}", provider_string(templ) + text + bytes([situation]))
    put("combine", "many-markers",
        provider_string(b"".join(b"<p>%%_%d_%%</p>\r\n" % k for k in range(200)))
        + b"".join(b"<%d>phrase %d</>\r\n" % (k + 1, k) for k in range(199)) + b"\x00")

    rows = [(b"&amp;", b"&", 0), (b"& ", b"&amp; ", 64), (b"aa", b"a", 200), (b"ab", b"ba", 200),
            (b"&", b"&amp;", 200), (b"%_3_%", b"x%_3_%y", 200), (b"aab", b"ba", 200)]
    for i, (search, repl, pick) in enumerate(rows):
        s = b"&amp;amp;amp; & a aab aaab abab %_3_% " * 4
        head = b"" if pick < 128 else provider_string(search) + provider_string(repl)
        put("replaceall", f"row-{i}", head + s + bytes([pick]))

    # The checks: a source and a translation, then (read from the end) the source's and the
    # target's language (indices into the fuzzer's list) and whether the texts are sentences.
    pairs = [
        ("Version 2.1 adds 1,234.5 tools (see https://example.org/a_(b)).",
         "Version 2.2 f\u00fcgt 1.234,5 Werkzeuge hinzu (siehe https://example.org/a_(b)", 2, 0),
        ("Press <b1>Enter</b1> now, <a2>here</a2>.",
         "Appuyez sur <a2>ici</a2> \\<b1>Entr\u00e9e</b1>  maintenant?", 3, 1),
        ("Read <a1>the <b2>manual</b2></a1> in 3 steps!", "</b2>\u00bfLee <a1>el el manual</a1>?",
         5, 1),
        ("Save the file to disk now.", "\u30d5\u30a1\u30a4\u30eb\u3092\u4fdd\u5b58\u3002", 8, 0),
        ("Tom & Jerry <br> said \u201cyes\u201d", "Tom &amp; Jerry <b>sagte</b> \u201eja", 2, 0),
        ("Save\nSave\nOpen\nopen", "Speichern\nSichern\n\u00d6ffnen\n\u00d6ffnen", 2, 0),
    ]
    for i, (source, target, language, sentences) in enumerate(pairs):
        put("checks", f"pair-{i}", provider_string(source.encode()) + target.encode()
            + bytes([sentences, language, 1]))


if __name__ == "__main__":
    main()
