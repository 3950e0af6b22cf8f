#include "tests/support/xliff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "exchange/formats.h"
#include "exchange/merge.h"
#include "tests/exchange/testfiles.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

// The build without libxml2 (Windows) lists no XLIFF format.
const TExchangeFormat* Xliff() { return FindExchangeFormat("xliff"); }

#define REQUIRE_XLIFF() \
    if (!Xliff()) GTEST_SKIP() << "this build has no XLIFF"

// Exports doc as the page /web/<name>.html into dir; gives the file's path.
std::filesystem::path Export(const TDocument& doc, const TTempDir& dir, const std::string& name,
                             const TExportOptions& options = {}) {
    Xliff()->Export(doc, "/web/" + name + ".html", dir.Path().string(), options);
    return dir / (name + ".xlf");
}

// Pages with what XML cannot hold (control characters, a noncharacter, a byte that is no UTF-8,
// by reference and raw), a literal text that reads like a placeholder, a backslash before a tag,
// tabs in preformatted lines, notes and attribute texts.
const char* const kOddPages[] = {
    "<html lang=\"de_DE\"><head><meta charset=\"utf-8\"><title>T\x01tel</title></head><body>\n"
    "<p its-loc-note=\"Pr\xC3\xBC"
    "fen \x02 & <b>\">Ctl\x01 and \x0B, bad \xFF byte, "
    "nonchar \xEF\xBF\xBE, &#1; ref, \"quoted\" & more]]>.</p>\n"
    "<p>Literal &lt;b1&gt; and a\\<b>bold \\</b> then \\\\<br> <i>x</i> &lt;/i2&gt;.</p>\n"
    "<pre>a\tb\r\nc\x0C d</pre><img alt=\"x\x02y &amp; z\" title=\"\xC3\xA9t\xC3\xA9\x1F\">\n"
    "<p>Er sagte: <a href=\"x\">Hallo <b>du</b></a>! Dann <span>ging</span> er.<br>Neu.</p>\n"
    "</body></html>",
    "<!DOCTYPE html><html><head><meta charset=\"windows-1252\"></head><body><p>Caf\xE9 \x81 "
    "\x9D na\xEFve &#128; &#xFFFF;.</p></body></html>",
};

// Runs xmllint with the XLIFF 1.2 strict schema over files, offline; gives what it reports about
// the files that do not validate, empty when all do.
std::string SchemaFaults(const std::vector<std::filesystem::path>& files, const TTempDir& dir) {
    const std::filesystem::path log = dir / "xmllint.log";
    std::string command = "xmllint --nonet --noout --schema \"" QUILLFEN_SOURCE_DIR
                          "/tests/data/xliff/xliff-core-1.2-strict.xsd\"";
    for (const auto& file : files) command += " \"" + file.string() + "\"";
    command += " > \"" + log.string() + "\" 2>&1";
    const int status = std::system(command.c_str());
    const std::string report = ReadBytes(log);
    if (status == 0) return {};
    std::string faults;
    std::size_t at = 0;
    while (at < report.size()) {
        std::size_t end = report.find('\n', at);
        if (end == std::string::npos) end = report.size();
        const std::string line = report.substr(at, end - at);
        if (!line.ends_with(" validates")) faults += line + "\n";
        at = end + 1;
    }
    return faults.empty() ? "xmllint failed: " + report : faults;
}

