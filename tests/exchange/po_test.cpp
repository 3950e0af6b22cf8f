#include "exchange/po.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "core/files/filereader.h"
#include "exchange/formats.h"

namespace quillfen {
namespace {

const std::string kHeader =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"X-Quillfen-Source: xxh64=00000000000000ff tags=7 units=sentences\\n\"\n";

struct TUnitSeen {
    std::string id, source;
    std::optional<std::string> target;
    std::size_t line;
    std::string kind = {};
    bool operator==(const TUnitSeen&) const = default;
};

std::vector<TUnitSeen> Units(const TTranslationFile& file) {
    std::vector<TUnitSeen> seen;
    for (const TTranslationUnit& u : file.Units)
        seen.push_back({u.Id, u.Source, u.Target, u.Line, u.Kind});
    return seen;
}

// What tools write besides what our export writes: wrapped strings, escapes, flags, obsolete
// entries, plurals, CR LF, a byte-order mark.
TEST(PoTest, ReadsTheEntriesToolsWrite) {
    struct TCase {
        const char* name;
        std::string body;
        std::vector<TUnitSeen> units;
    };
    const std::vector<TCase> cases = {
        {"escapes",
         "msgctxt \"3 T\"\nmsgid \"a\\\"b\\\\c\\td\"\nmsgstr \"\\101\\x42\\n\\r\\a\\v\"\n",
         {{"3", "a\"b\\c\td", "AB\n\r\a\v", 6, "T"}}},
        {"wrapped strings and comments",
         "# translator\n#. note\n#: page.html:2\nmsgctxt \"\"\n\"2\"\n\" G\"\nmsgid \"\"\n"
         "\"Hello \"\n  \"world\"\nmsgstr \"\"\n\"Hallo \"\n\"Welt\"\n",
         {{"2", "Hello world", "Hallo Welt", 6, "G"}}},
        {"untranslated and fuzzy keep their bytes",
         "msgctxt \"1 T\"\nmsgid \"a\"\nmsgstr \"\"\n\n#, c-format, fuzzy\n#| msgid \"x\"\n"
         "msgctxt \"2 T\"\nmsgid \"b\"\nmsgstr \"B\"\n",
         {{"1", "a", std::nullopt, 6, "T"}, {"2", "b", std::nullopt, 10, "T"}}},
        {"entries without blank lines between them, obsolete ones passed over",
         "msgctxt \"1 T\"\nmsgid \"a\"\nmsgstr \"A\"\n#~ msgctxt \"9 T\"\n#~ msgid \"z\"\n"
         "#~ msgstr \"Z\"\nmsgctxt \"2 T\"\nmsgid \"b\"\nmsgstr \"B\"\n#~ msgid \"y\"\n",
         {{"1", "a", "A", 6, "T"}, {"2", "b", "B", 12, "T"}}},
        {"a plural's first form; no context",
         "msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"A\"\nmsgstr[1] \"As\"\n",
         {{"", "a", "A", 6}}},
        // What comes back from po2xliff and xliff2po: the context gone, or a tool's own that
        // keeps equal texts apart; the number is the reference's.
        {"no context: the reference's number",
         "#: page.html:2\nmsgid \"b\"\nmsgstr \"B\"\n\n#: page.html:10\nmsgctxt "
         "\"page.html:10\"\nmsgid \"a\"\nmsgstr \"A\"\n",
         {{"2", "b", "B", 6}, {"10", "a", "A", 10}}},
        // xliff2po on our XLIFF: the unit's id as the reference and, for an equal text, the
        // context, which it may repeat.
        {"a number alone",
         "#: 4\nmsgctxt \"4\"\nmsgid \"c\"\nmsgstr \"\"\n#: 5\nmsgid \"d\"\nmsgstr \"D\"\n\n"
         "#: 3\nmsgctxt \"3\"\n\"3\"\nmsgid \"|\"\nmsgstr \"|\"\n\nmsgctxt \"7\"\nmsgid "
         "\"e\"\nmsgstr \"\"\n",
         {{"4", "c", std::nullopt, 6},
          {"5", "d", "D", 10},
          {"3", "|", "|", 14},
          {"7", "e", std::nullopt, 20}}},
        {"an entry of several references gives each its unit",
         "#: p.html:2 p.html:7\n#: other:x p.html:9\nmsgid \"e\"\nmsgstr \"E\"\n",
         {{"2", "e", "E", 6}, {"7", "e", "E", 6}, {"9", "e", "E", 6}}},
    };
    for (const TCase& c : cases) {
        for (const bool crlf : {false, true}) {
            std::string bytes = crlf ? "\xEF\xBB\xBF" : "";
            for (const char ch : kHeader + "\n" + c.body) {
                if (ch == '\n' && crlf) bytes += '\r';
                bytes += ch;
            }
            const TTranslationFile file = ReadPoFile(bytes, "t.po");
            EXPECT_EQ(Units(file), c.units) << c.name << (crlf ? " (CR LF)" : "");
            ASSERT_TRUE(file.Stamp) << c.name;
            EXPECT_EQ(*file.Stamp, (TSourceStamp{0xff, TTags(7), TUnits::Sentences}));
        }
    }
    EXPECT_FALSE(ReadPoFile("msgid \"\"\nmsgstr \"Language: de\\n\"\n", "t.po").Stamp);
}

// A file is read a part at a time, and of a text only what could be the page's is kept: a
// source beyond the limit, a target beyond MaxTargetBytes of its source or the limit, even on a
// line of its own far longer than any part read, is cut and marked; the entries behind it read
// as ever.
TEST(PoTest, KeepsOfLongTextsWhatTheLimitsAllow) {
    const std::string long1(300000, 'x');
    std::string escaped;
    for (int k = 0; k < 100000; ++k) escaped += "\\n\\\"";
    const std::string body = "msgctxt \"1 T\"\nmsgid \"" + long1 + "\"\nmsgstr \"A\"\n\n" +
                             "msgctxt \"2 T\"\nmsgid \"b\"\nmsgstr \"" + escaped + "\"\n\"" +
                             long1 + "\"\n\nmsgctxt \"3 T\"\nmsgid \"c\"\nmsgstr \"\"\n\"C\"\n";
    const TExchangeFormat& po = *FindExchangeFormat("po");
    const std::string bytes = kHeader + "\n" + body;
    const auto reader = po.ReadUnits(std::make_unique<TMemoryInput>(bytes), "t.po", {1000, 5000});
    EXPECT_EQ(reader->Stamp(), (TSourceStamp{0xff, TTags(7), TUnits::Sentences}));
    const TTranslationFile file = ReadAllUnits(*reader);
    ASSERT_EQ(file.Units.size(), 3u);
    EXPECT_TRUE(file.Units[0].SourceTooLong);
    EXPECT_LE(file.Units[0].Source.size(), 1000u);
    EXPECT_FALSE(file.Units[0].TargetTooLong);
    EXPECT_FALSE(file.Units[1].SourceTooLong);
    EXPECT_TRUE(file.Units[1].TargetTooLong);
    EXPECT_LE(file.Units[1].Target->size(), 5000u);
    EXPECT_EQ(Units({{}, {file.Units[2]}}), (std::vector<TUnitSeen>{{"3", "c", "C", 15, "T"}}));
    // Without limits a target may still not outgrow its source beyond MaxTargetBytes.
    const std::string outgrown =
        kHeader + "\nmsgid \"b\"\nmsgstr \"" + std::string(MaxTargetBytes(1) + 1, 'y') + "\"\n";
    const TTranslationFile read = ReadPoFile(outgrown, "t.po");
    ASSERT_EQ(read.Units.size(), 1u);
    EXPECT_TRUE(read.Units[0].TargetTooLong);
    EXPECT_EQ(read.Units[0].Target->size(), MaxTargetBytes(1));
}

TEST(PoTest, RefusesAFaultNamingFileAndLine) {
    struct TCase {
        std::string body;  // behind the header's 4 lines and a blank one
        std::size_t line;
        const char* english;
    };
    const std::vector<TCase> cases = {
        {"msgctxt \"1 T\"\nmsgid \"a\nmsgstr \"\"\n", 7, "without its closing quote"},
        {"msgid \"a\\q\"\nmsgstr \"\"\n", 6, "unknown escape sequence \\q"},
        {"msgid \"a\\x\"\nmsgstr \"\"\n", 6, "unknown escape sequence \\x"},
        {"msgid \"a\\0\"\nmsgstr \"\"\n", 6, "unknown escape sequence \\0"},
        {"msgid \"a\" x\nmsgstr \"\"\n", 6, "unexpected text  x"},
        {"msgid \"a\"\nmsgtxt \"\"\n", 7, "unexpected text msgtxt"},
        {"#. x\n\"a\"\nmsgid \"a\"\nmsgstr \"\"\n", 7, "unexpected text \"a\""},
        {"msgstr \"a\"\n", 6, "msgstr is out of place"},
        {"msgid \"a\"\nmsgid \"b\"\nmsgstr \"\"\n", 7, "msgid is out of place"},
        {"msgid \"a\"\nmsgstr \"\"\nmsgstr \"\"\n", 8, "msgstr is out of place"},
        {"msgctxt \"1 T\"\nmsgid \"a\"\n\nmsgctxt \"2 T\"\n", 9, "msgctxt is out of place"},
        {"#: p:1\nmsgctxt \"1 T\"\nmsgid \"a\"\n", 6, "without msgid or msgstr"},
        {"msgid \"a\xFF\"\nmsgstr \"\"\n", 6, "not valid UTF-8"},
        {"msgid \"a\"\nmsgstr \"\\xff\"\n", 7, "not valid UTF-8"},
    };
    for (const TCase& c : cases) {
        try {
            ReadPoFile(kHeader + "\n" + c.body, "dir/t.po");
            ADD_FAILURE() << c.body << " was read";
        } catch (const TError& e) {
            const std::string english = e.English();
            EXPECT_EQ(english.rfind("The file dir/t.po, line " + std::to_string(c.line) + ": ", 0),
                      0u)
                << english;
            EXPECT_NE(english.find(c.english), std::string::npos) << english;
            EXPECT_EQ(std::string(e.what()).rfind("Datei dir/t.po, Zeile ", 0), 0u) << e.what();
        }
    }
    try {
        ReadPoFile("msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
                   "t.po");
        ADD_FAILURE() << "a Latin-1 file was read";
    } catch (const TError& e) {
        EXPECT_STREQ(e.English(),
                     "The file t.po, line 1: the charset ISO-8859-1 is not supported, only UTF-8");
    }
}

TEST(PoTest, LanguageTagsTakePoForm) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"en-US", "en_US"},
        {"EN_gb", "en_GB"},
        {"de", "de"},
        {"zh-Hant-TW", "zh_TW"},
        {"es-419", "es_419"},
        {"sr-Latn", "sr"},
        {"de-DE-1996", "de_DE"},
        {"", ""},
        {"x-klingon", "x"},
    };
    for (const auto& [tag, po] : cases) EXPECT_EQ(PoLanguage(tag), po) << tag;
}

