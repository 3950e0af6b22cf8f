// The hostile pages of the fuzz corpus as plain tests, so that the ordinary build checks them
// too: every Tags value keeps the template's invariants, saves what the template says and loads
// its own save again. (Their speed is measured in the benchmarks.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document.h"
#include "errors.h"
#include "textitem.h"

using namespace quillfen;

namespace {

struct THostilePage {
    const char* name;
    std::string bytes;
};

std::vector<THostilePage> HostilePages() {
    std::string high;
    for (int c = 128; c < 256; ++c) high.push_back(static_cast<char>(c));
    return {
        {"unterminated tag", "<p>text <img alt=\"never closed"},
        {"unterminated tag over lines", "<a href=\"x\"\nalt=\"a\nb\" <b>bold</b> tail"},
        {"unterminated comment", "<p>a</p><!-- never\nclosed <b>x</b>\nstill"},
        {"shortest comments", "a<!-->b<!--->c<!---->d"},
        {"closer without opener", "text --> more <b>x --></b> -->"},
        {"literal markers", "%_0_% <a title=\"%_1_%\">%_1_%</a> <img alt=\"%_0_%\"> %_ _%"},
        {"marker beside underscore", "<a alt=\"%_0_>_%a"},
        {"lone cr", "<p>a\rb</p>\r<img alt=\"c\">\rd\r"},
        {"lf cr", "<p>a\n\rb</p>\n\r<b>c</b>\n\r"},
        {"control bytes", "<p>a</p>\x0b\x01<b>\x03</b>\x0bx\x01"},
        {"byte-order mark", "\xEF\xBB\xBF<html><p>Gr\xC3\xBC\xC3\x9F" "e</p></html>"},
        {"high bytes", high + "<p>" + high + "</p><img alt=\"" + high + "\">" + high},
        {"angles", "a > b >> c <<p>> <> < > <<>>"},
        {"escaped entities", "<p>&amp;uuml; &amp;nbsp; &amp;amp;lt;</p><img alt=\"&amp;quot;\">"},
        {"comment opener cut", "<!-\nx>\n<p>Hello</p>\n<img alt=\"Bild\">"},
        {"comment opener cut after <", "<\n!-x>\n<p>Hello</p>"},
        {"umlauts the only bytes no UTF-8", "<p>\xE4 \xC3\xA9</p>"},
        {"alt and content", "<meta content=\"C &amp; D\"><img ALT=\"a\" content=\"c\"><img alt=\"\">"
                            "<img alt=\"x><img alt=noquote><img alt=\"q"},
    };
}

// Render() rebuilt from the template: each marker at its recorded place filled by EncodePhrase.
std::string Rebuilt(const TDocument& doc) {
    std::string out = doc.Bom();
    std::size_t k = 0;
    for (std::size_t e = 0; e < doc.Template().size(); ++e) {
        std::string entry(doc.Template()[e]);
        const auto& markers = doc.Scan().Markers;
        if (k < markers.size() && markers[k].entry == e) {
            entry.replace(markers[k].offset, MarkerLength(k), EncodePhrase(doc.Phrases()[k], doc.TablesForSaving()));
            ++k;
        }
        out += entry + "\r\n";
    }
    return out;
}

void ExpectSoundScan(const TDocument& doc, const std::string& what) {
    const auto& scan = doc.Scan();
    ASSERT_EQ(scan.Markers.size(), scan.Phrases.size()) << what;
    for (std::size_t k = 0; k < scan.Markers.size(); ++k) {
        const auto& place = scan.Markers[k];
        ASSERT_LT(place.entry, scan.Template.size()) << what;
        if (k > 0) {
            EXPECT_GT(place.entry, scan.Markers[k - 1].entry) << what << ", marker " << k;
        }
        EXPECT_EQ(scan.Template[place.entry].compare(place.offset, MarkerLength(k), PhraseMarker(k)), 0)
            << what << ", marker " << k;
    }
    for (const auto& entry : scan.Template)
        EXPECT_EQ(entry.find_first_of("\r\n"), std::string::npos) << what;
}

}  // namespace

