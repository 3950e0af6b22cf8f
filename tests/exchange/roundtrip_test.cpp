#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/text/encoding.h"
#include "core/text/utf8.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "tests/exchange/testfiles.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

// Exports the page and recombines its template with the untouched text file.
std::string RoundTrip(const TDocument& doc) {
    TTempDir tmp;
    ExportDocument(doc, "/web/page.htm", tmp.Path().string());
    Combine(tmp / "page.txt", tmp / "page.templ", tmp / "page.htm");
    return ReadBytes(tmp / "page.htm");
}

void ExpectSamePhrases(const TDocument& a, const TDocument& b, const std::string& name) {
    ASSERT_EQ(a.PhraseCount(), b.PhraseCount()) << name;
    for (std::size_t i = 0; i < a.PhraseCount(); ++i) {
        EXPECT_EQ(a.Text(i), b.Text(i)) << name << " phrase " << i;
        EXPECT_EQ(a.Kind(i), b.Kind(i)) << name << " phrase " << i;
    }
}

// Untouched, the round trip gives the page with every phrase written anew, which renders as the
// page itself, and reads back to the same phrases.
TEST(RoundTripTest, RealPagesComeBackUntouched) {
    const auto pages = testing::CorpusPages();
    ASSERT_FALSE(pages.empty());
    for (const auto& path : pages) {
        for (const TTags tags : {TTags::Default, TTags::AllKinds}) {
            const std::string name =
                path.filename().string() + " tags " + std::to_string(Bits(tags));
            TDocument doc;
            doc.LoadFile(path.string(), tags);
            const std::string combined = RoundTrip(doc);
            EXPECT_EQ(combined, doc.RenderAllPhrases()) << name;
            TDocument again;
            again.LoadBytes(combined, tags);
            EXPECT_EQ(again.EncodingInfo(), doc.EncodingInfo()) << name;
            ExpectSamePhrases(doc, again, name);
        }
    }
}

// What a translator might type: markup characters, umlauts and characters that most page
// encodings cannot hold (a snowman, a CJK ideograph, an emoji).
std::string Translation(std::size_t k) {
    return "\xC3\x9C"
           "bersetzung " +
           std::to_string(k) +
           ": Tom & \"Jerry\" <b>fett</b> > \xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xE2\x98\x83 "
           "\xE6\xBC\xA2 \xF0\x9F\x98\x80 \xE2\x82\xAC";
}

std::string TranslatedTextFile(std::size_t phrases, bool bom) {
    std::string text = bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t k = 0; k < phrases; ++k)
        text.append("<")
            .append(std::to_string(k + 1))
            .append(">")
            .append(Translation(k))
            .append("</>\r\n");
    return text;
}

// Every phrase translated, the text file saved as UTF-8 with and without a byte-order mark: the
// page reads back to exactly those texts, in its own encoding.
TEST(RoundTripTest, RealPagesTakeTheirTranslation) {
    for (const auto& path : testing::CorpusPages()) {
        TDocument doc;
        doc.LoadFile(path.string(), TTags::AllKinds);
        for (bool bom : {false, true}) {
            const std::string name = path.filename().string() + (bom ? " with BOM" : "");
            TTempDir tmp;
            ExportDocument(doc, "/web/page.htm", tmp.Path().string());
            WriteBytes(tmp / "page.txt", TranslatedTextFile(doc.PhraseCount(), bom));
            Combine(tmp / "page.txt", tmp / "page.templ", tmp / "page.htm");

            TDocument again;
            again.LoadFile(tmp / "page.htm", TTags::AllKinds);
            // A page that declares no encoding and holds only ASCII takes the text file's.
            const bool declaresNone =
                IsAscii(doc.Bytes()) &&
                DetectEncoding(std::string(doc.Bytes()) + "\xC3\xA9") == TPageEncoding::Utf8;
            const TEncodingInfo expected =
                declaresNone ? TEncodingInfo{TPageEncoding::Utf8, {}} : doc.EncodingInfo();
            ASSERT_EQ(again.EncodingInfo(), expected) << name;
            ASSERT_EQ(again.PhraseCount(), doc.PhraseCount()) << name;
            for (std::size_t k = 0; k < doc.PhraseCount(); ++k) {
                EXPECT_EQ(again.Text(k), Translation(k)) << name << " phrase " << k;
                EXPECT_EQ(again.Kind(k), doc.Kind(k)) << name;
            }
        }
    }
}

// The faults that raw insertion made: markup written as entities came back as markup.
TEST(RoundTripTest, EscapedMarkupStaysText) {
    const std::string page =
        "<html><head><title>A &lt;title&gt;</title></head><body>\r\n"
        "<p>Use <code>&lt;Directory&gt;</code> and un<b>bold</b>ed &amp; more.</p>\r\n"
        "<img alt=\"Tom &amp; &quot;Jerry&quot;\" src=x.png><img alt='it&#39;s'>\r\n"
        "<p>Never write &lt;script&gt; here.</p>\r\n"
        "<pre>\r\n  if (a &lt; b)\r\n\treturn;\r\n</pre>\r\n"
        "<p>The end</p></body></html>";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 12u);
    // Every phrase is written as the encode table writes it, so the page comes back byte for
    // byte.
    EXPECT_EQ(RoundTrip(doc), page);
}

TEST(RoundTripTest, MoreThanSixteenBitsOfPhrases) {
    std::string page;
    for (int i = 0; i < 70000; ++i) page += "<p>w" + std::to_string(i) + "</p>\n";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 70000u);
    EXPECT_EQ(RoundTrip(doc), page);
}

TEST(RoundTripTest, ReplacedPhrasesAreRecombinedAsReplaced) {
    TDocument doc;
    doc.LoadBytes("<p>One</p>\r\n<p>Two</p>\r\n<img alt=Three>", TTags::AllKinds);
    doc.SetPhraseText(0, "first\r\nsecond");  // the text file holds a phrase on one line
    doc.SetPhraseText(2, "Drei & vier");
    EXPECT_EQ(RoundTrip(doc), "<p>first second</p>\r\n<p>Two</p>\r\n<img alt=\"Drei &amp; vier\">");
}

TEST(RoundTripTest, Utf8PageKeepsItsByteOrderMarkAndStaysUtf8) {
    const std::string page =
        "\xEF\xBB\xBF<html><body>\r\n<p>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</p>\r\n"
        "<p>\xC4\x8D"
        "esk\xC3\xBD text</p>\r\n<img alt=\"\xE5\x86\x99\">\r\n</body></html>\r\n";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    TTempDir tmp;
    ExportDocument(doc, "/web/page.htm", tmp.Path().string());
    EXPECT_EQ(ReadBytes(tmp / "page.templ").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadBytes(tmp / "page.txt"),
              "<1>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</>\r\n<2>\xC4\x8D"
              "esk\xC3\xBD text</>\r\n"
              "<3>\xE5\x86\x99</>\r\n");
    Combine(tmp / "page.txt", tmp / "page.templ", tmp / "page.htm");
    EXPECT_EQ(ReadBytes(tmp / "page.htm"), page);
}

}  // namespace
}  // namespace quillfen
