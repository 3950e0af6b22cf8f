// The hostile pages of the fuzz corpus as plain tests, so that the ordinary build checks them
// too: every Tags value keeps the template's invariants, saves what the template says and loads
// its own save again. (Their speed is measured in the benchmarks.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"
#include "core/textitem.h"

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
        {"byte-order mark",
         "\xEF\xBB\xBF<html><p>Gr\xC3\xBC\xC3\x9F"
         "e</p></html>"},
        {"high bytes", high + "<p>" + high + "</p><img alt=\"" + high + "\">" + high},
        {"angles", "a > b >> c <<p>> <> < > <<>>"},
        {"escaped entities", "<p>&amp;uuml; &amp;nbsp; &amp;amp;lt;</p><img alt=\"&amp;quot;\">"},
        {"comment opener cut", "<!-\nx>\n<p>Hello</p>\n<img alt=\"Bild\">"},
        {"comment opener cut after <", "<\n!-x>\n<p>Hello</p>"},
        {"umlauts the only bytes no UTF-8", "<p>\xE4 \xC3\xA9</p>"},
        {"alt and content",
         "<meta content=\"C &amp; D\"><img ALT=\"a\" content=\"c\"><img alt=\"\">"
         "<img alt=\"x><img alt=noquote><img alt=\"q"},
        {"'<' as text behind a tag's start", "<p>a\n\rb</p>\n\r<b>c</b<\n\r"},
        {"a quote left open before text", "<p>a</p><x a='b>c</p><p>d"},
        {"escaped script", "<p>a</p><script><!--<script></script>x</script><p>b</p>"},
    };
}

std::vector<std::string> PhraseTexts(const TDocument& doc) {
    std::vector<std::string> texts;
    for (const auto& p : doc.Phrases()) texts.push_back(p.Text);
    return texts;
}

// The save contract on one page: spans in page order and apart; each phrase's text read again
// from its span; every phrase rewritten reloads to the same phrases; one phrase replaced changes
// nothing outside its span and reads back as typed.
void ExpectContract(const std::string& page, TTags tags, const std::string& what) {
    TDocument doc;
    doc.LoadBytes(page, tags);
    const auto& spans = doc.Spans();
    ASSERT_EQ(spans.size(), doc.PhraseCount()) << what;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const TPhraseSpan& s = spans[k];
        EXPECT_TRUE(s.RunBegin <= s.Begin && s.Begin <= s.End && s.End <= s.RunEnd) << what << k;
        EXPECT_LE(s.RunEnd, doc.Page().size()) << what << k;
        if (k > 0) {
            EXPECT_LE(spans[k - 1].RunEnd, s.RunBegin) << what << k;
        }
        EXPECT_EQ(doc.OriginalText(k), doc.Text(k)) << what << k;
    }
    TDocument all;
    all.LoadBytes(doc.RenderAllPhrases(), tags);
    EXPECT_EQ(PhraseTexts(all), PhraseTexts(doc)) << what << ", every phrase rewritten";
    if (doc.PhraseCount() == 0) return;
    for (std::size_t k : {std::size_t{0}, doc.PhraseCount() / 2, doc.PhraseCount() - 1}) {
        TDocument one;
        one.LoadBytes(page, tags);
        const std::string typed = "Q <&\"'> %_" + std::to_string(k) + "_%";
        one.SetPhraseText(k, typed);
        const std::string out = one.Render();
        const std::size_t begin = one.Bom().size() + spans[k].Begin;
        const std::size_t tail = doc.Page().size() - spans[k].End;
        EXPECT_EQ(out.substr(0, begin), page.substr(0, begin)) << what << k;
        EXPECT_EQ(out.substr(out.size() - tail), page.substr(page.size() - tail)) << what << k;
        TDocument again;
        again.LoadBytes(out, tags);
        std::vector<std::string> want = PhraseTexts(doc);
        want[k] = typed;
        EXPECT_EQ(PhraseTexts(again), want) << what << ", phrase " << k << " replaced";
    }
}

}  // namespace

TEST(FuzzRegressions, HostilePagesKeepTheSaveContractWithEveryTags) {
    for (const auto& page : HostilePages())
        for (std::uint8_t bits = 0; bits < 8; ++bits)
            ExpectContract(page.bytes, TTags(bits),
                           std::string(page.name) + ", tags " + std::to_string(bits));
}

TEST(FuzzRegressions, ReplacedPhrasesHoldingMarkerTextsAreWrittenAsGiven) {
    TDocument doc;
    doc.LoadBytes("<p>one</p><img alt=\"two\"><p>three</p>", TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 3u);
    doc.SetPhraseText(0, "%_1_%");
    doc.SetPhraseText(1, "%_1_% & \"x\"");
    doc.SetPhraseText(2, "%_0_%%_2_%");
    EXPECT_EQ(doc.Render(), "<p>%_1_%</p><img alt=\"%_1_% &amp; &quot;x&quot;\"><p>%_0_%%_2_%</p>");
}

TEST(FuzzRegressions, ZeroBytesAndUtf16PagesAreRefused) {
    const std::string utf16("\xFF\xFE<\0p\0>\0H\0i\0", 12);
    for (const std::string& page : {std::string("<p>a</p>\0<p>b</p>", 17), utf16}) {
        TDocument doc;
        doc.LoadBytes("<p>kept</p>", TTags::Default);
        EXPECT_THROW(doc.LoadBytes(page, TTags::Default), TError);
    }
}