TEST(FuzzRegressions, HostilePagesKeepTheInvariantsWithEveryTags) {
    for (const auto& page : HostilePages()) {
        for (std::uint8_t tags = 0; tags < 8; ++tags) {
            const std::string what = std::string(page.name) + ", tags " + std::to_string(tags);
            TDocument doc;
            doc.LoadBytes(page.bytes, tags);
            ExpectSoundScan(doc, what);
            const std::string saved = doc.Render();
            EXPECT_EQ(saved, Rebuilt(doc)) << what;

            TDocument again;
            again.LoadBytes(saved, tags);
            ExpectSoundScan(again, what + ", reloaded");
            // The first save re-flows the page and loading trims line starts; from then on a
            // save of a save changes nothing.
            TDocument third;
            third.LoadBytes(again.Render(), tags);
            EXPECT_EQ(third.Render(), again.Render()) << what;
        }
    }
}

TEST(FuzzRegressions, ReplacedPhrasesHoldingMarkerTextsAreWrittenAsGiven) {
    TDocument doc;
    doc.LoadBytes("<p>one</p><img alt=\"two\"><p>three</p>", 7);
    ASSERT_EQ(doc.PhraseCount(), 3u);
    doc.SetPhraseText(0, "%_1_%");
    doc.SetPhraseText(1, "%_1_% & \"x\"");
    doc.SetPhraseText(2, "%_0_%%_2_%");
    EXPECT_EQ(doc.Render(),
              "<p>\r\n%_1_%\r\n</p>\r\n<img alt=\"%_1_% &amp; &quot;x&quot;\">\r\n<p>\r\n"
              "%_0_%%_2_%\r\n</p>\r\n");
}

TEST(FuzzRegressions, ZeroBytesAndUtf16PagesAreRefused) {
    const std::string utf16("\xFF\xFE<\0p\0>\0H\0i\0", 12);
    for (const std::string& page : {std::string("<p>a</p>\0<p>b</p>", 17), utf16}) {
        TDocument doc;
        doc.LoadBytes("<p>kept</p>", 3);
        EXPECT_THROW(doc.LoadBytes(page, 3), TError);
    }
}

TEST(FuzzRegressions, MegabytePagesLoadAndSaveInFull) {
    const std::string longTag = "<" + std::string(1'000'000, 'a') + ">";
    const std::string emptyLines = "<p>a</p>" + std::string(100'000, '\n') + "b";
    const std::string longAlt = "<img alt=\"" + std::string(1'000'000, 'x');
    const std::string manyTags = [] {
        std::string s;
        while (s.size() < 1'000'000) s += "<b>x</b>\r";
        return s;
    }();
    for (const std::string* page : {&longTag, &emptyLines, &longAlt, &manyTags}) {
        for (std::uint8_t tags : {std::uint8_t{0}, std::uint8_t{7}}) {
            TDocument doc;
            doc.LoadBytes(*page, tags);
            const std::string saved = doc.Render();
            // Nothing is shortened: the page's bytes other than line breaks all come back.
            std::string want(*page), have(saved);
            std::erase_if(want, [](char c) { return c == '\r' || c == '\n'; });
            std::erase_if(have, [](char c) { return c == '\r' || c == '\n'; });
            EXPECT_EQ(have, want) << page->size() << " bytes, tags " << int(tags);
        }
    }
    TDocument doc;
    doc.LoadBytes(emptyLines, 3);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Phrases()[1].Text, "b");
    doc.LoadBytes(longAlt, 2);
    EXPECT_EQ(doc.PhraseCount(), 0u);  // the value ends before the tag's last character: none
    doc.LoadBytes(longAlt + ">", 2);
    ASSERT_EQ(doc.PhraseCount(), 1u);
    EXPECT_EQ(doc.Phrases()[0].Text.size(), 1'000'000u - 1);
    doc.LoadBytes(manyTags, 1);
    EXPECT_EQ(doc.PhraseCount(), (manyTags.size() / 9));
}

namespace {

std::vector<std::string> PhraseTexts(const TDocument& doc) {
    std::vector<std::string> texts;
    for (const auto& p : doc.Phrases()) texts.push_back(p.Text);
    return texts;
}

}  // namespace

TEST(FuzzRegressions, EscapedEntitiesKeepTheirMeaningThroughASave) {
    TDocument doc;
    doc.LoadBytes("<p>&amp;uuml; and &amp;nbsp; R&amp;D</p><img alt=\"&amp;lt;b&amp;gt;\">", 7);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Phrases()[0].Text, "&amp;uuml; and &amp;nbsp; R&D");
    EXPECT_EQ(doc.Phrases()[1].Text, "&amp;lt;b&amp;gt;");
    const std::string saved = doc.Render();
    EXPECT_EQ(saved, "<p>\r\n&amp;uuml; and &amp;nbsp; R&D\r\n</p>\r\n"
                     "<img alt=\"&amp;lt;b&amp;gt;\">\r\n");
    TDocument again;
    again.LoadBytes(saved, 7);
    EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc));
}

