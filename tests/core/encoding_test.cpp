#include "core/text/encoding.h"

#include <gtest/gtest.h>

#include "core/document/document.h"
#include "core/errors.h"
#include "core/text/phrasetext.h"

using namespace quillfen;

TEST(Encoding, Detection) {
    const TEncodingInfo w1252{TPageEncoding::Windows1252, {}};
    const TEncodingInfo utf8{TPageEncoding::Utf8, {}};
    auto legacy = [](const char* name) { return TEncodingInfo{TPageEncoding::Legacy, name}; };
    const std::pair<std::string, TEncodingInfo> cases[] = {
        {"\xEF\xBB\xBF<p>\xFC</p>", utf8},
        {" \r\n\xEF\xBB\xBF<meta charset=euc-kr>", utf8},
        {"<meta charset=\"UTF-8\"><p>\xFC</p>", utf8},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; Charset = utf8\">", utf8},
        {"<meta charset=iso-8859-1><p>\xC3\xBC</p>", w1252},
        {"<meta charset='windows-1252'>", w1252},
        {"<meta charset=x-cp1252>", w1252},
        {"<meta charset=Latin1>", w1252},
        {"<meta charset=US-ASCII><p>\xC3\xBC</p>", w1252},
        {"<meta charset=\"EUC-KR\">", legacy("euc-kr")},
        {"<meta http-equiv=Content-Type content='text/html;charset=Shift_JIS'>",
         legacy("shift_jis")},
        {"<meta charset=windows-1251><p>\xCF</p>", legacy("windows-1251")},
        {"<meta charset=iso-8859-15>", legacy("iso-8859-15")},
        // The first meta naming a charset counts; one without a charset is passed over.
        {"<meta name=x content=y><meta charset=gbk><meta charset=utf-8>", legacy("gbk")},
        // As browsers read the bytes: in a comment or in another tag's value it names nothing.
        {"<!-- <meta charset=gbk> --><p>\xFC</p>", w1252},
        {"<img alt='<meta charset=\"utf-8\">'><p>\xFC</p><meta charset=gbk>", legacy("gbk")},
        {"<!-- a > b --><a title=\"x>y\"><meta charset=utf-8><p>\xFC</p>", utf8},
        // A comment ends at "--!>" as well: the meta after it declares.
        {"<!-- x --!><meta charset=gbk>", legacy("gbk")},
        {"<title><meta charset=utf-8></title><script>'<meta charset=utf-8>'</script>\xFC", w1252},
        // ... where the tokenizer sees the element: "title\xFF" is no title.
        {"<title\xFF><meta charset=gbk>", legacy("gbk")},
        // ... and in svg: a CDATA section is text, a script or style an element whose content
        // is markup, which a meta leaves.
        {"<svg><text><![CDATA[x><meta charset=gbk>]]></text></svg>\xFC", w1252},
        {"<svg><style>a{}<meta charset=gbk>", legacy("gbk")},
        // The meta's own attributes, read as the tokenizer reads them.
        {"<meta name=d content=\"a > b charset=\"utf-7\"><p>\xFC</p>", w1252},
        {"<meta content=\"text/html; charset=gbk\" http-equiv=content-type>", legacy("gbk")},
        {"<p>Gr\xC3\xB6\xC3\x9F!</p>", utf8},
        {"<p>Gr\xF6\xDF!</p>", w1252},
        {"<p>plain ascii</p>", w1252},
    };
    for (const auto& [page, want] : cases) {
        EXPECT_EQ(DetectPageEncoding(page), want) << page;
        EXPECT_EQ(DetectEncoding(page), want.kind) << page;
    }
    // A truncated sequence, an overlong form and a surrogate are not UTF-8.
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80 \xE6\x97\xA5"));
}

// A phrase written anew never changes what the page declares: its bytes are read as the page's
// text before and after. Here an svg script ends where a browser's HTML content begins, not at a
// "</script>" in a title's text, which a new text writes as "&lt;/script&gt;".
TEST(Encoding, PhrasesWrittenAnewKeepTheDeclaration) {
    const struct {
        const char* page;
        std::size_t phrase;
        const char* text;
    } cases[] = {
        {"<svg><script>x<p><title>a</script>b</title><meta charset=gbk>", 0, "a</script>c"},
        {"<svg><style>s</svg><p><textarea></style></textarea><meta charset=gbk>", 0, "</style>"},
    };
    for (const auto& c : cases) {
        TDocument doc;
        doc.LoadBytes(c.page, TTags::PlainText);
        ASSERT_EQ(doc.EncodingInfo(), (TEncodingInfo{TPageEncoding::Legacy, "gbk"})) << c.page;
        doc.SetPhraseText(c.phrase, c.text);
        EXPECT_EQ(DetectPageEncoding(doc.Render()), doc.EncodingInfo()) << c.page;
    }
}

TEST(Encoding, StatefulAndWideEncodingsAreRefusedByName) {
    const std::pair<std::string, std::string> cases[] = {
        {"<meta charset=iso-2022-jp>", "ISO-2022-JP"},
        {"<meta charset=UTF-7>", "UTF-7"},
        {"<meta charset=hz-gb-2312>", "HZ-GB-2312"},
        {"<meta http-equiv=content-type content=\"text/html; charset=utf-16le\">", "UTF-16LE"},
        {"<meta charset=utf-32>", "UTF-32"},
        {"<meta charset=ucs-2>", "UCS-2"},
        {std::string("\xFF\xFE<\0p\0", 6), "UTF-16LE"},
        {std::string("\xFE\xFF\0<\0p", 6), "UTF-16BE"},
        {std::string("\xFF\xFE\0\0<\0\0\0", 8), "UTF-32LE"},
    };
    for (const auto& [page, name] : cases) {
        try {
            DetectPageEncoding(page, "/site/page.html");
            ADD_FAILURE() << name << " was accepted";
        } catch (const TError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("/site/page.html"), std::string::npos) << text;
            EXPECT_NE(text.find(" " + name + " "), std::string::npos) << text;
        }
        EXPECT_EQ(DetectEncoding(page), TPageEncoding::Windows1252) << name;
    }
}

