#include "settings/stringtable.h"

#include <gtest/gtest.h>

#include <utility>

#include "settings/help.h"

namespace quillfen {
namespace {

TEST(StringTable, EnglishTexts) {
    EXPECT_EQ(LoadStr(TLanguage::English, 1), u"Quillfen");
    EXPECT_EQ(LoadStr(TLanguage::English, 10), u"&File");
    EXPECT_EQ(LoadStr(TLanguage::English, 13), u"E&xit");
    EXPECT_EQ(LoadStr(TLanguage::English, 17), u"&Export plain text");
    EXPECT_EQ(LoadStr(TLanguage::English, 18), u"&Recombine");
    EXPECT_EQ(LoadStr(TLanguage::English, 20), u"Select a phrase to translate.");
    EXPECT_EQ(LoadStr(TLanguage::English, 24), u"%d Items filtered");
    EXPECT_EQ(LoadStr(TLanguage::English, 49), u"Combination finished sucessfully !");
    EXPECT_EQ(LoadStr(TLanguage::English, 55), u"Output folder:");
}

TEST(StringTable, GermanTextsKeepUmlautsAndSharpS) {
    EXPECT_EQ(LoadStr(TLanguage::German, 11), u"&Öffnen");
    EXPECT_EQ(LoadStr(TLanguage::German, 12), u"&Schliessen");
    EXPECT_EQ(LoadStr(TLanguage::German, 23), u"%d Textblöcke");
    EXPECT_EQ(LoadStr(TLanguage::German, 26), u"%d Wörter");
    EXPECT_EQ(LoadStr(TLanguage::German, 36), u"Eintrag im &Start Menü");
    EXPECT_EQ(LoadStr(TLanguage::German, 52), u"< Zurück");
    EXPECT_EQ(LoadStr(TLanguage::German, 46).count(u"daß"), 1);
    EXPECT_TRUE(LoadStr(TLanguage::German, 42).contains(u"Außerdem"));
    EXPECT_TRUE(
        LoadStr(TLanguage::German, 42).startsWith(u"Dieser Assistent trennt alle Textblöcke"));
}

TEST(StringTable, BlanksAndLineBreaksAreExact) {
    EXPECT_EQ(LoadStr(TLanguage::German, 20), u"Wählen Sie den zu übersetzenden Textblock. ");
    const QString notice = LoadStr(TLanguage::German, 45);
    EXPECT_TRUE(notice.startsWith(u"HINWEIS:\nBitte verändern Sie"));
    EXPECT_EQ(notice.count(u'\n'), 1);
    EXPECT_FALSE(notice.contains(u"\\n"));
    // No other of the first texts holds a line break; the questions from 56 on may.
    for (const TLanguage language : {TLanguage::English, TLanguage::German})
        for (int id = 0; id < 56; ++id)
            if (language != TLanguage::German || id != 45) {
                EXPECT_FALSE(LoadStr(language, id).contains(u'\n')) << id;
            }
}

TEST(StringTable, FiltersOfferHtmlFiles) {
    EXPECT_EQ(LoadStr(TLanguage::English, 21), u"HTML-Files|*.HTML;*.HTM");
    EXPECT_EQ(LoadStr(TLanguage::German, 21), u"HTML-Dateien|*.HTML;*.HTM");
}

TEST(StringTable, VersionAndMissingIds) {
    EXPECT_EQ(LoadStr(VersionId), u"2.1");
    for (const TLanguageEntry& entry : Languages())
        EXPECT_EQ(LoadStr(entry.Language, VersionId), u"2.1");
    for (const int id : {0, 19, 22, 110, 115, 119, 132, 1099, -1, 65535}) {
        EXPECT_TRUE(LoadStr(TLanguage::English, id).isEmpty()) << id;
        EXPECT_TRUE(LoadStr(TLanguage::German, id).isEmpty()) << id;
    }
    EXPECT_TRUE(LoadStr(1).isEmpty()) << "a language's own text is no shared one";
    // A number that is no language's finds nothing.
    EXPECT_TRUE(LoadStr(TLanguage(200), 1).isEmpty());
}

// What a language added to the list must bring: a menu item and a help text of its own, and a
// text for every id English has.
TEST(Languages, EveryLanguageIsComplete) {
    const auto languages = Languages();
    ASSERT_GE(languages.size(), 2u);
    EXPECT_EQ(languages[0].Language, TLanguage::English);
    int english = 0;
    for (int id = 1; id < VersionId; ++id)
        if (!LoadStr(TLanguage::English, id).isEmpty()) ++english;
    EXPECT_EQ(english, 132);
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const TLanguageEntry& entry = languages[i];
        SCOPED_TRACE(entry.MenuItem);
        EXPECT_EQ(LanguageOfStoredValue(StoredValue(entry.Language)), entry.Language);
        EXPECT_EQ(FindLanguage(entry.Language), &entry);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_NE(entry.Language, languages[j].Language);
            EXPECT_STRNE(entry.MenuItem, languages[j].MenuItem);
            EXPECT_STRNE(entry.HelpMemo, languages[j].HelpMemo);
        }
        EXPECT_EQ(HelpLines(entry.Language).size(), HelpLines(TLanguage::English).size());
        for (int id = 1; id < VersionId; ++id)
            EXPECT_EQ(LoadStr(entry.Language, id).isEmpty(),
                      LoadStr(TLanguage::English, id).isEmpty())
                << id;
    }
    EXPECT_FALSE(LanguageOfStoredValue(200));
    EXPECT_EQ(FindLanguage(TLanguage(200)), nullptr);
    EXPECT_TRUE(HelpLines(TLanguage(200)).isEmpty());
}

