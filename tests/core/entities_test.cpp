#include "core/entities.h"

#include <gtest/gtest.h>

#include <random>

#include "core/textitem.h"
#include "tests/support/phrases.h"

using namespace quillfen;
using quillfen::testing::EncodePhrase;

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
    for (const auto& row : Windows1252Tables().decode)
        rows.emplace_back(row.search, row.replacement);
    for (const auto& row : Windows1252Tables().encode)
        rows.emplace_back(row.search, row.replacement);
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        const int len = rng() % 24;
        for (int i = 0; i < len; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
        const auto& row = rows[rng() % rows.size()];
        ASSERT_EQ(Replaced(s, row.first, row.second), NaiveReplaceAll(s, row.first, row.second))
            << "on '" << s << "' replacing '" << row.first << "' by '" << row.second << "'";
    }
}

TEST(Entities, DecodeOrderAndCase) {
    auto decoded = [](std::string s) {
        Decode(s, Windows1252Tables());
        return s;
    };
    EXPECT_EQ(decoded("&amp;&lt;&quot;"), "&<\"");
    EXPECT_EQ(decoded("&lt;&amp;g&gt;"), "<&g>");
    EXPECT_EQ(decoded("&AMP; &UUML;"), "&AMP; &UUML;");
    EXPECT_EQ(decoded("&Auml;&auml;&szlig;"), "\xC4\xE4\xDF");
    EXPECT_EQ(decoded("caf&eacute; &#252;"), "caf&eacute; &#252;");
}

namespace {

// The guarded replacement by its definition: search again from the start after every
// replacement, skipping the occurrences that a character reference follows.
std::string NaiveReplaceBeforeNoReference(std::string s, const std::string& search, char repl) {
    for (std::size_t p = s.find(search); p != std::string::npos;) {
        if (StartsCharacterReference(std::string_view(s).substr(p + search.size()))) {
            p = s.find(search, p + 1);
            continue;
        }
        s = s.substr(0, p) + repl + s.substr(p + search.size());
        p = s.find(search);
    }
    return s;
}

std::string Decoded(std::string s) {
    Decode(s, Windows1252Tables());
    return s;
}

}  // namespace

TEST(Entities, EscapedReferencesStayEscaped) {
    // Decoded, these would read as references once saved: the page would show another text.
    EXPECT_EQ(Decoded("&amp;uuml;"), "&amp;uuml;");
    EXPECT_EQ(Decoded("&amp;lt;"), "&amp;lt;");
    EXPECT_EQ(Decoded("&amp;quot;"), "&amp;quot;");
    EXPECT_EQ(Decoded("&amp;nbsp;"), "&amp;nbsp;");
    EXPECT_EQ(Decoded("&amp;amp;"), "&amp;amp;");
    EXPECT_EQ(Decoded("&amp;#228; &amp;#xE4"), "&amp;#228; &amp;#xE4");
    EXPECT_EQ(Decoded("&amp;copy 2026"), "&amp;copy 2026");
    EXPECT_EQ(Decoded("&amp;eacute;"), "&amp;eacute;");
    // An ampersand that starts no reference is decoded as before.
    EXPECT_EQ(Decoded("R&amp;D, AT&amp;T & more"), "R&D, AT&T & more");
    EXPECT_EQ(Decoded("&amp;&amp; &amp;#; &amp;#x; &amp;;"), "&& &#; &#x; &;");
    EXPECT_EQ(Decoded("&amp;" + std::string(40, 'a') + ";"), "&" + std::string(40, 'a') + ";");
    EXPECT_EQ(Decoded("&amp;"), "&");
}

TEST(Entities, EscapedReferencesSurviveASave) {
    for (const std::string page : {"&amp;uuml;", "&amp;lt;b&amp;gt;", "Fish &amp;amp; Chips",
                                   "&amp;#252;", "&amp;nbsp;x", "&amp;quot;Hi&amp;quot;"}) {
        TTextItem item(0, page);
        ASSERT_TRUE(item.Clean());
        EXPECT_EQ(EncodePhrase(item), page);
    }
}

TEST(Entities, CharacterReferenceStarts) {
    for (std::string_view yes : {"uuml;", "a;", "x1;", "#1", "#x1", "#XaF", "copy", "nbsp", "amp",
                                 "notit", "frac12;", "AMP"})
        EXPECT_TRUE(StartsCharacterReference(yes)) << yes;
    for (std::string_view no :
         {"", " ", ";", "#", "#x", "#xg", "1a;", "D", "T ", "abc", "Copy", "-a;", "\xE4;"})
        EXPECT_FALSE(StartsCharacterReference(no)) << no;
}

TEST(Entities, GuardedReplacementMatchesItsDefinition) {
    std::mt19937 rng(4711);
    const std::string alphabet = "&amp;#x1 lu";
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        const int len = rng() % 24;
        for (int i = 0; i < len; ++i) s.push_back(alphabet[rng() % alphabet.size()]);
        std::string fast = s;
        ReplaceAllBeforeNoReference(fast, "&amp;", '&');
        ASSERT_EQ(fast, NaiveReplaceBeforeNoReference(s, "&amp;", '&')) << "on '" << s << "'";
    }
}