// A phrase's text is the page's characters in UTF-8 for every encoding; a byte that starts no
// character stays a byte, so that writing the text gives the page's bytes back.
TEST(Encoding, TextsAreUtf8InEveryEncoding) {
    const TEncodingInfo w1252, utf8{TPageEncoding::Utf8, {}},
        sjis{TPageEncoding::Legacy, "shift_jis"}, euckr{TPageEncoding::Legacy, "euc-kr"};
    const struct {
        TEncodingInfo encoding;
        std::string page, text;
    } cases[] = {
        {w1252, "x&nbsp;\xE4\x80&auml;", "x\u00A0\u00E4\u20AC\u00E4"},
        {utf8, "a&nbsp;\xC3\xBC\xFF&#252;", "a\u00A0\u00FC\xFF\u00FC"},
        // Shift_JIS: trail bytes that are ASCII, and a lead byte without its trail.
        {sjis, "\x83\x5C\x83\x74\x83\x67 &amp; \x82", "\u30BD\u30D5\u30C8 & \x82"},
        {euckr, "\xC7\xD1\xB1\xB9&#xAE00;", "\uD55C\uAD6D\uAE00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeText(c.page, c.encoding, TReferences::Text), c.text) << c.page;
        const std::string bytes = PageBytesOfText(TextOfPageBytes(c.page, c.encoding), c.encoding);
        EXPECT_EQ(bytes, c.page) << c.page;
    }
    // A character the encoding lacks goes in as a reference.
    EXPECT_EQ(PageBytesOfText("\u042F\u00E4\U0001F600", w1252), "&#1071;\xE4&#128512;");
    EXPECT_EQ(PageBytesOfText("\u00E4\u00A5", sjis), "&#228;&#165;");
}

TEST(Encoding, Utf8PagesAreNeverCorrupted) {
    // Japanese (0xE4 leads many of its characters), Czech ("č" is C4 8D) and German.
    const std::string page =
        "<html><head><meta charset=\"utf-8\"></head><body>\n"
        "<p>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</p>\n"
        "<p>\xC4\x8D"
        "esk\xC3\xBD text</p>\n"
        "<p>Gr&ouml;\xC3\x9F"
        "e &amp; M&uuml;he</p>\n"
        "<img alt=\"\xE5\x86\x99\xE7\x9C\x9F\"></body></html>\n";
    TDocument doc;
    doc.LoadBytes(page, TTags::AllKinds);
    ASSERT_EQ(doc.Encoding(), TPageEncoding::Utf8);
    ASSERT_EQ(doc.PhraseCount(), 4u);
    EXPECT_EQ(doc.Text(0), "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF");
    EXPECT_EQ(doc.Text(2),
              "Gr\xC3\xB6\xC3\x9F"
              "e & M\xC3\xBChe");

    doc.SetPhraseText(1,
                      "Nov\xC3\xBD \xC4\x8D"
                      "esk\xC3\xBD \xC3\x84rger \"x\"");
    const std::string saved = doc.Render();
    EXPECT_TRUE(IsValidUtf8(saved));
    EXPECT_EQ(saved,
              "<html><head><meta charset=\"utf-8\"></head><body>\n"
              "<p>\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF</p>\n"
              "<p>Nov\xC3\xBD \xC4\x8D"
              "esk\xC3\xBD &Auml;rger &quot;x&quot;</p>\n"
              "<p>Gr&ouml;\xC3\x9F"
              "e &amp; M&uuml;he</p>\n"
              "<img alt=\"\xE5\x86\x99\xE7\x9C\x9F\"></body></html>\n");
}

TEST(Encoding, ByteOrderMarkStaysInFrontAndOutOfPhrases) {
    TDocument doc;
    doc.LoadBytes("\xEF\xBB\xBFHello <b>W\xC3\xB6rld</b>", TTags::AllKinds);
    ASSERT_EQ(doc.PhraseCount(), 2u);
    EXPECT_EQ(doc.Text(0), "Hello");
    EXPECT_EQ(doc.Bom(), "\xEF\xBB\xBF");
    doc.SetPhraseText(1, "W\xC3\xB6rld!");
    EXPECT_EQ(doc.Render(), "\xEF\xBB\xBFHello <b>W&ouml;rld!</b>");

    doc.LoadBytes("\xEF\xBB\xBF", TTags::AllKinds);
    EXPECT_EQ(doc.Render(), "\xEF\xBB\xBF");
}

TEST(Encoding, DeclaredLatin1IsHandledAsWindows1252) {
    TDocument doc;
    doc.LoadBytes(
        "<meta charset=\"ISO-8859-1\"><p>Gr&ouml;\xDF"
        "e</p>",
        TTags::AllKinds);
    EXPECT_EQ(doc.Encoding(), TPageEncoding::Windows1252);
    ASSERT_EQ(doc.PhraseCount(), 1u);
    EXPECT_EQ(doc.Text(0), "Gr\u00F6\u00DFe");
    doc.SetPhraseText(0, "Gr\u00F6\u00DFer");
    EXPECT_EQ(doc.Render(), "<meta charset=\"ISO-8859-1\"><p>Gr&ouml;&szlig;er</p>");
}
