#include "core/markup/entities.h"

#include <gtest/gtest.h>

#include <random>

#include "core/text/phrasetext.h"
#include "core/textitem.h"

using namespace quillfen;

namespace {

// The definition itself: search again from the very start after every replacement.
std::string NaiveReplaceAll(std::string s, const std::string& search, const std::string& repl) {
    if (search.empty()) return s;
    for (std::size_t p = s.find(search); p != std::string::npos; p = s.find(search))
        s = s.substr(0, p) + repl + s.substr(p + search.size());
    return s;
}

std::string Replaced(std::string s, std::string_view search, std::string_view repl) {
    ReplaceAll(s, search, repl);
    return s;
}

}  // namespace

TEST(ReplaceAll, RestartsFromTheStart) {
    EXPECT_EQ(Replaced("", "a", "b"), "");
    EXPECT_EQ(Replaced("abc", "", "x"), "abc");
    EXPECT_EQ(Replaced("aaa", "aa", "a"), "a");
    EXPECT_EQ(Replaced("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Replaced("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(Replaced("&amp;amp;", "&amp;", "&"), "&");
    EXPECT_EQ(Replaced("&amp;amp;amp;x&amp;", "&amp;", "&"), "&x&");
}

TEST(ReplaceAll, ReplacementHoldingItsSearchTextEnds) {
    // Outside the restarting definition: replaced once, left to right.
    EXPECT_EQ(Replaced("a&b&", "&", "&amp;"), "a&amp;b&amp;");
}

TEST(ReplaceAll, MatchesTheDefinitionOnRandomStrings) {
    std::mt19937 rng(12345);
    const std::string alphabet = "&amp;ulgt ";
    std::vector<std::pair<std::string, std::string>> rows = {
        {"aa", "a"}, {"ab", "b"}, {"aba", "a"},  {"&amp;", "&"}, {"& ", "&amp; "},
        {"a", ""},   {"ba", "a"}, {"&lt;", "<"}, {"aab", "ba"}};
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"&uuml;", "\xFC"}, {"&quot;", "\""}, {"<", "&lt;"}, {"\xE4", "&auml;"}})
        rows.push_back(row);
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        const int len = rng() % 24;
        for (int i = 0; i < len; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
        const auto& row = rows[rng() % rows.size()];
        ASSERT_EQ(Replaced(s, row.first, row.second), NaiveReplaceAll(s, row.first, row.second))
            << "on '" << s << "' replacing '" << row.first << "' by '" << row.second << "'";
    }
}

