#include "core/markup/anchors.h"

#include <gtest/gtest.h>

#include <regex>

#include "core/document/document.h"
#include "tests/support/pagegen.h"

using namespace quillfen;

namespace {

std::string Anchored(const std::string& page, TTags tags) {
    const TScanResult scan = ExtractPhrases(page, tags);
    return InsertAnchors(page, AnchorPlaces(page, scan.Spans));
}

std::string WithoutAnchors(const std::string& page) {
    return std::regex_replace(page, std::regex("<!--qf:[0-9]+-->"), "");
}

struct TAnchorCase {
    const char* name;
    std::string page;
    std::string anchored;
    TTags tags = TTags::AllKinds;
};

}  // namespace

TEST(Anchors, StandBeforeEachPhraseWhereTheBrowserKeepsThemAsComments) {
    const std::vector<TAnchorCase> cases = {
        {"text runs, edge blanks outside", "<p>Hello <b>World</b>\n  again</p>",
         "<p><!--qf:0-->Hello <b><!--qf:1-->World</b>\n  <!--qf:2-->again</p>"},
        {"page starts with text", "Hi<br>there", "<!--qf:0-->Hi<br><!--qf:1-->there"},
        {"alt: before its tag", "<p>x <img src=\"a.png\" alt=\"Logo\"></p>",
         "<p><!--qf:0-->x <!--qf:1--><img src=\"a.png\" alt=\"Logo\"></p>"},
        {"'<' in an earlier quoted value of the same tag",
         "<img title=\"<img \" alt=\"x\"><a title='<b>'><img title=\"a<b\" alt=y></a>",
         "<!--qf:0--><img title=\"<img \" alt=\"x\"><a title='<b>'><!--qf:1--><img "
         "title=\"a<b\" alt=y></a>",
         TTags(7)},
        {"several values of one tag: one anchor each, before the tag",
         "<img title=\"<img \" alt=\"x\"><a title='<b>'><img title=\"a<b\" alt=y></a>",
         "<!--qf:0--><!--qf:1--><img title=\"<img \" alt=\"x\"><!--qf:2--><a "
         "title='<b>'><!--qf:3--><!--qf:4--><img title=\"a<b\" alt=y></a>"},
        {"content value", "<meta name=\"description\" content=\"D\">",
         "<!--qf:0--><meta name=\"description\" content=\"D\">"},
        {"attributes only", "<p>a <img alt=b></p>", "<p>a <!--qf:0--><img alt=b></p>",
         TTags::ImageAlt},
        {"pre: each line", "<pre>a\n  b</pre>", "<pre><!--qf:0-->a\n  <!--qf:1-->b</pre>"},
        {"none in title or textarea", "<TITLE>T <b></TITLE><TextArea>a\n<img alt=x></textarea><p>c",
         "<TITLE>T <b></TITLE><TextArea>a\n<img alt=x></textarea><p><!--qf:3-->c"},
        {"none where the browser reads raw text",
         "<xmp>a <img alt=\"b\"></xmp>c<noscript>n</noscript><iframe>i</iframe>"
         "<noembed>e</noembed><noframes>f</noframes>d<plaintext>p <img alt=q>",
         "<xmp>a <img alt=\"b\"></xmp><!--qf:0-->c<noscript>n</noscript><iframe>i</iframe>"
         "<noembed>e</noembed><noframes>f</noframes><!--qf:2-->d<plaintext>p <img alt=q>"},
        {"none in comments or scripts",
         "<!-- <img alt=\"x\"> --><script>s = \"<img alt='y'>\"</script><img alt=z>",
         "<!-- <img alt=\"x\"> --><script>s = \"<img alt='y'>\"</script><!--qf:0--><img "
         "alt=z>"},
        {"CDATA in svg: before the section, inside which it would be text",
         "<svg><text>a<![CDATA[ b<c ]]></text><![CDATA[d]]></svg><p><![CDATA[x>y]]></p>",
         "<svg><text><!--qf:0-->a<!--qf:1--><![CDATA[ b<c ]]></text><!--qf:2--><![CDATA[d]]>"
         "</svg><p><![CDATA[x><!--qf:3-->y]]></p>"},
        {"tag cut short", "<a <b>t", "<a <b><!--qf:0-->t"},
        {"no phrases", "<p> </p>", "<p> </p>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Anchored(c.page, c.tags), c.anchored) << c.name;
        EXPECT_EQ(WithoutAnchors(c.anchored), c.page) << c.name;
    }
}

TEST(Anchors, PlacesOfAnotherPageAreLeftOutWhereTheyDoNotAscend) {
    EXPECT_EQ(InsertAnchors("abcdef", {4, 2, kNoAnchor, 6, 9}), "abcd<!--qf:0-->ef<!--qf:3-->");
}

TEST(Anchors, FollowTheSavedPageAfterReplacements) {
    TDocument doc;
    doc.LoadBytes("\xEF\xBB\xBF<p>Hello <img alt='Logo'> world</p><title>T</title>",
                  TTags::Default);
    ASSERT_EQ(doc.PhraseCount(), 4u);
    doc.SetPhraseText(0, "A & B, longer");
    doc.SetPhraseText(1, "It's");
    doc.SetPhraseText(3, "Title");
    const std::string saved = doc.Render();
    EXPECT_EQ(AnchoredPage(doc, saved),
              "\xEF\xBB\xBF<p><!--qf:0-->A &amp; B, longer <!--qf:1--><img alt='It&#39;s'> "
              "<!--qf:2-->world</p><title>Title</title>");

    // Another program's bytes are shown as they are, without anchors.
    const std::vector<std::string> others = {saved + " ", saved.substr(0, saved.size() - 1),
                                             "<p>Hello", ""};
    for (const std::string& other : others) EXPECT_EQ(AnchoredPage(doc, other), other);
}

TEST(Anchors, EachAnchorOfALargePageStandsRightBeforeItsPhrase) {
    const std::string page = quillfen::testing::GeneratePage(1 << 20, 5);
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_GT(doc.PhraseCount(), 5000u);
    for (std::size_t k = 0; k < doc.PhraseCount(); k += 7)
        doc.SetPhraseText(k, "Neu \"" + std::to_string(k) + "\" & mehr");
    const std::string saved = doc.Render();
    const std::string anchored = AnchoredPage(doc, saved);
    ASSERT_EQ(WithoutAnchors(anchored), saved);

    std::size_t found = 0, at = 0;
    for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
        const std::string anchor = AnchorComment(k);
        const std::size_t hit = anchored.find(anchor, at);
        if (hit == std::string::npos) continue;
        at = hit + anchor.size();
        ++found;
        const std::string_view after = std::string_view(anchored).substr(at);
        if (doc.Kind(k) != TKind::Text) {
            EXPECT_EQ(after.substr(0, 1), "<") << k;
        } else if (doc.IsChanged(k)) {
            const std::string text = "Neu &quot;" + std::to_string(k) + "&quot; &amp; mehr";
            EXPECT_EQ(after.substr(0, text.size()), text) << k;
        } else {
            const TPhraseSpan& span = doc.Spans()[k];
            EXPECT_EQ(after.substr(0, span.End - span.Begin),
                      doc.Page().substr(span.Begin, span.End - span.Begin))
                << k;
        }
    }
    // Only the title has none.
    EXPECT_EQ(found, doc.PhraseCount() - 1);
}