TEST(Entities, EncodePhraseRestoresEdgeBlanksFirst) {
    TTextItem amp(0, "&");
    EXPECT_EQ(EncodePhrase(amp), "&");
    amp.LeadingSpace = amp.TrailingSpace = true;
    EXPECT_EQ(EncodePhrase(amp), " &amp; ");
    EXPECT_EQ(EncodePhrase(TTextItem(0,
                                     "Gr\xF6\xDF"
                                     "e")),
              "Gr&ouml;&szlig;e");
    EXPECT_EQ(EncodePhrase(TTextItem(0, "a < b")), "a &lt; b");
    EXPECT_EQ(EncodePhrase(TTextItem(0, "\"x\"")), "&quot;x&quot;");
    EXPECT_EQ(EncodePhrase(TTextItem(0, "R&D")), "R&D");
    EXPECT_EQ(EncodePhrase(TTextItem(0, "caf\xE9 \xA9")), "caf\xE9 \xA9");
    // A non-breaking space is written as the entity a page keeps it in.
    EXPECT_EQ(EncodePhrase(TTextItem(0,
                                     "a\xA0"
                                     "b")),
              "a&nbsp;b");
}

TEST(TextItem, CleanNormalisesAndRemembersEdgeBlanks) {
    TTextItem a(0, "  Hello\t  World ");
    EXPECT_TRUE(a.Clean());
    EXPECT_EQ(a.Text, "Hello World");
    EXPECT_TRUE(a.LeadingSpace);
    EXPECT_TRUE(a.TrailingSpace);

    // Non-breaking spaces stay non-breaking, and alone they are no phrase.
    TTextItem kept(0, " a&nbsp;&nbsp;b");
    EXPECT_TRUE(kept.Clean());
    EXPECT_EQ(kept.Text,
              "a\xA0\xA0"
              "b");
    for (const char* blank : {"&nbsp;", "&nbsp; &nbsp;", "\xA0", " \xA0&nbsp; "}) {
        TTextItem nbsp(0, blank);
        EXPECT_FALSE(nbsp.Clean()) << blank;
    }
    TTextItem tab(0, "\t");
    EXPECT_FALSE(tab.Clean());
    EXPECT_TRUE(tab.LeadingSpace);

    TTextItem m(0, "M&uuml;ller &amp; S&ouml;hne");
    EXPECT_TRUE(m.Clean());
    EXPECT_EQ(m.Text, "M\xFCller & S\xF6hne");
    EXPECT_FALSE(m.LeadingSpace || m.TrailingSpace);

    TTextItem fish(0, "Fish&nbsp;&amp;&nbsp;Chips");
    EXPECT_TRUE(fish.Clean());
    EXPECT_EQ(fish.Text,
              "Fish\xA0&\xA0"
              "Chips");
    EXPECT_EQ(EncodePhrase(fish), "Fish&nbsp;&&nbsp;Chips");
}

TEST(TextItem, CleanMatchesItsStepsAtEveryOffset) {
    // The steps one after the other: tabs to blanks, runs of blanks to one, one blank cut at each
    // edge, "&nbsp;" decoded. Long texts are skipped in blocks, so the pieces are tried at every
    // offset within and across a block.
    auto naive = [](std::string s) {
        for (char& c : s)
            if (c == '\t') c = ' ';
        for (std::size_t p = s.find("  "); p != std::string::npos; p = s.find("  ")) s.erase(p, 1);
        TTextItem item(0, "");
        if (!s.empty() && s.front() == ' ') {
            s.erase(0, 1);
            item.LeadingSpace = true;
        }
        if (!s.empty() && s.back() == ' ') {
            s.pop_back();
            item.TrailingSpace = true;
        }
        std::string rest = s;
        for (std::size_t p = rest.find("&nbsp;"); p != std::string::npos; p = rest.find("&nbsp;"))
            rest.erase(p, 6);
        // Blanks and non-breaking spaces alone are no phrase, and are left undecoded.
        item.IsContent = rest.find_first_not_of(' ') == std::string::npos;
        if (!item.IsContent)
            for (std::size_t p = s.find("&nbsp;"); p != std::string::npos; p = s.find("&nbsp;")) {
                s.erase(p, 5);
                s[p] = '\xA0';
            }
        item.Text = s;
        return item;
    };
    std::mt19937 rng(99);
    const std::vector<std::string> pieces = {" ", "  ", "\t", "a", "xy", "&nbsp;", "&", "nbsp;"};
    for (int round = 0; round < 20000; ++round) {
        std::string s(rng() % 20, 'w');
        const int count = rng() % 4;
        for (int i = 0; i < count; ++i) {
            s += pieces[rng() % pieces.size()];
            s.append(rng() % 9, 'v');
        }
        TTextItem got(0, s);
        const bool kept = got.Clean();
        const TTextItem want = naive(s);
        ASSERT_EQ(got.Text, want.Text) << "'" << s << "'";
        ASSERT_EQ(kept, !want.IsContent) << "'" << s << "'";
        ASSERT_EQ(got.LeadingSpace, want.LeadingSpace) << "'" << s << "'";
        if (kept) {
            ASSERT_EQ(got.TrailingSpace, want.TrailingSpace) << "'" << s << "'";
        }
    }
}

TEST(TextItem, TomAndJerryRoundTrip) {
    TTextItem t(0, "Tom &amp; Jerry");
    ASSERT_TRUE(t.Clean());
    EXPECT_EQ(t.Text, "Tom & Jerry");
    EXPECT_EQ(EncodePhrase(t), "Tom &amp; Jerry");
}