// What no real page holds: quotes, backslashes and tabs in a preformatted line, a byte the
// page's encoding cannot read, a note, control characters (written as they are).
TEST(PoTest, OddTextsGoOutAsPoReadsThem) {
    TDocument doc;
    doc.LoadBytes(
        "<html lang=\"de-at\"><meta charset=\"utf-8\"><pre>\\\"a\"\t b\\</pre>"
        "<p its-loc-note=\"a &quot;note&quot;\">x\xFFy</p>",
        TTags::Default);
    const std::string bytes = PoBytes(doc, "p.html", {"", "pt-br"}, "2026-12-09 22:40+0000");
    for (const char* expected :
         {"\"Language: pt_BR\\n\"\n\"MIME", "\"X-Source-Language: de_AT\\n\"\n",
          "\n\n#: p.html:1\nmsgctxt \"1 T\"\nmsgid \"\\\\\\\"a\\\"\\t b\\\\\"\nmsgstr \"\"\n",
          "\n\n#. a \"note\"\n#: p.html:2\nmsgctxt \"2 T\"\nmsgid \"x\xEF\xBF\xBDy\"\n"})
        EXPECT_NE(bytes.find(expected), std::string::npos) << expected << " in " << bytes;
    EXPECT_EQ(ReadPoFile(bytes, "p.po").Units.at(0).Source, doc.Text(0));
    std::string escaped;
    AppendPoEscaped(escaped, "\\ \" \n \r \t \x01 \x7F");
    EXPECT_EQ(escaped, "\\\\ \\\" \\n \\r \\t \x01 \x7F");
}

}  // namespace
}  // namespace quillfen
