#include <gtest/gtest.h>

#include "scan.h"

using namespace quillfen;
using Lines = std::vector<std::string>;

namespace {

TScanResult ScanLines(const Lines& lines, std::uint8_t tags = 7) {
    return ExtractPhrases(lines, tags);
}

std::vector<std::string> Texts(const TScanResult& r) {
    std::vector<std::string> out;
    for (const auto& p : r.Phrases) out.push_back(p.Text);
    return out;
}

}  // namespace

TEST(Scan, InlineTagsGiveOnePhrasePerRun) {
    auto r = ScanLines({"<p>Hello <b>World</b></p>"});
    EXPECT_EQ(Texts(r), (Lines{"Hello", "World"}));
    EXPECT_TRUE(r.Phrases[0].TrailingSpace);
    EXPECT_EQ(r.Phrases[0].Kind(), TKind::Text);
    EXPECT_EQ(r.Template, (Lines{"<p>", "%_0_%", "<b>", "%_1_%", "</b>", "</p>"}));
    EXPECT_EQ(TotalWords(r.Phrases), 2u);
    EXPECT_EQ(r.Row(0), "Hello");
    EXPECT_EQ(r.Row(1), "World");
}

TEST(Scan, RunsSpanningLinesJoinWithABlank) {
    EXPECT_EQ(Texts(ScanLines({"<p>Hello", "world</p>"})), (Lines{"Hello world"}));
    // A lone blank left at a line end does not carry over.
    auto r = ScanLines({"<b>x</b> ", "<i>y</i>"});
    EXPECT_EQ(Texts(r), (Lines{"x", "y"}));
}

TEST(Scan, AttributeValuesBecomeImageAndContentPhrases) {
    auto img = ScanLines({"<IMG SRC=\"a.gif\" ALT=\"Logo\">"});
    ASSERT_EQ(img.Phrases.size(), 1u);
    EXPECT_EQ(img.Phrases[0].Kind(), TKind::Image);
    EXPECT_EQ(img.Template, (Lines{"<IMG SRC=\"a.gif\" ALT=\"%_0_%\">"}));

    auto meta = ScanLines({"<meta name=\"description\" content=\"Fine &amp; fast\">"});
    ASSERT_EQ(meta.Phrases.size(), 1u);
    EXPECT_EQ(meta.Phrases[0].Kind(), TKind::Content);
    EXPECT_EQ(meta.Row(0), "Fine &amp; fast");
    EXPECT_EQ(meta.Phrases[0].Text, "Fine & fast");
    EXPECT_EQ(meta.Template, (Lines{"<meta name=\"description\" content=\"%_0_%\">"}));

    auto one = ScanLines({"<img alt=\"1\" src=\"1.gif\">"});
    EXPECT_EQ(one.Template, (Lines{"<img alt=\"%_0_%\" src=\"1.gif\">"}));

    EXPECT_TRUE(ScanLines({"<img alt=\"\">"}).Phrases.empty());
    EXPECT_TRUE(ScanLines({"<img alt=Logo>"}).Phrases.empty());
    EXPECT_TRUE(ScanLines({"<img alt='Logo'>"}).Phrases.empty());

    auto blanks = ScanLines({"<img alt=\"   \">"});
    ASSERT_EQ(blanks.Phrases.size(), 1u);
    EXPECT_EQ(blanks.Phrases[0].Text, "");
}

TEST(Scan, UnclosedAttributeValueEndsBeforeTheTagsLastCharacter) {
    auto r = ScanLines({"<img alt=\"Logo", ">"});
    EXPECT_EQ(Texts(r), (Lines{"Log"}));
    EXPECT_EQ(r.Template, (Lines{"<img alt=\"%_0_%o>"}));
}

TEST(Scan, AltWinsOverContentAndTagsBitsSelectKinds) {
    auto both = ScanLines({"<x alt=\"\" content=\"c\">"});
    EXPECT_TRUE(both.Phrases.empty());
    auto contentOnly = ScanLines({"<x alt=\"a\" content=\"c\">"}, 4);
    EXPECT_EQ(Texts(contentOnly), (Lines{"c"}));

    auto noText = ScanLines({"<p>Hello</p>"}, 2);
    EXPECT_TRUE(noText.Phrases.empty());
    EXPECT_EQ(noText.Template, (Lines{"<p>", "Hello", "</p>"}));
    auto none = ScanLines({"<p>Hi <img alt=\"A\"></p>"}, 0);
    EXPECT_TRUE(none.Phrases.empty());
    EXPECT_EQ(none.Template, (Lines{"<p>", "Hi ", "<img alt=\"A\">", "</p>"}));
}