// Every page of the corpus and the odd pages, in runs and in sentences, with every kind: the
// export validates against the strict schema, and reads back to each phrase's number and its
// text exactly, without targets, stamped with the page; a target holding the source behind a word
// reads as that word and the phrase's text.
TEST(XliffTest, ExportsValidateAndReadBackToThePhrases) {
    REQUIRE_XLIFF();
    TTempDir dir;
    std::vector<std::filesystem::path> pages = testing::CorpusPages();
    ASSERT_FALSE(pages.empty());
    for (std::size_t k = 0; k < std::size(kOddPages); ++k) {
        pages.push_back(dir / ("odd" + std::to_string(k) + ".html"));
        WriteBytes(pages.back(), kOddPages[k]);
    }
    std::vector<TUnits> units = {TUnits::Runs};
    if (SentencesAvailable()) units.push_back(TUnits::Sentences);
    std::vector<std::filesystem::path> exported;
    for (const auto& page : pages) {
        for (const TUnits unit : units) {
            const std::string name =
                page.stem().string() + (unit == TUnits::Sentences ? "-sentences" : "-runs");
            TDocument doc;
            doc.LoadFile(page.string(), TTags::AllKinds, unit);
            exported.push_back(Export(doc, dir, name));
            const std::string bytes = ReadBytes(exported.back());
            const TTranslationFile file = Xliff()->ReadTranslation(bytes, "x.xlf");
            // As a tool translates: each source copied into a target behind a word.
            const TTranslationFile translated = Xliff()->ReadTranslation(
                testing::XliffWithTargets(bytes, "X ", {}, "<target state=\"translated\">"),
                "t.xlf");
            EXPECT_EQ(file.Stamp, StampOf(doc)) << name;
            ASSERT_EQ(file.Units.size(), doc.PhraseCount()) << name;
            ASSERT_EQ(translated.Units.size(), doc.PhraseCount()) << name;
            for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
                const TTranslationUnit& read = file.Units[i];
                EXPECT_EQ(read.Id, std::to_string(i + 1)) << name;
                EXPECT_EQ(read.Source, doc.Text(i)) << name << " unit " << read.Id;
                EXPECT_FALSE(read.Target) << name << " unit " << read.Id;
                EXPECT_GT(read.Line, i == 0 ? 0 : file.Units[i - 1].Line) << name;
                EXPECT_EQ(translated.Units[i].Target, "X " + std::string(doc.Text(i)))
                    << name << " unit " << read.Id;
            }
        }
    }
    EXPECT_EQ(SchemaFaults(exported, dir), "");
    EXPECT_EQ(FindTranslationFormat("/out/page.xlf"), Xliff());
}

// The page's lang (lang before xml:lang, the root's only), normalised, else the option, else
// "und"; the target language only when given.
TEST(XliffTest, FileNamesItsLanguages) {
    REQUIRE_XLIFF();
    struct TCase {
        const char* page;
        TExportOptions options;
        const char* expected;  // the file element's attributes after original and datatype
    } const cases[] = {
        {"<html lang=\"en_us\"><p>a</p>", {}, "source-language=\"en-US\">"},
        {"<html xml:lang=\"zh-hant-tw\" lang=\"ZH_hant_TW\"><p>a</p>",
         {"fr", "de"},
         "source-language=\"zh-Hant-TW\" target-language=\"de\">"},
        {"<html xml:lang=\"sr-latn\"><p>a</p>", {}, "source-language=\"sr-Latn\">"},
        {"<html lang=\"en_US.UTF-8\"><p>a</p>",
         {"pt_br", "ja"},
         "source-language=\"pt-BR\" target-language=\"ja\">"},
        // A later html start tag gives the root the attributes it lacks.
        {"<p lang=\"it\">a</p><html lang=\"es\">", {}, "source-language=\"es\">"},
        {"<svg><html lang=\"nl\"></html></svg><html lang=\"da\"><p>a</p>",
         {},
         "source-language=\"da\">"},
        {"<!-- <html lang=\"nl\"> --><p>a</p>",
         {"", "es-419"},
         "source-language=\"und\" target-language=\"es-419\">"},
    };
    TTempDir dir;
    for (const TCase& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::Default);
        const std::string file = ReadBytes(Export(doc, dir, "page", c.options));
        EXPECT_NE(
            file.find(std::string("<file original=\"page.html\" datatype=\"html\" ") + c.expected),
            std::string::npos)
            << c.page << "\n"
            << file;
    }
    TDocument doc;
    doc.LoadBytes("<html lang=\"en\"><p>a</p>", TTags::Default);
    for (const TExportOptions& bad : {TExportOptions{"en US", ""}, TExportOptions{"", "de_DE@x"}})
        EXPECT_THROW(Export(doc, dir, "bad", bad), TError);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.xlf"));
}

