#include <gtest/gtest.h>

#include "document.h"
#include "encoding.h"

using namespace quillfen;

TEST(Encoding, Detection) {
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF<p>x</p>"), TPageEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("<meta charset=\"UTF-8\"><p>\xFC</p>"), TPageEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                             "Charset=utf-8\">"),
              TPageEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("<meta charset=iso-8859-1><p>\xC3\xBC</p>"),
              TPageEncoding::Windows1252);
    EXPECT_EQ(DetectEncoding("<meta charset='windows-1252'>"), TPageEncoding::Windows1252);
    EXPECT_EQ(DetectEncoding("<p>Gr\xC3\xB6\xC3\x9F" "e</p>"), TPageEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("<p>Gr\xF6\xDF" "e</p>"), TPageEncoding::Windows1252);
    EXPECT_EQ(DetectEncoding("<p>plain ascii</p>"), TPageEncoding::Windows1252);
    // A truncated sequence, an overlong form and a surrogate are not UTF-8.
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80 \xE6\x97\xA5"));
}

namespace {

// What the writer gives for one line per entry with UTF-8 tables, independent of the
// document's own bookkeeping.
std::string Expected(const std::string& bom, const std::vector<std::string>& lines) {
    std::string out = bom;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

}  // namespace

TEST(Encoding, Utf8PagesAreNeverCorrupted) {
    // Japanese (0xE4 leads many of its characters), Czech ("č" is C4 8D) and German.
    const std::string page =
        "<html><head><meta charset=\"utf-8\"></head><body>\n"
        "<p>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</p>\n"
        "<p>\xC4\x8D" "esk\xC3\xBD text</p>\n"
        "<p>Gr&ouml;\xC3\x9F" "e &amp; M&uuml;he</p>\n"
        "<img alt=\"\xE5\x86\x99\xE7\x9C\x9F\"></body></html>\n";
    TDocument doc;
    doc.LoadBytes(page, 7);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    ASSERT_EQ(doc.PhraseCount(), 4u);
    EXPECT_EQ(doc.Phrases()[0].Text, "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF");
    EXPECT_EQ(doc.Phrases()[2].Text, "Gr\xC3\xB6\xC3\x9F" "e & M\xC3\xBChe");

    doc.SetPhraseText(1, "Nov\xC3\xBD \xC4\x8D" "esk\xC3\xBD \xC3\x84rger \"x\"");
    const std::string saved = doc.Render();
    EXPECT_TRUE(IsValidUtf8(saved));
    EXPECT_EQ(saved, Expected("", {"<html>", "<head>", "<meta charset=\"utf-8\">", "</head>",
                                   "<body>", "<p>", "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF", "</p>",
                                   "<p>",
                                   "Nov\xC3\xBD \xC4\x8D" "esk\xC3\xBD &Auml;rger &quot;x&quot;",
                                   "</p>", "<p>", "Gr&ouml;&szlig;e &amp; M&uuml;he", "</p>",
                                   "<img alt=\"\xE5\x86\x99\xE7\x9C\x9F\">", "</body>",
                                   "</html>"}));
}

TEST(Encoding, ByteOrderMarkStaysInFrontAndOutOfPhrases) {
    TDocument doc;
    doc.LoadBytes("\xEF\xBB\xBFHello <b>W\xC3\xB6rld</b>", 7);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Phrases()[0].Text, "Hello");
    EXPECT_EQ(doc.Bom(), "\xEF\xBB\xBF");
    EXPECT_EQ(doc.Render(), Expected("\xEF\xBB\xBF", {"Hello ", "<b>", "W&ouml;rld", "</b>"}));

    doc.LoadBytes("\xEF\xBB\xBF", 7);
    EXPECT_EQ(doc.Render(), "\xEF\xBB\xBF");
}

TEST(Encoding, DeclaredLatin1IsHandledAsWindows1252) {
    TDocument doc;
    doc.LoadBytes("<meta charset=\"ISO-8859-1\"><p>Gr&ouml;\xDF" "e</p>", 7);
    EXPECT_EQ(doc.Encoding(), TPageEncoding::Windows1252);
    ASSERT_EQ(doc.PhraseCount(), 1u);
    EXPECT_EQ(doc.Phrases()[0].Text, "Gr\xF6\xDF" "e");
    EXPECT_EQ(doc.Render(), Expected("", {"<meta charset=\"ISO-8859-1\">", "<p>",
                                          "Gr&ouml;&szlig;e", "</p>"}));
}
