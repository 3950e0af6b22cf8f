#include "ui/codec.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(Codec, TextsAreUtf8BothWays) {
    const std::string text = "Gr\u00FC\u00DFe \u010Desk\u00FD \u042F \U0001F600 &amp; <b>";
    const QString shown = FromText(text);
    EXPECT_EQ(shown,
              QString::fromUtf16(u"Gr\u00FC\u00DFe \u010Desk\u00FD \u042F \U0001F600 &amp; <b>"));
    EXPECT_EQ(ToText(shown), text);
    // A byte the page's encoding could not read shows as the replacement character.
    EXPECT_EQ(FromText("a\xFF"
                       "b"),
              QString::fromUtf16(u"a\uFFFDb"));
    EXPECT_EQ(ToText(QString(QChar(0xD800)) + "x"), "\xEF\xBF\xBDx");
}

TEST(Codec, EntryTextTurnsLineBreaksIntoBlanks) {
    EXPECT_EQ(EntryText("one\r\ntwo\nthree\rfour"), "one two three four");
    EXPECT_EQ(EntryText("a\n\nb"), "a  b");
    EXPECT_EQ(EntryText(QString::fromUtf16(u"a\u2028b\u2029c")), "a b c");
    EXPECT_EQ(EntryText(QString("a") + QChar(0) + "b"), "ab");
    EXPECT_EQ(EntryText("tab\tstays"), "tab\tstays");
    EXPECT_EQ(EntryText(""), "");
}

TEST(Codec, EncodingNames) {
    EXPECT_EQ(EncodingName(TPageEncoding::Utf8), "UTF-8");
    EXPECT_EQ(EncodingName(TPageEncoding::Windows1252), "Windows-1252");
    EXPECT_EQ(EncodingName(TEncodingInfo{TPageEncoding::Legacy, "euc-kr"}), "EUC-KR");
    EXPECT_EQ(EncodingName(TEncodingInfo{TPageEncoding::Legacy, "windows-1251"}), "WINDOWS-1251");
}
