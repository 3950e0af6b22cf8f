#include "core/encoding.h"

#include <gtest/gtest.h>

#include "core/document.h"
#include "core/errors.h"

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

namespace {

std::string Decoded(std::string s, const TEntityTables& tables) {
    Decode(s, tables);
    return s;
}

std::string Encoded(std::string s, const TEntityTables& tables) {
    Encode(s, tables);
    return s;
}

}  // namespace

TEST(Encoding, TablesOfEachEncoding) {
    struct Case {
        TPageEncoding encoding;
        std::string page;  // as the page holds it
        std::string text;  // as Text holds it
    };
    // The bytes of a Shift_JIS and an EUC-KR text that are umlauts in Windows-1252: no table
    // of a Legacy page may touch them.
    const std::string sjis = "\x83\x5C\x83\x74\x83\x67 \x8A\xC4\x8B\xD6\x93\xFC\x82\xE4";
    const std::string euckr = "\xB0\xDF\xC4\xA1\xB5\xDC\xBF\xF6\xC6\xFC";
    const Case cases[] = {
        {TPageEncoding::Windows1252, "x&nbsp;y&nbsp;", "x\xA0y\xA0"},
        {TPageEncoding::Windows1252, "&Auml;&lt;&quot;&gt;&amp; &nbsp;", "\xC4<\">& \xA0"},
        {TPageEncoding::Utf8, "a&nbsp;&uuml;", "a\xC2\xA0\xC3\xBC"},
        {TPageEncoding::Legacy, "&lt;b&gt; &quot;R&D&quot; &amp; more", "<b> \"R&D\" & more"},
        {TPageEncoding::Legacy, sjis + " &amp; " + euckr, sjis + " & " + euckr},
    };
    for (const Case& c : cases) {
        const TEntityTables& tables = TablesFor(c.encoding);
        EXPECT_EQ(Decoded(c.page, tables), c.text) << c.page;
        EXPECT_EQ(Encoded(c.text, tables), c.page) << c.page;
    }
    EXPECT_EQ(&TablesFor(TPageEncoding::Legacy), &AsciiTables());
    EXPECT_EQ(Windows1252Tables().nbsp, "\xA0");
    EXPECT_EQ(Utf8Tables().nbsp, "\xC2\xA0");
    EXPECT_EQ(AsciiTables().nbsp, "");
    // Legacy pages keep every entity but the four, &nbsp; too; an escaped reference stays
    // escaped in every table.
    EXPECT_EQ(Decoded("&nbsp;&auml;&#228;", AsciiTables()), "&nbsp;&auml;&#228;");
    EXPECT_EQ(Encoded("\xA0\xE4", AsciiTables()), "\xA0\xE4");
    for (TPageEncoding encoding :
         {TPageEncoding::Windows1252, TPageEncoding::Utf8, TPageEncoding::Legacy}) {
        EXPECT_EQ(Decoded("&amp;nbsp; &amp;lt;", TablesFor(encoding)), "&amp;nbsp; &amp;lt;");
        const std::string nbsp = TablesFor(encoding).nbsp;
        EXPECT_EQ(Decoded("&amp;&nbsp;", TablesFor(encoding)),
                  nbsp.empty() ? "&&nbsp;" : "&" + nbsp);
    }
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
    EXPECT_EQ(doc.Phrases()[0].Text, "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF");
    EXPECT_EQ(doc.Phrases()[2].Text,
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
    EXPECT_EQ(doc.Phrases()[0].Text, "Hello");
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
    EXPECT_EQ(doc.Phrases()[0].Text,
              "Gr\xF6\xDF"
              "e");
    doc.SetPhraseText(0,
                      "Gr\xF6\xDF"
                      "er");
    EXPECT_EQ(doc.Render(), "<meta charset=\"ISO-8859-1\"><p>Gr&ouml;&szlig;er</p>");
}