// A sentence's placeholders become g and x named as the text names them, with the ctypes of
// HTML's representation guide; the unit says it is a sentence.
TEST(XliffTest, PlaceholdersBecomeInlineCodes) {
    REQUIRE_XLIFF();
    if (!SentencesAvailable()) GTEST_SKIP() << "this build has no sentences";
    TDocument doc;
    doc.LoadBytes(
        "<p>Press <b>bold</b>, <I>it</I>, <u>under</u> or <a href=\"#\">the <kbd>key</kbd></a>"
        "<br><img src=\"i.png\" alt=\"pic\"> now.</p>",
        TTags::AllKinds, TUnits::Sentences);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    TTempDir dir;
    const std::string file = ReadBytes(Export(doc, dir, "page"));
    EXPECT_NE(file.find("<trans-unit id=\"1\" restype=\"x-plain-text\" extype=\"x-sentence\" "
                        "xml:space=\"preserve\">\n<source>Press <g id=\"b1\" ctype=\"bold\">bold"
                        "</g>, <g id=\"i2\" ctype=\"italic\">it</g>, <g id=\"u3\" "
                        "ctype=\"underlined\">under</g> or <g id=\"a4\" ctype=\"link\">the "
                        "<g id=\"kbd5\" ctype=\"x-html-kbd\">key</g></g><x id=\"br6\" "
                        "ctype=\"lb\"/><x id=\"img7\" ctype=\"image\"/> now.</source>"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("<trans-unit id=\"2\" restype=\"x-image-alternatives\" "
                        "xml:space=\"preserve\">\n<source>pic</source>"),
              std::string::npos)
        << file;
}

constexpr const char* kHead =
    "<?xml version=\"1.0\"?>\n"
    "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
    "<file original=\"p.html\" datatype=\"html\" source-language=\"en\">\n"
    "<header><note from=\"quillfen\">xxh64=00000000000000ff tags=3 units=sentences</note>"
    "</header><body>\n";
constexpr const char* kTail = "</body></file></xliff>\n";

std::string Unit(const std::string& id, const std::string& inside, bool sentence = true) {
    return "<trans-unit id=\"" + id + "\"" + (sentence ? " extype=\"x-sentence\"" : "") + ">" +
           inside + "</trans-unit>\n";
}

// What a translation tool gives back: targets read into the textual form, untranslated states
// and empty targets as no target, inline codes back as placeholders, mrk read through.
TEST(XliffTest, ReadsTargets) {
    REQUIRE_XLIFF();
    struct TCase {
        std::string unit;
        std::string source;
        std::optional<std::string> target;
        std::string inlined = {};  // the first inline element of the target
    } const cases[] = {
        {Unit("1", "<source>Hi</source>"), "Hi", std::nullopt},
        {Unit("2", "<source>Hi</source><target/>"), "Hi", std::nullopt},
        {Unit("3", "<source>Hi</source><target state=\"new\">Hallo</target>"), "Hi", std::nullopt},
        {Unit("4", "<source>Hi</source><target state=\"needs-translation\">Hallo</target>"), "Hi",
         std::nullopt},
        {Unit("5", "<source>Hi</source><target state=\"translated\">Hallo</target>"), "Hi",
         "Hallo"},
        {Unit("6",
              "<source>A <g id=\"b1\" ctype=\"bold\">b</g><x id=\"br2\"/>.</source>"
              "<target state=\"final\"><x id=\"br2\"/><g id=\"b1\">B</g> &lt;a1&gt; "
              "<mrk mtype=\"term\">&amp;</mrk><![CDATA[<c2/>]]></target>"),
         "A <b1>b</b1><br2/>.", "<br2/><b1>B</b1> \\<a1> &\\<c2/>", "<x>"},
        // A sentence without placeholders escapes what would read as one; a run does not.
        {Unit("7", "<source>x &lt;b1&gt; y\\</source><target>\\<x id=\"q\"/></target>"),
         "x \\<b1> y\\", "\\\\<q/>", "<x>"},
        {Unit("8", "<source>x &lt;b1&gt; y</source><target>z &lt;i2/&gt;</target>", false),
         "x <b1> y", "z <i2/>"},
        // Our byte codes, and a g or x of another id kept as written for the merge to name.
        {Unit("9",
              "<source>a<x id=\"byte-1\" ctype=\"x-quillfen-byte-01\"/>b<x id=\"byte-2\" "
              "ctype=\"x-quillfen-byte-FF\"/></source><target><x ctype=\"x-quillfen-byte-0b\" "
              "id=\"z\"/><g id=\"zz9\">q</g><x id=\"foo\" ctype=\"x-quillfen-byte-GG\"/>"
              "</target>",
              false),
         "a\x01"
         "b\xFF",
         "\x0B<zz9>q</zz9><foo/>", "<g>"},
        {"<group id=\"g\">" + Unit("10", "<source>in</source><target>drin</target>") + "</group>",
         "in", "drin"},
        // Codes of the original that a target may hold are no text of it; the merge refuses
        // them by the first.
        {Unit("11",
              "<source>a</source><target>b <bx id=\"1\"/>c<ph id=\"2\">&lt;br&gt;<sub>s</sub>"
              "</ph> <g id=\"q\">d</g></target>",
              false),
         "a", "b c <q>d</q>", "<bx>"},
    };
    std::string xliff = kHead;
    for (const TCase& c : cases) xliff += c.unit;
    xliff += kTail;
    const TTranslationFile file = Xliff()->ReadTranslation(xliff, "t.xlf");
    ASSERT_TRUE(file.Stamp);
    EXPECT_EQ(file.Stamp->Hash, 0xFFu);
    EXPECT_EQ(file.Stamp->Units, TUnits::Sentences);
    ASSERT_EQ(file.Units.size(), std::size(cases));
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(file.Units[k].Id, std::to_string(k + 1));
        EXPECT_EQ(file.Units[k].Source, cases[k].source) << "unit " << k + 1;
        EXPECT_EQ(file.Units[k].Target, cases[k].target) << "unit " << k + 1;
        EXPECT_EQ(file.Units[k].Inline, cases[k].inlined) << "unit " << k + 1;
        EXPECT_EQ(file.Units[k].Line, k + 5);
    }
}

