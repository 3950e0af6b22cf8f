#include "settings/stringtable.h"

#include <gtest/gtest.h>

#include <utility>

#include "settings/help.h"

namespace quillfen {
namespace {

TEST(StringTable, EnglishTextsAtBaseZero) {
    EXPECT_EQ(LoadStr(1), u"Quillfen");
    EXPECT_EQ(LoadStr(10), u"&File");
    EXPECT_EQ(LoadStr(13), u"E&xit");
    EXPECT_EQ(LoadStr(17), u"&Export plain text");
    EXPECT_EQ(LoadStr(18), u"Re&combine");
    EXPECT_EQ(LoadStr(20), u"Select a phrase to translate.");
    EXPECT_EQ(LoadStr(24), u"%d Items filtered");
    EXPECT_EQ(LoadStr(49), u"Combination finished sucessfully !");
    EXPECT_EQ(LoadStr(55), u"Output folder:");
}

TEST(StringTable, GermanTextsKeepUmlautsAndSharpS) {
    EXPECT_EQ(LoadStr(111), u"&Öffnen");
    EXPECT_EQ(LoadStr(112), u"&Schliessen");
    EXPECT_EQ(LoadStr(123), u"%d Textblöcke");
    EXPECT_EQ(LoadStr(126), u"%d Wörter");
    EXPECT_EQ(LoadStr(136), u"Eintrag im &Start Menü");
    EXPECT_EQ(LoadStr(152), u"< Zurück");
    EXPECT_EQ(LoadStr(146).count(u"daß"), 1);
    EXPECT_TRUE(LoadStr(142).contains(u"Außerdem"));
    EXPECT_TRUE(LoadStr(142).startsWith(u"Dieser Assistent trennt alle Textblöcke"));
}

TEST(StringTable, BlanksAndLineBreaksAreExact) {
    EXPECT_EQ(LoadStr(120), u"Wählen Sie den zu übersetzenden Textblock. ");
    const QString notice = LoadStr(145);
    EXPECT_TRUE(notice.startsWith(u"HINWEIS:\nBitte verändern Sie"));
    EXPECT_EQ(notice.count(u'\n'), 1);
    EXPECT_FALSE(notice.contains(u"\\n"));
    // No other of the first texts holds a line break; the questions from 56 on may.
    for (int id = 0; id < 156; ++id) {
        if (id != 145 && id % 100 < 56) {
            EXPECT_FALSE(LoadStr(id).contains(u'\n')) << id;
        }
    }
}

TEST(StringTable, FiltersOfferHtmlFiles) {
    EXPECT_EQ(LoadStr(21), u"HTML-Files|*.HTML;*.HTM");
    EXPECT_EQ(LoadStr(121), u"HTML-Dateien|*.HTML;*.HTM");
}

TEST(StringTable, VersionAndMissingIds) {
    EXPECT_EQ(LoadStr(VersionId), u"2.1");
    EXPECT_TRUE(LoadStr(1099).isEmpty());
    EXPECT_TRUE(LoadStr(0).isEmpty());
    EXPECT_TRUE(LoadStr(19).isEmpty());
    EXPECT_TRUE(LoadStr(22).isEmpty());
    EXPECT_TRUE(LoadStr(99).isEmpty());
    EXPECT_TRUE(LoadStr(-1).isEmpty());
    EXPECT_TRUE(LoadStr(65535).isEmpty());
}

TEST(StringTable, EveryEnglishEntryHasItsGermanCounterpart) {
    int entries = 0;
    for (int id = 1; id < 100; ++id) {
        EXPECT_EQ(LoadStr(id).isEmpty(), LoadStr(id + 100).isEmpty()) << id;
        if (!LoadStr(id).isEmpty()) ++entries;
    }
    EXPECT_EQ(entries, 61);
    // A base other than 0 or 100 finds nothing.
    EXPECT_TRUE(LoadStr(200 + 1).isEmpty());
}

// The access key of a caption: the letter after its "&", in lower case.
QChar AccessKey(const QString& caption) {
    const qsizetype at = caption.indexOf(u'&');
    return at >= 0 && at + 1 < caption.size() ? caption[at + 1].toLower() : QChar();
}

TEST(StringTable, EditMenuKeysAndPathPlaceholdersHoldInBothLanguages) {
    for (const TLanguage language : {TLanguage::English, TLanguage::German}) {
        const int base = StringBase(language);
        SCOPED_TRACE(base);
        // The menu headings File, Edit, Language and the fixed "&Extra" need distinct keys, and
        // so do the items of the Edit menu.
        const QList<QChar> headings = {AccessKey(LoadStr(base + 10)), AccessKey(LoadStr(base + 56)),
                                       AccessKey(LoadStr(base + 15)),
                                       AccessKey(QStringLiteral("&Extra"))};
        const QList<QChar> items = {AccessKey(LoadStr(base + 57)), AccessKey(LoadStr(base + 58)),
                                    AccessKey(LoadStr(base + 59)), AccessKey(LoadStr(base + 70)),
                                    AccessKey(LoadStr(base + 71))};
        for (const QList<QChar>& keys : {headings, items})
            for (qsizetype i = 0; i < keys.size(); ++i) {
                EXPECT_FALSE(keys[i].isNull()) << i;
                EXPECT_EQ(keys.count(keys[i]), 1) << QString(keys[i]).toStdString();
            }
        // Each question names the file once, the encoding line and its tip the encoding; the
        // answers are Yes and No, and the wizard has a heading for each direction.
        for (const int id : {60, 61, 62, 63, 66, 67})
            EXPECT_EQ(LoadStr(base + id).count(u"%s"), 1) << id;
        for (const int id : {64, 65, 68, 69}) EXPECT_FALSE(LoadStr(base + id).isEmpty()) << id;
        // "n of m" takes two counts, the go-to prompt the highest number; the rest none.
        for (const auto& [id, counts] : {std::pair{73, 2},
                                         {76, 1},
                                         {70, 0},
                                         {71, 0},
                                         {72, 0},
                                         {74, 0},
                                         {75, 0},
                                         {77, 0},
                                         {78, 0}}) {
            EXPECT_EQ(LoadStr(base + id).count(u"%d"), counts) << id;
            EXPECT_FALSE(LoadStr(base + id).contains(u"%s")) << id;
        }
    }
    EXPECT_EQ(LoadStr(56), u"E&dit");
    EXPECT_EQ(LoadStr(156), u"&Bearbeiten");
}

TEST(HelpTexts, BothLanguagesHaveTwentyTwoLines) {
    const QStringList en = HelpLines(TLanguage::English);
    const QStringList de = HelpLines(TLanguage::German);
    ASSERT_EQ(en.size(), 22);
    ASSERT_EQ(de.size(), 22);
    EXPECT_EQ(en[1], u"Translate your HTML files without any HTML knowledge.");
    EXPECT_EQ(de[1], u"Übersetzen oder bearbeiten Sie ihre HTML-Dateien ohne HTML-Kenntnisse.");
    for (int i : {0, 2, 16}) {
        EXPECT_TRUE(en[i].isEmpty()) << i;
        EXPECT_TRUE(de[i].isEmpty()) << i;
    }
    // Trailing blanks belong to the lines.
    EXPECT_EQ(en[13],
              u"When all phrases have been translated select File -> Close from the menu or just "
              u"close the ");
    EXPECT_EQ(de[15], u"beenden das Programm. ");
    EXPECT_EQ(de[4],
              u"- laden Sie die HTML-Datei, die Sie verändern möchten (Menü Datei -> Öffnen)");
    // The disclaimer closes both texts in capitals.
    for (const QStringList* lines : {&en, &de}) {
        for (int i = 17; i < 22; ++i) {
            EXPECT_FALSE((*lines)[i].isEmpty()) << i;
            EXPECT_EQ((*lines)[i], (*lines)[i].toUpper()) << i;
        }
    }
    EXPECT_TRUE(en.mid(17).join(u' ').contains(u"CONSEQUENTIAL DAMAGES"));
    EXPECT_TRUE(de.mid(17).join(u' ').contains(u"FOLGESCHÄDEN"));
}

}  // namespace
}  // namespace quillfen
