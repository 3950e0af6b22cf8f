#include "core/text/pagecodec.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "core/errors.h"

using namespace quillfen;

namespace {

const TEncodingInfo kWindows1252{TPageEncoding::Windows1252, {}};
const TEncodingInfo kUtf8{TPageEncoding::Utf8, {}};

TEncodingInfo Legacy(const char* name) { return {TPageEncoding::Legacy, name}; }

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
        // "Korean", "Japanese" (with a backslash, which plain Shift_JIS converters read
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

TEST(PageCodec, Windows1252TableAgreesWithTheStandardsIndex) {
    // The page kind Windows-1252 has a table of its own; the label read through the index must
    // give the same characters, the five undefined bytes as C1 controls included.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        const std::string expected = PageToUtf8(one, Legacy("windows-1252"));
        EXPECT_EQ(PageToUtf8(one, kWindows1252), expected) << b;
        EXPECT_EQ(Utf8ToPage(expected, kWindows1252), one) << b;
        EXPECT_EQ(Utf8ToPage(expected, Legacy("windows-1252")), one) << b;
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
        {Legacy("euc-kr"), "a\xF3\xA0\x81\x81z", "a&#917569;z"},
        // The euro sign is one byte in GBK, two in gb18030; characters beyond the two-byte index
        // take four bytes in gb18030.
        {Legacy("gbk"), "\xE2\x82\xAC\xC2\xA5", "\x80&#165;"},
        {Legacy("gb18030"), "\xE2\x82\xAC\xC2\xA5\xF0\x9F\x98\x80",
         "\xA2\xE3\x81\x30\x84\x36\x94\x39\xFC\x36"},
        // Bytes that are no UTF-8 (a stray byte, an encoded surrogate) count as U+FFFD each.
        {kWindows1252, "a\xFFz", "a&#65533;z"},
        {kUtf8, "a\xED\xA0\x80", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {Legacy("euc-kr"), "\xC3", "&#65533;"},
        {Legacy("gb18030"), "\xC3", "\x84\x31\xA4\x37"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(c.utf8));
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
        {Legacy("big5"), std::string("a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
        {Legacy("shift_jis"), "\x81\x20\x93\xFA", "\xEF\xBF\xBD \xE6\x97\xA5",
         "\\x81 \xE6\x97\xA5"},
        // A lead and a non-ASCII byte that make no character are one error; an ASCII byte behind
        // a bad lead is read as itself.
        {Legacy("euc-kr"), "\xA2\xE8x", "\xEF\xBF\xBDx", "\\xA2\\xE8x"},
        {Legacy("big5"), "\x81\x40\x81\xA1", "\xEF\xBF\xBD@\xEF\xBF\xBD", "\\x81@\\x81\\xA1"},
        {Legacy("gb18030"), "\x81\x30\x81 \x81\x30",
         "\xEF\xBF\xBD"
         "0\xEF\xBF\xBD \xEF\xBF\xBD",
         "\\x81"
         "0\\x81 \\x81\\x30"},
        {Legacy("gb18030"), "\x84\x31\xA5\x30\xE3\x32\x9A\x36", "\xEF\xBF\xBD\xEF\xBF\xBD",
         "\\x84\\x31\\xA5\\x30\\xE3\\x32\\x9A\\x36"},
        {Legacy("euc-jp"), "\x8F\xA2\xAFx\x8F\xA2x\x8E\xE0", "\xCB\x98x\xEF\xBF\xBDx\xEF\xBF\xBD",
         "\\x8F\\xA2\\xAFx\\x8F\\xA2x\\x8E\\xE0"},
        {Legacy("shift_jis"), "\xF0\x40\xA0\x80", "\xEE\x80\x80\xEF\xBF\xBD\xC2\x80",
         "\\xF0\\x40\\xA0\xC2\x80"},
        {Legacy("windows-874"), "\xDB\xA1", "\xEF\xBF\xBD\xE0\xB8\x81", "\\xDB\xE0\xB8\x81"},
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
    // Names that are no label browsers know are unknown; stateful and two-byte encodings are
    // known but refused.
    const std::pair<const char*, bool> cases[] = {
        {"x-no-such-thing", true}, {"", true},
        {"ucs-4", true},           {"ibm037", true},
        {"utf-7", true},           {"utf-16", false},
        {"iso-2022-jp", false},    {"csiso2022jp", false},
        {"replacement", false},    {"iso-2022-kr", false},
        {"unicodefffe", false},
    };
    for (const auto& [name, unknown] : cases) {
        try {
            CheckConvertible(Legacy(name), "/site/a.html");
            ADD_FAILURE() << name << " was accepted";
        } catch (const TError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("/site/a.html"), std::string::npos) << text;
            std::string upper = name;
            for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_NE(text.find(upper), std::string::npos) << text;
            EXPECT_EQ(text.find("unbekannte") != std::string::npos, unknown) << text;
        }
    }
    EXPECT_THROW(PageToUtf8("x", Legacy("x-no-such-thing")), TError);
    EXPECT_THROW(Utf8ToPage("x", Legacy("iso-2022-jp")), TError);
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

namespace {

std::string Utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Utf8(char32_t c) { return Utf8(std::u32string_view(&c, 1)); }

// What a browser shows for page bytes (that hold no other '&'): decoded, numeric references read.
std::string Shown(const std::string& page, const TEncodingInfo& encoding) {
    const std::string text = PageToUtf8(page, encoding);
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = text.find(';', i);
        if (text.compare(i, 2, "&#") == 0 && end != std::string::npos) {
            out += Utf8(char32_t(std::stoul(text.substr(i + 2, end - i - 2))));
            i = end + 1;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// An index file of the Encoding Standard, read here on its own: pointer to code point.
std::map<std::uint32_t, char32_t> ReadIndex(const std::string& name) {
    std::ifstream in(QUILLFEN_SOURCE_DIR "/core/text/whatwg-encoding/index-" + name + ".txt");
    std::map<std::uint32_t, char32_t> index;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::uint32_t pointer = 0;
        std::string codePoint;
        fields >> pointer >> codePoint;
        index[pointer] = char32_t(std::stoul(codePoint, nullptr, 16));
    }
    EXPECT_FALSE(index.empty()) << name;
    return index;
}

// Where other converters disagree with browsers: the look-alikes, full-width
// forms and dashes of Japanese, Chinese and Korean pages, and Latin letters they lack.
const std::u32string kHard = U"¥¢£¬‖‾−～〜—①€üŒ";
const std::u32string kMore = U"日本語中文한국어漢字繁體ｱｶﾞÄß\u00A0\U0002000B";

}  // namespace

TEST(PageCodec, TypedCharactersReadBackAsTypedInEveryEncoding) {
    // Characters of kHard that must become references: the encoding lacks them, or its encoder
    // gives bytes a browser reads as another character (worked out from the index files).
    struct Case {
        const char* label;
        std::u32string references;
    };
    const Case cases[] = {
        {"big5", U"¥¢£¬‖‾−〜üŒ"},
        {"big5-hkscs", U"¥¢£¬‖‾−〜üŒ"},
        {"euc-kr", U"¥¢£¬‖‾−〜—ü"},
        {"ks_c_5601-1987", U"¥¢£¬‖‾−〜—ü"},
        {"gbk", U"¥¢£¬‾−〜Œ"},
        {"gb2312", U"¥¢£¬‾−〜Œ"},
        {"gb18030", U""},
        {"shift_jis", U"¥¢£¬‖‾−〜—€üŒ"},
        {"x-sjis", U"¥¢£¬‖‾−〜—€üŒ"},
        {"euc-jp", U"¥¢£¬‖‾−〜—€üŒ"},
        {"windows-1251", U"¥¢£‖‾−～〜①üŒ"},
        {"koi8-u", U"¥¢£¬‖‾−～〜—①€üŒ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TEncodingInfo encoding = Legacy(c.label);
        for (char32_t ch : kHard + kMore) {
            const std::string page = Utf8ToPage(Utf8(ch), encoding);
            EXPECT_EQ(Shown(page, encoding), Utf8(ch)) << Hex(page);
            if (kHard.find(ch) != std::u32string::npos) {
                EXPECT_EQ(page.starts_with("&#"), c.references.find(ch) != std::u32string::npos)
                    << Utf8(ch) << " as " << Hex(page);
            }
        }
        const std::string all = Utf8(kHard + kMore) + " <p> \\ ~";
        EXPECT_EQ(Shown(Utf8ToPage(all, encoding), encoding), all);
    }
}

TEST(PageCodec, AnyTextReadsBackAsTypedInEveryEncoding) {
    // Random characters of all planes, CJK and Latin weighted, in every legacy encoding: written
    // as bytes or references, the decoder and a browser's reading of references give them back.
    std::mt19937 rng(20261209);
    auto any = [&]() -> char32_t {
        switch (rng() % 4) {
            case 0:
                return 0x80 + rng() % 0x780;
            case 1:
                return 0x3000 + rng() % 0x7000;
            case 2:
                return 0xE000 + rng() % 0x2000;
            default: {
                const char32_t c = 0x80 + rng() % 0x10FF80;
                return c >= 0xD800 && c <= 0xDFFF ? U'x' : c;
            }
        }
    };
    for (const char* label :
         {"big5", "euc-kr", "gbk", "gb18030", "shift_jis", "euc-jp", "ibm866", "iso-8859-7",
          "koi8-u", "macintosh", "windows-874", "windows-1258", "x-mac-cyrillic"}) {
        for (int round = 0; round < 300; ++round) {
            std::u32string typed;
            for (int i = 0; i < 12; ++i) typed += rng() % 3 ? any() : U' ';
            const std::string text = Utf8(typed);
            const std::string page = Utf8ToPage(text, Legacy(label));
            ASSERT_EQ(Shown(page, Legacy(label)), text) << label << ": " << Hex(text);
        }
    }
}

TEST(PageCodec, SingleByteEncodingsAgreeWithTheIndexFiles) {
    // Each by a label other than its name. Every byte reads as the index says, every character
    // of the index is written as its first byte, and characters beyond it read back as typed.
    const std::pair<const char*, const char*> cases[] = {
        {"csibm866", "ibm866"},
        {"latin2", "iso-8859-2"},
        {"latin3", "iso-8859-3"},
        {"latin4", "iso-8859-4"},
        {"cyrillic", "iso-8859-5"},
        {"arabic", "iso-8859-6"},
        {"greek", "iso-8859-7"},
        {"hebrew", "iso-8859-8"},
        {"iso-8859-8-i", "iso-8859-8"},
        {"latin6", "iso-8859-10"},
        {"iso8859-13", "iso-8859-13"},
        {"iso885914", "iso-8859-14"},
        {"l9", "iso-8859-15"},
        {"iso-8859-16", "iso-8859-16"},
        {"koi", "koi8-r"},
        {"koi8-ru", "koi8-u"},
        {"mac", "macintosh"},
        {"tis-620", "windows-874"},
        {"x-cp1250", "windows-1250"},
        {"cp1251", "windows-1251"},
        {"windows-1252", "windows-1252"},
        {"x-user-defined", "windows-1252"},
        {"x-cp1253", "windows-1253"},
        {"latin5", "windows-1254"},
        {"cp1255", "windows-1255"},
        {"cp1256", "windows-1256"},
        {"cp1257", "windows-1257"},
        {"cp1258", "windows-1258"},
        {"x-mac-ukrainian", "x-mac-cyrillic"},
    };
    for (const auto& [label, name] : cases) {
        SCOPED_TRACE(label);
        const TEncodingInfo encoding = Legacy(label);
        const auto index = ReadIndex(name);
        std::map<char32_t, std::string> first;
        for (std::uint32_t pointer = 0; pointer < 128; ++pointer) {
            const std::string byte(1, char(0x80 + pointer));
            const auto it = index.find(pointer);
            EXPECT_EQ(PageToUtf8(byte, encoding),
                      it == index.end() ? "\xEF\xBF\xBD" : Utf8(it->second))
                << pointer;
            if (it != index.end()) first.emplace(it->second, byte);
        }
        for (const auto& [ch, byte] : first) EXPECT_EQ(Utf8ToPage(Utf8(ch), encoding), byte);
        for (char32_t ch : kHard + kMore)
            EXPECT_EQ(Shown(Utf8ToPage(Utf8(ch), encoding), encoding), Utf8(ch));
    }
}

TEST(PageCodec, MultiByteEncodingsAgreeWithTheIndexFiles) {
    // Every pointer of an index, written as bytes by the formula of its encoding, reads as the
    // index says; every character of the index is written as the pointer its encoder takes.
    auto two = [](unsigned lead, unsigned trail) { return std::string{char(lead), char(trail)}; };
    auto gb = [&](std::uint32_t p) {
        return two(p / 190 + 0x81, p % 190 + (p % 190 < 0x3F ? 0x40 : 0x41));
    };
    auto big5 = [&](std::uint32_t p) {
        return two(p / 157 + 0x81, p % 157 + (p % 157 < 0x3F ? 0x40 : 0x62));
    };
    auto sjis = [&](std::uint32_t p) {
        const unsigned lead = p / 188, trail = p % 188;
        return two(lead + (lead < 0x1F ? 0x81 : 0xC1), trail + (trail < 0x3F ? 0x40 : 0x41));
    };
    auto eucjp = [&](std::uint32_t p) { return two(p / 94 + 0xA1, p % 94 + 0xA1); };
    auto euckr = [&](std::uint32_t p) { return two(p / 190 + 0x81, p % 190 + 0x41); };
    const std::u32string big5Last = U"═╞╡╪十卅";
    struct Case {
        const char* label;
        const char* index;
        std::function<std::string(std::uint32_t)> bytes;
        // Which pointers the encoder writes, and which it can read at all.
        std::function<bool(std::uint32_t)> writes, reads;
    };
    const Case cases[] = {
        {"gbk", "gb18030", gb, [](auto) { return true; }, [](auto) { return true; }},
        {"gb18030", "gb18030", gb, [](auto) { return true; }, [](auto) { return true; }},
        {"big5", "big5", big5, [](auto p) { return p >= (0xA1 - 0x81) * 157; },
         [](auto) { return true; }},
        {"euc-kr", "euc-kr", euckr, [](auto) { return true; }, [](auto) { return true; }},
        {"shift_jis", "jis0208", sjis, [](auto p) { return p < 8272 || p > 8835; },
         [](auto) { return true; }},
        {"euc-jp", "jis0208", eucjp, [](auto p) { return p < 94 * 94; },
         [](auto p) { return p < 94 * 94; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TEncodingInfo encoding = Legacy(c.label);
        const auto index = ReadIndex(c.index);
        std::map<char32_t, std::uint32_t> written;
        for (const auto& [pointer, ch] : index) {
            if (c.reads(pointer)) {
                ASSERT_EQ(PageToUtf8(c.bytes(pointer), encoding), Utf8(ch)) << pointer;
            }
            const bool last =
                std::string_view(c.label) == "big5" && big5Last.find(ch) != std::u32string::npos;
            if (c.writes(pointer) && (last || !written.contains(ch))) written[ch] = pointer;
        }
        for (const auto& [pointer, ch] : index) {
            if (std::string_view(c.label) == "gbk" && ch == U'€') continue;  // one byte, 0x80
            const auto it = written.find(ch);
            const std::string expected = it == written.end()
                                             ? "&#" + std::to_string(std::uint32_t(ch)) + ";"
                                             : c.bytes(it->second);
            ASSERT_EQ(Utf8ToPage(Utf8(ch), encoding), expected) << pointer;
        }
    }
    // EUC-JP reads JIS X 0212 behind 0x8F but never writes it; gb18030 reads the ranges between
    // the two-byte characters as four bytes.
    for (const auto& [pointer, ch] : ReadIndex("jis0212"))
        ASSERT_EQ(PageToUtf8("\x8F" + eucjp(pointer), Legacy("euc-jp")), Utf8(ch)) << pointer;
    const auto ranges = ReadIndex("gb18030-ranges");
    const auto twoByte = ReadIndex("gb18030");
    std::set<char32_t> inTwoBytes;
    for (const auto& [pointer, ch] : twoByte) inTwoBytes.insert(ch);
    for (const auto& [pointer, ch] : ranges) {
        const std::string four{char(pointer / 12600 + 0x81), char(pointer / 1260 % 10 + 0x30),
                               char(pointer / 10 % 126 + 0x81), char(pointer % 10 + 0x30)};
        ASSERT_EQ(PageToUtf8(four, Legacy("gb18030")), Utf8(ch)) << pointer;
        if (!inTwoBytes.contains(ch)) {
            ASSERT_EQ(Utf8ToPage(Utf8(ch), Legacy("gb18030")), four) << pointer;
        }
    }
}
