#include "ui/codec.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(Codec, EveryByteSurvivesTheTripToTheWindowAndBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    const QString text = FromPage(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToPage(text), all);
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, char(b));
        EXPECT_EQ(ToPage(FromPage(one)), one) << "byte " << b;
    }
}

TEST(Codec, HighBytesAreTheWindows1252Characters) {
    EXPECT_EQ(FromPage("\x80"), QString(QChar(0x20AC)));
    EXPECT_EQ(FromPage("\x85"), QString(QChar(0x2026)));
    EXPECT_EQ(FromPage("\x8A"), QString(QChar(0x0160)));
    EXPECT_EQ(FromPage("\x93\x94"), QString::fromUtf16(u"\u201C\u201D"));
    EXPECT_EQ(FromPage("\x99"), QString(QChar(0x2122)));
    EXPECT_EQ(FromPage("\x9F"), QString(QChar(0x0178)));
    EXPECT_EQ(FromPage("\xA0\xE4\xFF"), QString::fromUtf16(u"\u00A0\u00E4\u00FF"));
    // The five undefined bytes keep their own number.
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(FromPage(std::string(1, char(b))), QString(QChar(b)));
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\u20AC\u0178\u00E4")), "\x80\x9F\xE4");
}

TEST(Codec, CharactersWithoutAByteBecomeNumericReferences) {
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\u042F")), "&#1071;");
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\u041F\u0440\u0438\u0432\u0435\u0442 ok")),
              "&#1055;&#1088;&#1080;&#1074;&#1077;&#1090; ok");
    // The C1 controls that Windows-1252 uses for other characters have no byte of their own.
    EXPECT_EQ(ToPage(QString(QChar(0x0080))), "&#128;");
    EXPECT_EQ(ToPage(QString(QChar(0x009F))), "&#159;");
    EXPECT_EQ(ToPage(QString(QChar(0x0100))), "&#256;");
}

TEST(Codec, SurrogatePairsGiveOneReferenceOfTheCodePoint) {
    EXPECT_EQ(ToPage(QString::fromUtf16(u"a\U0001F600b")), "a&#128512;b");
    // A surrogate without its partner is no character at all.
    EXPECT_EQ(ToPage(QString(QChar(0xD800)) + "x"), "&#65533;x");
    EXPECT_EQ(ToPage("x" + QString(QChar(0xDC00))), "x&#65533;");
}

TEST(Codec, EntryTextTurnsLineBreaksIntoBlanks) {
    EXPECT_EQ(EntryText("one\r\ntwo\nthree\rfour"), "one two three four");
    EXPECT_EQ(EntryText("a\n\nb"), "a  b");
    EXPECT_EQ(EntryText(QString::fromUtf16(u"a\u2028b\u2029c")), "a b c");
    EXPECT_EQ(EntryText(QString("a") + QChar(0) + "b"), "ab");
    EXPECT_EQ(EntryText("tab\tstays"), "tab\tstays");
    EXPECT_EQ(EntryText(""), "");
}

TEST(Codec, Utf8PagesAreShownAndWrittenAsUtf8) {
    const std::string czech =
        "P\xC5\x99\xC3\xADli\xC5\xA1 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
    const QString text = FromPage(czech, TPageEncoding::Utf8);
    EXPECT_EQ(text, QString::fromUtf16(u"P\u0159\u00EDli\u0161 \u65E5\u672C \U0001F600"));
    EXPECT_EQ(ToPage(text, TPageEncoding::Utf8), czech);
    // No references on a UTF-8 page, and a lone surrogate still writes valid UTF-8.
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\u042F"), TPageEncoding::Utf8), "\xD0\xAF");
    EXPECT_EQ(ToPage(QString(QChar(0xD800)) + "x", TPageEncoding::Utf8), "\xEF\xBF\xBDx");
    EXPECT_EQ(EncodingName(TPageEncoding::Utf8), "UTF-8");
    EXPECT_EQ(EncodingName(TPageEncoding::Windows1252), "Windows-1252");
}

TEST(Codec, LegacyPagesAreConvertedByTheirDeclaredName) {
    const TEncodingInfo euckr{TPageEncoding::Legacy, "euc-kr"};
    const TEncodingInfo sjis{TPageEncoding::Legacy, "shift_jis"};
    // "Korean" and "Japanese"; Shift_JIS 0x5C is the backslash, as browsers read it.
    EXPECT_EQ(FromPage("\xC7\xD1\xB1\xB9\xBE\xEE <b>", euckr),
              QString::fromUtf16(u"\uD55C\uAD6D\uC5B4 <b>"));
    EXPECT_EQ(FromPage("\x93\xFA\x96\x7B\x8C\xEA\\", sjis),
              QString::fromUtf16(u"\u65E5\u672C\u8A9E\\"));
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\uD55C\uAD6D\uC5B4"), euckr), "\xC7\xD1\xB1\xB9\xBE\xEE");
    // Characters without bytes become references, a lone surrogate that of U+FFFD; a byte that
    // starts no character shows as U+FFFD.
    EXPECT_EQ(ToPage(QString::fromUtf16(u"\u00A5a\U0001F600"), sjis), "&#165;a&#128512;");
    EXPECT_EQ(ToPage(QString(QChar(0xD800)) + "x", euckr), "&#65533;x");
    EXPECT_EQ(FromPage("a\xC7", euckr), QString::fromUtf16(u"a\uFFFD"));
    EXPECT_EQ(EncodingName(euckr), "EUC-KR");
    EXPECT_EQ(EncodingName(TEncodingInfo{TPageEncoding::Legacy, "windows-1251"}), "WINDOWS-1251");
    // The kind alone keeps meaning what it did.
    const std::string all = "\x80\x81\xE4\xC3\xBC";
    for (TPageEncoding kind : {TPageEncoding::Windows1252, TPageEncoding::Utf8}) {
        EXPECT_EQ(FromPage(all, kind), FromPage(all, TEncodingInfo{kind, {}}));
        EXPECT_EQ(EncodingName(kind), EncodingName(TEncodingInfo{kind, {}}));
    }
}