// The access key of a caption: the letter after its "&", in lower case.
QChar AccessKey(const QString& caption) {
    const qsizetype at = caption.indexOf(u'&');
    return at >= 0 && at + 1 < caption.size() ? caption[at + 1].toLower() : QChar();
}

TEST(StringTable, EditMenuKeysAndPathPlaceholdersHoldInBothLanguages) {
    for (const TLanguageEntry& entry : Languages()) {
        const TLanguage language = entry.Language;
        SCOPED_TRACE(StoredValue(language));
        auto LoadStr = [language](int id) { return quillfen::LoadStr(language, id); };
        // The menu headings File, Edit, Language and the fixed "&Extra" need distinct keys, and
        // so do the items of the Edit menu.
        const QList<QChar> headings = {AccessKey(LoadStr(10)), AccessKey(LoadStr(56)),
                                       AccessKey(LoadStr(15)), AccessKey(QStringLiteral("&Extra"))};
        const QList<QChar> items = {AccessKey(LoadStr(57)), AccessKey(LoadStr(58)),
                                    AccessKey(LoadStr(59)), AccessKey(LoadStr(70)),
                                    AccessKey(LoadStr(71))};
        for (const QList<QChar>& keys : {headings, items})
            for (qsizetype i = 0; i < keys.size(); ++i) {
                EXPECT_FALSE(keys[i].isNull()) << i;
                EXPECT_EQ(keys.count(keys[i]), 1) << QString(keys[i]).toStdString();
            }
        // Each question names the file once, the encoding line and its tip the encoding; the
        // answers are Yes and No, and the wizard has a heading for each direction.
        for (const int id : {60, 61, 62, 63, 66, 67}) EXPECT_EQ(LoadStr(id).count(u"%s"), 1) << id;
        for (const int id : {64, 65, 68, 69}) EXPECT_FALSE(LoadStr(id).isEmpty()) << id;
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
            EXPECT_EQ(LoadStr(id).count(u"%d"), counts) << id;
            EXPECT_FALSE(LoadStr(id).contains(u"%s")) << id;
        }
    }
    EXPECT_EQ(LoadStr(TLanguage::English, 56), u"E&dit");
    EXPECT_EQ(LoadStr(TLanguage::German, 56), u"&Bearbeiten");
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