TEST(FuzzRegressions, CommentOpenerCutByALineBreakStaysATag) {
    for (const char* page : {"<!-\nx>\n<p>Hello</p>\n<img alt=\"Bild\">",
                             "<\n!-x>\n<p>Hello</p>\n<img alt=\"Bild\">",
                             "<!-\nimg alt=\"Bild\">\n<p>Hello</p>",
                             "<!-\nx<p>Hello</p>\n<img alt=\"Bild\">"}) {
        TDocument doc;
        doc.LoadBytes(page, 7);
        ASSERT_EQ(doc.PhraseCount(), 2u) << page;
        // Its first line stays a line of its own: joined, it would open a comment.
        EXPECT_EQ(doc.Template()[0], "<!-") << page;
        std::string saved = doc.Render();
        for (int round = 0; round < 2; ++round) {
            TDocument again;
            again.LoadBytes(saved, 7);
            EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc)) << page;
            saved = again.Render();
        }
    }
    // On one line it is a comment, as ever; so is a cut tag that ends in "--".
    TDocument doc;
    doc.LoadBytes("<!-x> <p>Hello</p>", 7);
    EXPECT_EQ(doc.PhraseCount(), 0u);
    doc.LoadBytes("<\n!--x--> <p>Hello</p>", 7);
    EXPECT_EQ(doc.Template()[0], "<!--x-->");
    EXPECT_EQ(PhraseTexts(doc), (std::vector<std::string>{"Hello"}));
}

TEST(FuzzRegressions, Windows1252PageStaysWindows1252WhenSaved) {
    // Only the umlaut makes this page no UTF-8: as an entity, it would leave "\xC3\xA9" to read
    // as one character on the next load.
    TDocument doc;
    doc.LoadBytes("<p>\xE4 \xC3\xA9</p>", 7);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Windows1252);
    const std::string saved = doc.Render();
    EXPECT_EQ(saved, "<p>\r\n\xE4 \xC3\xA9\r\n</p>\r\n");
    EXPECT_NE(&doc.TablesForSaving(), &doc.Tables());
    TDocument again;
    again.LoadBytes(saved, 7);
    EXPECT_EQ(again.Encoding(), TPageEncoding::Windows1252);
    EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc));

    // Where another byte keeps the page from reading as UTF-8, umlauts are entities as ever.
    doc.LoadBytes("<p>\xE4 \xC3\xA9 \xE9</p>", 7);
    EXPECT_EQ(doc.Render(), "<p>\r\n&auml; \xC3\xA9 \xE9\r\n</p>\r\n");
    EXPECT_EQ(&doc.TablesForSaving(), &doc.Tables());
    doc.LoadBytes("<meta charset=\"windows-1252\"><p>\xE4 \xC3\xA9</p>", 7);
    EXPECT_NE(doc.Render().find("&auml;"), std::string::npos);
    // Quotes and angle brackets are written as entities even when umlauts are not.
    doc.LoadBytes("<p>\xE4 \xC3\xA9 &lt;&quot;</p>", 7);
    EXPECT_EQ(doc.Render(), "<p>\r\n\xE4 \xC3\xA9 &lt;&quot;\r\n</p>\r\n");
}

TEST(FuzzRegressions, ByteOrderMarkBehindBlanksIsThePagesOwn) {
    // The blanks and control bytes in front go on loading; the mark would then start the saved
    // page and be taken off the phrase on the next load.
    TDocument doc;
    doc.LoadBytes("\x01\r\n \xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e<p>x</p>", 7);
    EXPECT_EQ(doc.Bom(), "\xEF\xBB\xBF");
    EXPECT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Phrases()[0].Text, "Gr\xC3\xBC\xC3\x9F" "e");
    const std::string saved = doc.Render();
    EXPECT_EQ(saved, "\xEF\xBB\xBF" "Gr&uuml;&szlig;e\r\n<p>\r\nx\r\n</p>\r\n");
    TDocument again;
    again.LoadBytes(saved, 7);
    EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc));
    // Behind visible text it is a character of the text, as ever.
    doc.LoadBytes("a\xEF\xBB\xBF<p>x</p>", 7);
    EXPECT_EQ(doc.Bom(), "");
    EXPECT_EQ(doc.Phrases()[0].Text, "a\xEF\xBB\xBF");
}