// po2xliff turns our PO into a file of its own (XLIFF 1.1), a unit per entry located by the
// entry's "#: page:number", the PO header a unit of restype x-gettext-domain-header that holds
// our stamp; with -t and our XLIFF as its template it keeps our file and adds its own behind it.
// Either merges: an added unit takes the number of its location and gives our unit its target.
TEST(XliffTest, UnitsThatPo2xliffMakesMergeByTheirLocation) {
    REQUIRE_XLIFF();
    TDocument doc;
    doc.LoadBytes("<p>One</p><p>Two</p><p>Three</p>", TTags::Default);
    TTempDir dir;
    const std::string ours = ReadBytes(Export(doc, dir, "p"));
    auto added = [](const std::string& id, const std::string& source, const std::string& location,
                    const std::string& rest) {
        return "<ns0:trans-unit xmlns:ns0=\"urn:oasis:names:tc:xliff:document:1.1\" id=\"" + id +
               "\"><ns0:source>" + source + "</ns0:source>" + rest +
               "<context-group name=\"po-reference\" purpose=\"location\">" + location +
               "</context-group></ns0:trans-unit>\n";
    };
    const std::string header =
        "<trans-unit id=\"1\" restype=\"x-gettext-domain-header\"><source>Language: de\n"
        "X-Quillfen-Source: " +
        FormatSourceStamp(StampOf(doc)) + "\n</source><target>Language: de</target></trans-unit>\n";
    const std::string units = added("6", "Two",
                                    "<context context-type=\"sourcefile\">p.html</context>"
                                    "<context context-type=\"linenumber\">2</context>",
                                    "<target>Zwei</target>") +
                              added("7", "One", "<context context-type=\"sourcefile\">1</context>",
                                    "<target>Eins</target>") +
                              added("8", "Three",
                                    "<context context-type=\"sourcefile\">p.html</context>"
                                    "<context context-type=\"linenumber\">3</context>",
                                    "");
    const std::string file =
        "<file original=\"p.po\" datatype=\"po\" source-language=\"en\"><body>" + header + units +
        "</body></file>\n";
    const std::string withTemplate =
        ours.substr(0, ours.size() - std::string_view("</xliff>\n").size()) + file + "</xliff>\n";
    const std::string alone =
        "<?xml version=\"1.0\"?>\n<xliff version=\"1.1\" "
        "xmlns=\"urn:oasis:names:tc:xliff:document:1.1\">" +
        file + "</xliff>\n";
    for (const auto& [name, xliff, count] :
         {std::tuple{"po2xliff -t", withTemplate, 6u}, std::tuple{"po2xliff", alone, 3u}}) {
        const TTranslationFile read = Xliff()->ReadTranslation(xliff, "t.xlf");
        EXPECT_EQ(read.Stamp, StampOf(doc)) << name;
        ASSERT_EQ(read.Units.size(), count) << name;
        const TTranslationUnit& two = read.Units[count - 3];
        EXPECT_EQ(two.Id, "2") << name;
        EXPECT_TRUE(two.Added) << name;
        EXPECT_EQ(two.Target, "Zwei") << name;
        EXPECT_EQ(read.Units[count - 2].Id, "1") << name;
        TDocument merged;
        merged.LoadBytes("<p>One</p><p>Two</p><p>Three</p>", TTags::Default);
        const TMergeReport report = MergeTranslation(merged, read, {}, [] {});
        EXPECT_EQ(merged.Render(), "<p>Eins</p><p>Zwei</p><p>Three</p>") << name;
        EXPECT_EQ(report.Translated, 2u) << name;
        EXPECT_EQ(report.Kept, 1u) << name;
    }
}