TEST(Scan, NonBreakingSpaces) {
    auto one = ScanLines({"<td>&nbsp;</td>"});
    EXPECT_TRUE(one.Phrases.empty());
    EXPECT_EQ(one.Template, (Lines{"<td>", "&nbsp;", "</td>"}));
    auto two = ScanLines({"<td>&nbsp;&nbsp;</td>"});
    EXPECT_TRUE(two.Phrases.empty());
    EXPECT_EQ(two.Template, (Lines{"<td>", "</td>"}));
}

TEST(Scan, CommentsAreKeptWholeAndNeverGivePhrases) {
    auto inline_ = ScanLines({"a <!-- note --> b<br>"});
    EXPECT_EQ(Texts(inline_), (Lines{"a", "b"}));
    EXPECT_EQ(inline_.Template, (Lines{"%_0_%", "<!-- note -->", "%_1_%", "<br>"}));

    auto multi = ScanLines({"<!--", "var x;", "// -->"});
    EXPECT_TRUE(multi.Phrases.empty());
    EXPECT_EQ(multi.Template, (Lines{"<!--", "var x;", "// -->"}));

    auto angles = ScanLines({"<!-- a <b>bold</b> alt=\"x\"", "still --> after<br>"});
    EXPECT_EQ(Texts(angles), (Lines{"after"}));
    EXPECT_EQ(angles.Template,
              (Lines{"<!-- a <b>bold</b> alt=\"x\"", "still -->", "%_0_%", "<br>"}));

    EXPECT_EQ(ScanLines({"<!-->x<p>"}).Template, (Lines{"<!-->", "%_0_%", "<p>"}));
    auto dashes = ScanLines({"<p alt=\"no\"-->z<br>"});
    EXPECT_EQ(Texts(dashes), (Lines{"z"}));
    EXPECT_EQ(dashes.Template[0], "<p alt=\"no\"-->");
}

TEST(Scan, NothingAfterTheLastTagIsLost) {
    auto text = ScanLines({"<p>end", "of page"});
    EXPECT_EQ(Texts(text), (Lines{"end of page"}));
    EXPECT_EQ(text.Template, (Lines{"<p>", "%_0_%"}));
    EXPECT_EQ(Texts(ScanLines({"no tags at all"})), (Lines{"no tags at all"}));
    EXPECT_EQ(ScanLines({"<p>tail"}, 2).Template, (Lines{"<p>", "tail"}));
    // An unclosed tag, and one cut short by another '<', stay markup.
    EXPECT_EQ(ScanLines({"<p>x<a href=\"y\""}).Template, (Lines{"<p>", "%_0_%", "<a href=\"y\""}));
    EXPECT_EQ(ScanLines({"<a <b>"}).Template, (Lines{"<a ", "<b>"}));
    EXPECT_EQ(ScanLines({"<>"}).Template, (Lines{"<>"}));
}

TEST(Scan, BareClosingBracketStaysText) {
    auto r = ScanLines({"<p>a > b --> c</p>"});
    EXPECT_EQ(Texts(r), (Lines{"a > b --> c"}));
}

TEST(Scan, EqualTextsAndSingleCharactersArePhrases) {
    auto r = ScanLines({"<p>1</p><p>1</p><p>.</p>"});
    EXPECT_EQ(Texts(r), (Lines{"1", "1", "."}));
    EXPECT_EQ(r.Markers.size(), 3u);
}

TEST(Scan, MarkerPlacesPointAtTheMarkers) {
    auto r = ScanLines({"<p>a<img alt=\"b\" x=\"%_0_%\">c</p>"});
    ASSERT_EQ(r.Markers.size(), 3u);
    for (std::size_t k = 0; k < r.Markers.size(); ++k)
        EXPECT_EQ(r.Template[r.Markers[k].entry].compare(r.Markers[k].offset,
                                                         PhraseMarker(k).size(), PhraseMarker(k)),
                  0);
}

TEST(Scan, EmptyPage) {
    auto r = ScanLines({});
    EXPECT_TRUE(r.Phrases.empty());
    EXPECT_TRUE(r.Template.empty());
}