TEST(FuzzRegressions, MegabytePagesLoadInFull) {
    const std::string longTag = "<" + std::string(1'000'000, 'a') + ">";
    const std::string emptyLines = "<p>a</p>" + std::string(100'000, '\n') + "b";
    const std::string longAlt = "<img alt=\"" + std::string(1'000'000, 'x');
    const std::string manyTags = [] {
        std::string s;
        while (s.size() < 1'000'000) s += "<b>x</b>\r";
        return s;
    }();
    for (const std::string* page : {&longTag, &emptyLines, &longAlt, &manyTags}) {
        for (const TTags tags : {TTags::None, TTags::AllKinds}) {
            TDocument doc;
            doc.LoadBytes(*page, tags);
            // Every phrase written anew from its text gives the page back: nothing shortened.
            EXPECT_EQ(doc.RenderAllPhrases(), *page)
                << page->size() << " bytes, tags " << int(Bits(tags));
        }
    }
    TDocument doc;
    doc.LoadBytes(emptyLines, TTags::Default);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Text(1), "b");
    doc.LoadBytes(longAlt, TTags::ImageAlt);
    EXPECT_EQ(doc.PhraseCount(), 0u);  // a tag that never closes is markup
    doc.LoadBytes(longAlt + ">", TTags::ImageAlt);
    EXPECT_EQ(doc.PhraseCount(), 0u);  // a value that never closes takes the '>' in too
    doc.LoadBytes(longAlt + "\">", TTags::ImageAlt);
    ASSERT_EQ(doc.PhraseCount(), 1u);
    EXPECT_EQ(doc.Text(0).size(), 1'000'000u);
    doc.LoadBytes(manyTags, TTags::PlainText);
    EXPECT_EQ(doc.PhraseCount(), (manyTags.size() / 9));
}

TEST(FuzzRegressions, EscapedEntitiesKeepTheirMeaningThroughASave) {
    TDocument doc;
    doc.LoadBytes("<p>&amp;uuml; and &amp;nbsp; R&amp;D</p><img alt=\"&amp;lt;b&amp;gt;\">",
                  TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Text(0), "&uuml; and &nbsp; R&D");
    EXPECT_EQ(doc.Text(1), "&lt;b&gt;");
    const std::string saved = doc.RenderAllPhrases();
    EXPECT_EQ(saved, "<p>&amp;uuml; and &amp;nbsp; R&amp;D</p><img alt=\"&amp;lt;b&amp;gt;\">");
    TDocument again;
    again.LoadBytes(saved, TTags::AllKinds);
    EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc));
}

TEST(FuzzRegressions, Windows1252PageStaysWindows1252WhenSaved) {
    // Only the umlaut of the changed phrase makes this page no UTF-8: as an entity, it would
    // leave "\xC3\xA9" to read as one character on the next load.
    TDocument doc;
    doc.LoadBytes("<p>\xE4</p><b>\xC3\xA9</b>", TTags::AllKinds);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Windows1252);
    doc.SetPhraseText(0, "\u00FC<\"");
    const std::string saved = doc.Render();
    // Quotes and angle brackets are written as entities even when umlauts are not.
    EXPECT_EQ(saved, "<p>\xFC&lt;&quot;</p><b>\xC3\xA9</b>");
    EXPECT_EQ(doc.SavingMode(), TEncodeMode::KeepCharacters);
    TDocument again;
    again.LoadBytes(saved, TTags::AllKinds);
    EXPECT_EQ(again.Encoding(), TPageEncoding::Windows1252);
    EXPECT_EQ(PhraseTexts(again), PhraseTexts(doc));

    // Where another byte keeps the page from reading as UTF-8, umlauts are entities as ever.
    doc.LoadBytes("<p>\xE4</p><b>\xC3\xA9 \xE9</b>", TTags::AllKinds);
    doc.SetPhraseText(0, "\u00FC");
    EXPECT_EQ(doc.Render(), "<p>&uuml;</p><b>\xC3\xA9 \xE9</b>");
    EXPECT_EQ(doc.SavingMode(), TEncodeMode::Entities);

    // A new text whose own bytes read as UTF-8 (U+00C3 U+00A4 are "\xC3\xA4" here) where it
    // replaces the page's only other high byte: its characters become references.
    doc.LoadBytes("<p>a</p><b>\xC9</b>", TTags::AllKinds);
    doc.SetPhraseText(0, "\u00C3\u00A4 \u00E2\u201A\u00AC");
    doc.SetPhraseText(1, "x");
    EXPECT_EQ(doc.Render(), "<p>&#195;&#164; &#226;&#8218;&#172;</p><b>x</b>");
    again.LoadBytes(doc.Render(), TTags::AllKinds);
    EXPECT_EQ(again.Encoding(), TPageEncoding::Windows1252);
}

TEST(FuzzRegressions, ByteOrderMarkBehindBlanksIsThePagesOwn) {
    // A mark behind blanks and control bytes still says the page is UTF-8 and is no part of
    // the first phrase.
    const std::string page =
        "\x01\r\n \xEF\xBB\xBF"
        "Gr\xC3\xBC\xC3\x9F"
        "e<p>x</p>";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    EXPECT_EQ(doc.Bom(), "\x01\r\n \xEF\xBB\xBF");
    EXPECT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Text(0),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    doc.SetPhraseText(1, "\xC3\xA4");
    EXPECT_EQ(doc.Render(),
              "\x01\r\n \xEF\xBB\xBF"
              "Gr\xC3\xBC\xC3\x9F"
              "e<p>&auml;</p>");
    EXPECT_EQ(doc.TemplateBytes(), "\x01\r\n \xEF\xBB\xBF%_0_%<p>%_1_%</p>");
    // Behind visible text it is a character of the text, as ever.
    doc.LoadBytes("a\xEF\xBB\xBF<p>x</p>", TTags::AllKinds);
    EXPECT_EQ(doc.Bom(), "");
    EXPECT_EQ(doc.Text(0), "a\xEF\xBB\xBF");
}
