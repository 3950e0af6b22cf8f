#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/buffer.h"
#include "core/document.h"
#include "exchange/combine.h"
#include "exchange/export.h"
#include "testfiles.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

// Exports the page and recombines the untouched text file with the template.
std::string RoundTrip(const TDocument& doc) {
    TTempDir tmp;
    ExportDocument(doc, "/web/page.htm", tmp.Path().string());
    Combine(tmp / "page.txt", tmp / "page.templ", tmp / "page.htm");
    return ReadBytes(tmp / "page.htm");
}

TEST(RoundTripTest, PageWithoutEntitiesOrEdgeBlanksComesBackAsSaved) {
    const std::string page =
        "<html>\r\n<head>\r\n<title>Quillfen</title>\r\n"
        "<meta name=\"description\" content=\"A small page\">\r\n</head>\r\n<body>\r\n"
        "<h1>Welcome</h1>\r\n<p>Plain words\r\non two lines</p>\r\n"
        "<img src=\"a.gif\" alt=\"Logo\"><img src=\"b.gif\">\r\n"
        "<!-- a comment\r\nover two lines -->\r\n<p>&nbsp;</p>\r\n"
        "<p>Second<br>Third</p>\r\n</body>\r\n</html>\r\n";
    TDocument doc;
    doc.LoadBytes(page, 7);
    ASSERT_GE(doc.PhraseCount(), 6u);
    EXPECT_EQ(RoundTrip(doc), doc.Render());
}

TEST(RoundTripTest, EntitiesAndEdgeBlanksAreTheOnlyDifference) {
    const std::string page =
        "<p>Fish &amp; Chips <b>bold</b> tail</p>\r\n<p>M&uuml;ller</p>\r\n"
        "<img alt=\"a &quot;b&quot;\">\r\n<p>Same</p>\r\n";
    TDocument doc;
    doc.LoadBytes(page, 7);
    const TLines saved = SplitLines(doc.Render());
    const TLines combined = SplitLines(RoundTrip(doc));
    ASSERT_EQ(saved.size(), combined.size());

    std::vector<std::pair<std::string, std::string>> differences;
    for (std::size_t i = 0; i < saved.size(); ++i)
        if (saved[i] != combined[i]) differences.emplace_back(saved[i], combined[i]);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Fish &amp; Chips ", "Fish & Chips"},
        {" tail", "tail"},
        {"M&uuml;ller", "M\xfcller"},
        {"<img alt=\"a &quot;b&quot;\">", "<img alt=\"a \"b\"\">"},
    };
    EXPECT_EQ(differences, expected);
}

TEST(RoundTripTest, MoreThanSixteenBitsOfPhrases) {
    std::string page;
    for (int i = 0; i < 70000; ++i) page += "<p>w" + std::to_string(i) + "</p>\r\n";
    TDocument doc;
    doc.LoadBytes(page, 7);
    ASSERT_EQ(doc.PhraseCount(), 70000u);
    EXPECT_EQ(RoundTrip(doc), doc.Render());
}

TEST(RoundTripTest, PhraseWithALineBreakKeepsLaterPhrasesInPlace) {
    TDocument doc;
    doc.LoadBytes("<p>One</p>\r\n<p>Two</p>\r\n<p>Three</p>\r\n", 7);
    doc.SetPhraseText(0, "first\r\nsecond");
    EXPECT_EQ(RoundTrip(doc),
              "<p>\r\nfirst second\r\n</p>\r\n<p>\r\nTwo\r\n</p>\r\n<p>\r\nThree\r\n</p>\r\n");
}

TEST(RoundTripTest, TranslatedTextFileGivesAPageWithTheNewPhrases) {
    TDocument doc;
    doc.LoadBytes("<p>Hello <b>World</b></p>\r\n<img src=\"a.gif\" alt=\"Logo\">\r\n", 7);
    TTempDir tmp;
    ExportDocument(doc, "/web/page.htm", tmp.Path().string());
    WriteBytes(tmp / "page.txt", "<1>Hallo</>\n<2>Welt</>\n<3>Bild</>\n");
    Combine(tmp / "page.txt", tmp / "page.templ", tmp / "new.htm");

    TDocument result;
    result.LoadBytes(ReadBytes(tmp / "new.htm"), 7);
    ASSERT_EQ(result.PhraseCount(), 3u);
    EXPECT_EQ(result.Phrases()[0].Text, "Hallo");
    EXPECT_EQ(result.Phrases()[1].Text, "Welt");
    EXPECT_EQ(result.Phrases()[2].Text, "Bild");
    EXPECT_EQ(result.Template(), doc.Template());
}


TEST(RoundTripTest, Utf8PageKeepsItsByteOrderMarkAndStaysUtf8) {
    const std::string page =
        "\xEF\xBB\xBF<html><body>\r\n<p>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</p>\r\n"
        "<p>\xC4\x8D" "esk\xC3\xBD text</p>\r\n<img alt=\"\xE5\x86\x99\">\r\n</body></html>\r\n";
    TDocument doc;
    doc.LoadBytes(page, 7);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    TTempDir tmp;
    ExportDocument(doc, "/web/page.htm", tmp.Path().string());
    EXPECT_EQ(ReadBytes(tmp / "page.templ").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadBytes(tmp / "page.txt"),
              "<1>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</>\r\n<2>\xC4\x8D" "esk\xC3\xBD text</>\r\n"
              "<3>\xE5\x86\x99</>\r\n");
    Combine(tmp / "page.txt", tmp / "page.templ", tmp / "page.htm");
    const std::string combined = ReadBytes(tmp / "page.htm");
    EXPECT_EQ(combined, doc.Render());
    EXPECT_TRUE(IsValidUtf8(combined));
}

}  // namespace
}  // namespace quillfen