TEST(Anchors, StandBeforeEachSentenceAndThePhrasesInsideIt) {
    if (!SentencesAvailable()) GTEST_SKIP() << "no sentences in this build";
    TDocument doc;
    doc.LoadBytes("<p><b>Go</b> now <img alt='Logo'> please. Then <i>rest</i>.</p>", TTags::Default,
                  TUnits::Sentences);
    ASSERT_EQ(doc.PhraseCount(), 3u);
    ASSERT_EQ(doc.Text(0), "<b1>Go</b1> now <img2/> please.");
    EXPECT_EQ(AnchoredPage(doc, doc.Render()),
              "<p><!--qf:0--><b>Go</b> now <!--qf:1--><img alt='Logo'> please. "
              "<!--qf:2-->Then <i>rest</i>.</p>");
    // A sentence written anew, with a new alt inside: its anchor stays in front of it, the alt's
    // goes with its tag wherever the new text put it, and the next sentence keeps its own.
    doc.SetPhraseText(0, "<img2/> Jetzt <b1>los</b1>, bitte.");
    doc.SetPhraseText(1, "Bild");
    doc.SetPhraseText(2, "Dann <i1>Ruhe</i1>.");
    EXPECT_EQ(AnchoredPage(doc, doc.Render()),
              "<p><!--qf:0--><!--qf:1--><img alt='Bild'> Jetzt <b>los</b>, bitte. "
              "<!--qf:2-->Dann <i>Ruhe</i>.</p>");
}