TEST(Entities, ReferencesAsTheStandardReadsThem) {
    struct TCase {
        std::string_view in;
        TReferences where;
        std::string_view out;
    };
    const TReferences text = TReferences::Text, attr = TReferences::Attribute,
                      file = TReferences::TextFile;
    const TCase cases[] = {
        // Named, with and without ';', the longest name that matches.
        {"m&eacute;thode &ndash; &para;", text, "m\u00E9thode \u2013 \u00B6"},
        {"&copy 2026 &copy;", text, "\u00A9 2026 \u00A9"},
        {"&notit; &notin; &not", text, "\u00ACit; \u2209 \u00AC"},
        {"&AMP;&amp&LT;&GT", text, "&&<>"},
        {"&Copy; &COPY &Amp;", text, "&Copy; \u00A9 &Amp;"},
        {"&NotNestedGreaterGreater; &CounterClockwiseContourIntegral;", text,
         "\u2AA2\u0338 \u2233"},
        {"&eacute &eacutex &ampx &quot", text, "\u00E9 \u00E9x &x \""},
        {"&unknown; &; & &#; &#x; &#xg;", text, "&unknown; &; & &#; &#x; &#xg;"},
        // In a value a legacy name without ';' before '=' or a letter or digit is text.
        {"&copy=1 &notx &not1 &not; &not! &amp", attr, "&copy=1 &notx &not1 \u00AC \u00AC! &"},
        {"?a=1&lang=de&copy", attr, "?a=1&lang=de\u00A9"},
        {"&notx", text, "\u00ACx"},
        // Numbers: decimal and hexadecimal, ';' optional, and the standard's replacements.
        {"&#233;&#xE9;&#XE9&#233", text, "\u00E9\u00E9\u00E9\u00E9"},
        {"&#0; &#xD800; &#x110000; &#99999999999999;", text, "\uFFFD \uFFFD \uFFFD \uFFFD"},
        {"&#128;&#x9F;&#150;", text, "\u20AC\u0178\u2013"},
        {"&#x81;&#x8D;&#1;&#xFFFF;&#x1F600;", text, "\u0081\u008D\u0001\xEF\xBF\xBF\U0001F600"},
        {"&#32;&#0032;&#x000000041;", text, "  A"},
        // The text file reads only what ends with ';'.
        {"&eacute; &eacute &#233; &#233 &amp;copy &copy; AT&T", file,
         "\u00E9 &eacute \u00E9 &#233 &copy \u00A9 AT&T"},
        {"&notit; &not; &#0;", file, "&notit; \u00AC \uFFFD"},
        // Bytes that are no UTF-8 pass.
        {"\xE4&auml;\xFF", text, "\xE4\u00E4\xFF"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(DecodeReferences(c.in, c.where), c.out)
            << c.in << " as " << static_cast<int>(c.where);
}

TEST(Entities, EveryNameOfTheTableIsFoundAndSorted) {
    ASSERT_EQ(kNamedReferenceCount, 2231u);
    for (std::size_t i = 1; i < kNamedReferenceCount; ++i)
        ASSERT_LT(kNamedReferences[i - 1].name, kNamedReferences[i].name);
    std::size_t bare = 0;
    for (std::size_t i = 0; i < kNamedReferenceCount; ++i) {
        const TNamedReference& r = kNamedReferences[i];
        std::string written = "&";
        written += r.name;
        const TReference got = ReadReference(written + " ", TReferences::Text);
        ASSERT_EQ(got.length, written.size()) << written;
        ASSERT_EQ(got.first, r.first) << written;
        ASSERT_EQ(got.second, r.second) << written;
        if (r.name.back() != ';') ++bare;
    }
    EXPECT_EQ(bare, 106u);
}

TEST(Entities, EncodeTableWritesWhatReadsBackAsTyped) {
    struct TCase {
        std::string_view text;
        std::string_view entities, keep, references;
    };
    const TCase cases[] = {
        {"Read &notes now", "Read &amp;notes now", "Read &amp;notes now", "Read &amp;notes now"},
        {"&copy &amp; &#0; <b>", "&amp;copy &amp;amp; &amp;#0; &lt;b&gt;",
         "&amp;copy &amp;amp; &amp;#0; &lt;b&gt;", "&amp;copy &amp;amp; &amp;#0; &lt;b&gt;"},
        {"\"Gr\u00F6\u00DFe\" \u00C4\u00D6\u00DC\u00E4\u00FC",
         "&quot;Gr&ouml;&szlig;e&quot; &Auml;&Ouml;&Uuml;&auml;&uuml;",
         "&quot;Gr\u00F6\u00DFe&quot; \u00C4\u00D6\u00DC\u00E4\u00FC",
         "&quot;Gr&ouml;&szlig;e&quot; &Auml;&Ouml;&Uuml;&auml;&uuml;"},
        {"caf\u00E9\u00A0\u20AC", "caf\u00E9&nbsp;\u20AC", "caf\u00E9\u00A0\u20AC",
         "caf&#233;&nbsp;&#8364;"},
        {"a\x01"
         "b\tc",
         "a&#1;b\tc", "a&#1;b\tc", "a&#1;b\tc"},
        {"it's \xFF", "it's \xFF", "it's \xFF", "it's \xFF"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(EncodeText(c.text), c.entities) << c.text;
        EXPECT_EQ(EncodeText(c.text, TEncodeMode::KeepCharacters), c.keep) << c.text;
        EXPECT_EQ(EncodeText(c.text, TEncodeMode::References), c.references) << c.text;
        for (TEncodeMode mode :
             {TEncodeMode::Entities, TEncodeMode::KeepCharacters, TEncodeMode::References})
            EXPECT_EQ(DecodeReferences(EncodeText(c.text, mode), TReferences::Text), c.text);
    }
}

TEST(Entities, TextFileKeepsEveryTextAndTheOldFilesEntities) {
    const TEncodingInfo w1252;
    // What export writes reads back as the text, whatever the text holds.
    for (std::string_view text : {"Fish & Chips", "&amp;", "&copy; &copy &#233; &#xE9 &",
                                  "\u00E4\u042F\U0001F600", "R&D;", "&notit;"}) {
        const std::string line = TextFileText(text, w1252);
        EXPECT_EQ(TextOfTextFile(line, w1252), text) << line;
    }
    EXPECT_EQ(TextFileText("Fish & Chips \u00E4\u042F &copy;", w1252),
              "Fish & Chips \xE4&#1071; &amp;copy;");
    // An old file holds entities as the page wrote them.
    EXPECT_EQ(TextOfTextFile("caf&eacute; &#252; &lt;b&gt; Tom & Jerry", w1252),
              "caf\u00E9 \u00FC <b> Tom & Jerry");
}

TEST(TextItem, CleanDecodesAndNormalises) {
    TTextItem a(0, "  Hello\t  World ");
    EXPECT_TRUE(a.Clean());
    EXPECT_EQ(a.Text, "Hello World");
    EXPECT_TRUE(a.LeadingSpace);
    EXPECT_TRUE(a.TrailingSpace);

    // Non-breaking spaces stay non-breaking, and alone they are no phrase.
    TTextItem kept(0, " a&nbsp;&nbsp;b");
    EXPECT_TRUE(kept.Clean());
    EXPECT_EQ(kept.Text, "a\u00A0\u00A0b");
    for (const char* blank : {"&nbsp;", "&nbsp; &nbsp;", "\xA0", " \xA0&nbsp; ", "&#160;&#9;"}) {
        TTextItem nbsp(0, blank);
        EXPECT_FALSE(nbsp.Clean()) << blank;
    }
    TTextItem tab(0, "\t");
    EXPECT_FALSE(tab.Clean());
    EXPECT_TRUE(tab.LeadingSpace);

    // Whitespace that references give collapses as a browser collapses it.
    TTextItem refs(0, "a&#32;&#9; &#10;b&#13;");
    EXPECT_TRUE(refs.Clean());
    EXPECT_EQ(refs.Text, "a b");
    EXPECT_TRUE(refs.TrailingSpace);

    // The page's encoding is removed: Windows-1252 by default.
    TTextItem m(0, "M&uuml;ller &amp; S\xF6hne \x80");
    EXPECT_TRUE(m.Clean());
    EXPECT_EQ(m.Text, "M\u00FCller & S\u00F6hne \u20AC");
    TTextItem u(0, "S\xC3\xB6hne \xFF");
    EXPECT_TRUE(u.Clean({TPageEncoding::Utf8, {}}));
    EXPECT_EQ(u.Text, "S\u00F6hne \xFF");
}