TEST(ScanAttribute, CaseOfAToZOnly) {
    auto hit = ScanAttribute("img AlT=\"x\"", 2);
    EXPECT_EQ(hit.value, "x");
    EXPECT_EQ(hit.kind, TKind::Image);
    EXPECT_EQ(hit.place, 9u);
    EXPECT_TRUE(ScanAttribute("img alt =\"x\"", 7).value.empty());
    EXPECT_EQ(ScanAttribute("meta CONTENT=\"v\"", 4).kind, TKind::Content);
    EXPECT_TRUE(ScanAttribute("meta content=\"v\"", 3).value.empty());
    EXPECT_TRUE(ScanAttribute("alt=\"", 7).value.empty());
}

TEST(ScanAttribute, AltWinsWhereverItStands) {
    auto both = ScanAttribute("meta content=\"c\" alt=\"a\"", 7);
    EXPECT_EQ(both.kind, TKind::Image);
    EXPECT_EQ(both.value, "a");
    EXPECT_EQ(both.place, 22u);
    // Without alternative texts the first content value is taken.
    auto content = ScanAttribute("meta content=\"c\" alt=\"a\" content=\"d\"", 4);
    EXPECT_EQ(content.kind, TKind::Content);
    EXPECT_EQ(content.value, "c");
    EXPECT_EQ(content.place, 14u);
    // A name that merely ends in alt counts as alt; one that starts with it does not.
    EXPECT_EQ(ScanAttribute("img data-alt=\"x\"", 2).value, "x");
    EXPECT_TRUE(ScanAttribute("img alter=\"x\"", 2).value.empty());
    EXPECT_TRUE(ScanAttribute("\"alt=\"x\"", 0).value.empty());
}

TEST(Scan, AngleBracketsAreFoundAtEveryOffsetOfALongRun) {
    // Runs are searched in blocks of bytes: a bracket at any place within or across a block
    // must end the run there.
    for (std::size_t at = 0; at < 40; ++at) {
        std::string text(at, 'a');
        auto r = ScanLines({"<p>" + text + "<b>" + std::string(20, 'z') + "</b>"});
        std::vector<std::string> want;
        if (at) want.push_back(text);
        want.push_back(std::string(20, 'z'));
        EXPECT_EQ(Texts(r), want) << at;
        // Bytes that differ from '<' and '>' in one bit only are text.
        auto near = ScanLines({"<p>" + text + "=?:~\xBC\xBE</p>"});
        EXPECT_EQ(Texts(near), (Lines{text + "=?:~\xBC\xBE"})) << at;
    }
}

TEST(Scan, RowsShowAttributeValuesAsTheyStand) {
    auto r = ScanLines({"<p>Caf&eacute; &amp; more</p><img alt=\"Tom &amp; Jerry\"><img alt=\"plain\">"});
    ASSERT_EQ(r.PhraseCount(), 3u);
    EXPECT_EQ(r.Row(0), r.Phrases[0].Text);
    EXPECT_EQ(r.Row(1), "Tom &amp; Jerry");
    EXPECT_EQ(r.Phrases[1].Text, "Tom & Jerry");
    EXPECT_EQ(r.Row(2), "plain");
    // Only the value that differs from its phrase is kept apart.
    EXPECT_EQ(r.RawRows.size(), 1u);
    r.SetText(1, "Tom und Jerry");
    EXPECT_EQ(r.Row(1), "Tom und Jerry");
    EXPECT_EQ(r.Phrases[1].Text, "Tom und Jerry");
    EXPECT_TRUE(r.RawRows.empty());
}

TEST(CountWords, Separators) {
    EXPECT_EQ(CountWords(""), 0u);
    EXPECT_EQ(CountWords("  \t "), 0u);
    EXPECT_EQ(CountWords("a, b"), 2u);
    EXPECT_EQ(CountWords("a,,,b"), 3u);
    EXPECT_EQ(CountWords("Hello world."), 2u);
    EXPECT_EQ(CountWords(" one "), 1u);
    // A separator in the first position is no word break.
    EXPECT_EQ(CountWords(".net"), 1u);
    EXPECT_EQ(CountWords(",a"), 1u);
}

TEST(CountWords, TotalDoesNotWrap) {
    std::vector<TTextItem> phrases(70000, TTextItem(0, "a b"));
    EXPECT_EQ(TotalWords(phrases), 140000u);
}