// A file that is not XML, not XLIFF or not ours to read is refused naming the file, the line
// and the fault; declared entities are never expanded, whether they would fetch a file or
// multiply.
TEST(XliffTest, RefusesWhatItCannotRead) {
    REQUIRE_XLIFF();
    const std::string body = std::string(kHead) + Unit("1", "<source>a</source>");
    struct TCase {
        std::string xliff;
        const char* expected;  // in the English text
    } const cases[] = {
        {body + "<trans-unit id=\"2\"><source>b</target></trans-unit>" + kTail,
         "t.xlf, line 6: not well-formed XML"},
        {body + "<trans-unit id=\"2\"><source>&nbsp;</source></trans-unit>" + kTail,
         "t.xlf, line 6: not well-formed XML"},
        {body + "<trans-unit id=\"2\"><source>a</source><target>b\x01</target></trans-unit>" +
             kTail,
         "t.xlf, line 6: not well-formed XML"},
        {body + "<trans-unit id=\"2\"><source>\xFF</source></trans-unit>" + kTail,
         "t.xlf, line 6: not well-formed XML"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [\n<!ENTITY e SYSTEM \"file:///etc/passwd\">"
         "\n]>\n" +
             body.substr(body.find('\n') + 1) +
             "<trans-unit id=\"2\"><source>&e;</source></trans-unit>" + kTail,
         "t.xlf, line 3: declares entities"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n" +
             body.substr(body.find('\n') + 1) + kTail,
         "t.xlf, line 2: declares entities"},
        // An external DTD is never read: a file that names one is refused.
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE xliff SYSTEM \"file:///etc/passwd\">\n" +
             body.substr(body.find('\n') + 1) +
             "<trans-unit id=\"2\"><source>&x;</source></trans-unit>" + kTail,
         "t.xlf, line 2: names an external DTD (file:///etc/passwd), which is not read"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE xliff PUBLIC \"-//X//DTD XLIFF//EN\" \"x.dtd\">\n" +
             body.substr(body.find('\n') + 1) + kTail,
         "t.xlf, line 2: names an external DTD (x.dtd)"},
        {"<?xml version=\"1.0\"?>\n<html><body/></html>", "t.xlf, line 2: not an XLIFF file"},
        {body + "<trans-unit><source>b</source></trans-unit>" + kTail,
         "t.xlf, line 6: a trans-unit without an id"},
        {body + "<trans-unit id=\"2\"><target>b</target></trans-unit>" + kTail,
         "t.xlf, line 6: trans-unit 2 has no source"},
        {body +
             "<trans-unit id=\"2\"><source>b\n<ph id=\"1\">&lt;br&gt;</ph></source></trans-unit>" +
             kTail,
         "t.xlf, line 7: trans-unit 2: the inline element <ph>"},
        {"", "t.xlf: not well-formed XML (the file is empty)"},
    };
    for (const TCase& c : cases) {
        try {
            Xliff()->ReadTranslation(c.xliff, "t.xlf");
            ADD_FAILURE() << "read: " << c.xliff;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find(c.expected), std::string::npos)
                << e.English() << "\n"
                << c.xliff;
            EXPECT_NE(std::string(e.what()).find("t.xlf"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace quillfen
