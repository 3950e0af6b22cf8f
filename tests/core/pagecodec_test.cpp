#include "core/pagecodec.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <random>

#include "core/errors.h"

using namespace quillfen;

namespace {

const TEncodingInfo kWindows1252{TPageEncoding::Windows1252, {}};
const TEncodingInfo kUtf8{TPageEncoding::Utf8, {}};

TEncodingInfo Legacy(const char* name) { return {TPageEncoding::Legacy, name}; }

// Wine lacks some code pages that Windows has (GB18030); their cases are left out there.
bool SystemHas([[maybe_unused]] const TEncodingInfo& encoding) {
#ifdef _WIN32
    try {
        CheckConvertible(encoding);
    } catch (const TError&) {
        return false;
    }
#endif
    return true;
}

std::string Hex(std::string_view s) {
    std::string out;
    char buffer[4];
    for (unsigned char c : s) {
        std::snprintf(buffer, sizeof buffer, "%02X ", c);
        out += buffer;
    }
    return out;
}

}  // namespace

TEST(PageCodec, RealTextInEveryEncodingBothWays) {
    struct Case {
        TEncodingInfo encoding;
        std::string page;
        std::string utf8;
    };
    const Case cases[] = {
        {kWindows1252, "Gr\xF6\xDF! \x80 \x93x\x94\xA0",
         "Gr\xC3\xB6\xC3\x9F! \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D\xC2\xA0"},
        {kUtf8, "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
         "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
        // "Korean", "Japanese" (with a backslash, which the plain Shift_JIS of the C library reads
        // as a yen sign), "Chinese" twice, "Hello", EUC-JP and KOI8-R.
        {Legacy("euc-kr"), "\xC7\xD1\xB1\xB9\xBE\xEE <b>",
         "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 <b>"},
        {Legacy("shift_jis"), "\x93\xFA\x96\x7B\x8C\xEA C:\\x~",
         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E C:\\x~"},
        {Legacy("gbk"), "\xD6\xD0\xCE\xC4 & \x80", "\xE4\xB8\xAD\xE6\x96\x87 & \xE2\x82\xAC"},
        {Legacy("big5"), "\xA4\xA4\xA4\xE5", "\xE4\xB8\xAD\xE6\x96\x87"},
        {Legacy("windows-1251"), "\xCF\xF0\xE8\xE2\xE5\xF2!",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82!"},
        {Legacy("euc-jp"), "\xC6\xFC\xCB\xDC\xB8\xEC", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {Legacy("koi8-r"), "\xF0\xD2\xC9\xD7\xC5\xD4",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding.name.empty() ? Hex(c.page) : c.encoding.name);
        EXPECT_NO_THROW(CheckConvertible(c.encoding));
        EXPECT_EQ(PageToUtf8(c.page, c.encoding), c.utf8);
        EXPECT_EQ(Utf8ToPage(c.utf8, c.encoding), c.page);
        std::string escaped = c.utf8;
        for (std::size_t p = escaped.find('\\'); p != std::string::npos;
             p = escaped.find('\\', p + 2))
            escaped.insert(p, 1, '\\');
        EXPECT_EQ(PageToEscaped(c.page, c.encoding), escaped);
        EXPECT_EQ(EscapedToPage(escaped, c.encoding), c.page);
        // Long texts are converted in pieces, which cut characters.
        std::string longPage, longText;
        for (int i = 0; i < 400; ++i) longPage += c.page, longText += c.utf8;
        EXPECT_EQ(PageToUtf8(longPage, c.encoding), longText);
        EXPECT_EQ(Utf8ToPage(longText, c.encoding), longPage);
    }
}

TEST(PageCodec, Windows1252TableAgreesWithTheCLibrary) {
    // The five bytes the C library leaves undefined are the C1 controls here.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        std::string expected;
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            expected = {char(0xC2), char(b)};
        else
            expected = PageToUtf8(one, Legacy("windows-1252"));
        EXPECT_EQ(PageToUtf8(one, kWindows1252), expected) << b;
        EXPECT_EQ(Utf8ToPage(expected, kWindows1252), one) << b;
    }
}

TEST(PageCodec, WhatAPageCannotHoldBecomesANumericReference) {
    struct Case {
        TEncodingInfo encoding;
        std::string utf8;
        std::string page;
    };
    const Case cases[] = {
        {kWindows1252, "\xD0\xAF x", "&#1071; x"},
        {kWindows1252, "\xC2\x80\xC2\x81\xC2\x9F", "&#128;\x81&#159;"},
        {kWindows1252, "\xF0\x9F\x98\x80", "&#128512;"},
        {Legacy("euc-kr"), "\xF0\x9F\x98\x80\xED\x95\x9C", "&#128512;\xC7\xD1"},
        {Legacy("windows-1251"), "\xC3\xBC\xD0\x9F", "&#252;\xCF"},
        // Shift_JIS writes these as bytes that read back as other characters: yen sign,
        // overline, wave dash.
        {Legacy("shift_jis"), "\xC2\xA5\xE2\x80\xBE\xE3\x80\x9C", "&#165;&#8254;&#12316;"},
        {Legacy("shift_jis"), "\xED\x95\x9C", "&#54620;"},
        // The C library drops tag characters without a word.
        {Legacy("euc-kr"), "a\xF3\xA0\x81\x81z", "a&#917569;z"},
        // Bytes that are no UTF-8 (a stray byte, an encoded surrogate) count as U+FFFD each.
        {kWindows1252, "a\xFFz", "a&#65533;z"},
        {kUtf8, "a\xED\xA0\x80", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {Legacy("euc-kr"), "\xC3", "&#65533;"},
        {Legacy("gb18030"), "\xC3", "\x84\x31\xA4\x37"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.utf8));
        if (!SystemHas(c.encoding)) continue;
        EXPECT_EQ(Utf8ToPage(c.utf8, c.encoding), c.page);
    }
}

TEST(PageCodec, BadPageBytesBecomeReplacementsOrEscapes) {
    struct Case {
        TEncodingInfo encoding;
        std::string page;
        std::string utf8;
        std::string escaped;
    };
    const Case cases[] = {
        {kUtf8, "a\xFF\xC3z\xE2\x82", "a\xEF\xBF\xBD\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD",
         "a\\xFF\\xC3z\\xE2\\x82"},
        {kWindows1252, "\x81\t\r\n\\", "\xC2\x81\t\r\n\\", "\xC2\x81\\t\\r\\n\\\\"},
        // A lead byte cut off at the end, and one before a byte that cannot follow it.
        {Legacy("euc-kr"), "\xC7\xD1\xC7", "\xED\x95\x9C\xEF\xBF\xBD", "\xED\x95\x9C\\xC7"},
        {Legacy("shift_jis"), "\x81\x20\x93\xFA", "\xEF\xBF\xBD \xE6\x97\xA5",
         "\\x81 \xE6\x97\xA5"},
        // The C library's EUC-KR reports this pair only behind its second byte.
        {Legacy("euc-kr"), "\xA2\xE8x", "\xEF\xBF\xBD\xEF\xBF\xBDx", "\\xA2\\xE8x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.page));
        EXPECT_EQ(PageToUtf8(c.page, c.encoding), c.utf8);
        EXPECT_EQ(PageToEscaped(c.page, c.encoding), c.escaped);
        EXPECT_EQ(EscapedToPage(c.escaped, c.encoding), c.page);
    }
}

TEST(PageCodec, MalformedEscapesAndBadUtf8AreRefused) {
    EXPECT_EQ(EscapedToPage("\\xc7\\xD1\\t", Legacy("euc-kr")), "\xC7\xD1\t");
    EXPECT_EQ(EscapedToPage("\\\\x41", kUtf8), "\\x41");
    for (const std::string bad : {"a\\q", "a\\", "\\x4", "\\xG0", "\\X41", "\\\xC3\xA4", "\xFF"}) {
        EXPECT_THROW(EscapedToPage(bad, kUtf8), TError) << bad;
    }
    try {
        EscapedToPage("ok \\q", kUtf8);
        FAIL();
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find("\\q"), std::string::npos) << e.what();
    }
}

TEST(PageCodec, UnknownAndNonAsciiEncodingsAreRefusedByName) {
    EXPECT_NO_THROW(CheckConvertible(kWindows1252));
    EXPECT_NO_THROW(CheckConvertible(kUtf8));
    for (const char* name : {"x-no-such-thing", "", "utf-16", "ucs-4", "ibm037", "utf-7"}) {
        try {
            CheckConvertible(Legacy(name), "/site/a.html");
            ADD_FAILURE() << name << " was accepted";
        } catch (const TError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("/site/a.html"), std::string::npos) << text;
            std::string upper = name;
            for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_NE(text.find(upper), std::string::npos) << text;
        }
    }
    EXPECT_THROW(PageToUtf8("x", Legacy("x-no-such-thing")), TError);
}

namespace {

std::string RandomBytes(std::mt19937& rng) {
    // Mostly high bytes, so that multibyte characters and broken ones both turn up, and the
    // characters the escapes are for.
    static const std::string specials = "\\\t\r\nxA&<";
    std::string s;
    const int len = int(rng() % 14);
    for (int i = 0; i < len; ++i) {
        const unsigned r = rng() % 8;
        s += r == 0 ? specials[rng() % specials.size()] : char(0x80 + rng() % 128);
        if (r == 1) s += char(0x30 + rng() % 0x50);  // GB18030 and Big5 second bytes
    }
    return s;
}

}  // namespace

TEST(PageCodec, EscapedFormGivesBackEveryByteString) {
    std::mt19937 rng(20240611);
    for (const TEncodingInfo& encoding :
         {kWindows1252, kUtf8, Legacy("euc-kr"), Legacy("shift_jis"), Legacy("gbk"),
          Legacy("gb18030"), Legacy("big5"), Legacy("euc-jp"), Legacy("windows-1251")}) {
        if (!SystemHas(encoding)) continue;
        for (int round = 0; round < 20000; ++round) {
            const std::string page = RandomBytes(rng);
            const std::string escaped = PageToEscaped(page, encoding);
            ASSERT_EQ(EscapedToPage(escaped, encoding), page)
                << encoding.name << ": " << Hex(page) << "-> " << escaped;
        }
        for (int round = 0; round < 20; ++round) {
            std::string page;
            while (page.size() < 3000) page += RandomBytes(rng);
            ASSERT_EQ(EscapedToPage(PageToEscaped(page, encoding), encoding), page);
        }
    }
}

TEST(PageCodec, CharactersHeldTwiceKeepTheirBytesInTheEscapedForm) {
    // NEC's and IBM's forms of one character, and Big5's two box-drawing forms: the window shows
    // the character, the escaped form the bytes that are not written back as they stand.
    struct Case {
        const char* encoding;
        std::string twin;
        std::string own;
    };
    for (const Case& c : {Case{"shift_jis", "\\x87\\x90", "\\x81\\xE0"},
                          Case{"shift_jis", "\\xEE\\xF9", "\\x81\\xCA"},
                          Case{"big5", "\\xA2\\xA7", "\\xF9\\xEB"}}) {
        const std::string twin = EscapedToPage(c.twin, Legacy(c.encoding));
        const std::string own = EscapedToPage(c.own, Legacy(c.encoding));
        const std::string text = PageToUtf8(own, Legacy(c.encoding));
        EXPECT_EQ(PageToUtf8(twin, Legacy(c.encoding)), text) << c.twin;
        EXPECT_EQ(Utf8ToPage(text, Legacy(c.encoding)), own) << c.twin;
        EXPECT_EQ(PageToEscaped(own, Legacy(c.encoding)), text) << c.twin;
        EXPECT_EQ(PageToEscaped("a" + twin + "b", Legacy(c.encoding)), "a" + c.twin + "b");
    }
}
