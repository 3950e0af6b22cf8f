#include "checks/checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"

namespace quillfen {
namespace {

// One pair and whether the check must find something in it. The cases that must not be found
// are the false alarms translators complain of.
struct TCase {
    const char* Source;
    const char* Target;
    bool Found;
    const char* SourceLanguage = "en";
    const char* TargetLanguage = "de";
    TUnits Units = TUnits::Runs;
};

std::vector<TFinding> Run(TCheck check, const TCase& c) {
    TCheckOptions options;
    options.SourceLanguage = c.SourceLanguage;
    options.TargetLanguage = c.TargetLanguage;
    options.Units = c.Units;
    options.Checks = TCheckSelection::None().Add(check);
    return CheckPair(c.Source, c.Target, options);
}

void ExpectTable(TCheck check, const std::vector<TCase>& cases) {
    int found = 0, silent = 0;
    for (const TCase& c : cases) {
        const std::vector<TFinding> findings = Run(check, c);
        (c.Found ? found : silent)++;
        EXPECT_EQ(!findings.empty(), c.Found)
            << CheckInfo(check).Id << " (" << c.SourceLanguage << " to " << c.TargetLanguage
            << "): \"" << c.Source << "\" as \"" << c.Target << "\""
            << (findings.empty() ? std::string() : ": " + findings[0].English);
        for (const TFinding& f : findings) {
            EXPECT_EQ(f.Check, check);
            EXPECT_EQ(f.Severity, CheckInfo(check).Severity);
            EXPECT_FALSE(f.German.empty());
            EXPECT_NE(f.German, f.English);
        }
    }
    EXPECT_GE(found, 3);
    EXPECT_GE(silent, 3);
}

constexpr TUnits S = TUnits::Sentences;

TEST(ChecksTest, Placeholders) {
    ExpectTable(
        TCheck::Placeholders,
        {
            {"Press <b1>Enter</b1> now.",
             "Dr\xC3\xBC"
             "cken Sie jetzt Enter.",
             true, "en", "de", S},
            {"Press <b1>Enter</b1>.",
             "Appuyez sur <b1>Entr\xC3\xA9"
             "e</b1> <b1>x</b1>.",
             true, "en", "fr", S},
            {"Read <a1>the <b2>manual</b2></a1>.", "Lesen Sie <a1>das <b2>Handbuch</a1></b2>.",
             true, "en", "de", S},
            {"Press <b1>Enter</b1>",
             "</b1>Entr\xC3\xA9"
             "e<b1> appuyez",
             true, "en", "fr", S},
            {"Line<br1/>break", "Zeile<br2/>Umbruch", true, "en", "de", S},
            {"Press <b1>Enter</b1>",
             "Dr\xC3\xBC"
             "cken Sie \\<b1>Enter\\</b1>",
             true, "en", "de", S},
            // Tags and references that a text file or a merge brought in as text.
            {"Click here", "Klicken Sie <b>hier</b>", true},
            {"Tom & Jerry", "Tom &amp; Jerry", true},
            {"Use <br> for breaks",
             "Verwenden Sie es f\xC3\xBCr Umbr\xC3\xBC"
             "che",
             true},
            {"Write <b><i>x</i></b>", "Schreiben Sie <b><i>x</b></i>", true},
            // Placeholders may move, pairs may swap.
            {"the quick <b1>brown</b1> fox", "le renard <b1>brun</b1> rapide", false, "en", "fr",
             S},
            {"<a1>x</a1> and <b2>y</b2>", "<b2>y</b2> und <a1>x</a1>", false, "en", "de", S},
            {"Type \\<b1> to bold", "Tippen Sie \\<b1> f\xC3\xBCr fett", false, "en", "de", S},
            {"Use <br> for breaks", "Utilisez <br> pour les sauts", false, "en", "fr"},
            {"Fish & chips", "Fisch & Pommes", false},
            {"x < y", "x < y", false},
            {"Press <b1>x<b1> twice",
             "Dr\xC3\xBC"
             "cke <b1>x<b1> zweimal",
             false, "en", "de", S},
        });
}

TEST(ChecksTest, Numbers) {
    ExpectTable(
        TCheck::Numbers,
        {
            {"Version 2.1 adds 3 tools.", "Version 2.2 f\xC3\xBCgt 3 Werkzeuge hinzu.", true},
            {"Costs 1,500 euros",
             "Co\xC3\xBBte 15\xE2\x80\xAF"
             "000 euros",
             true, "en", "fr"},
            {"Wait 10 seconds", "30\xE7\xA7\x92\xE5\xBE\x85\xE3\x81\xA1", true, "en", "ja"},
            {"3.5 GB free", "35 GB frei", true},
            {"Call 555-1234", "Rufen Sie 555-1243 an", true},
            {"Read the manual", "Lesen Sie Kapitel 4", true},
            {"<VirtualHost *:80>", "<VirtualHost *:8080>", true},
            // Each language's separators, numbers written out, dates in the language's order.
            {"1,234.5 items", "1.234,5 Elemente", false},
            {"1,234.5 items", "1 234,5 \xC3\xA9l\xC3\xA9ments", false, "en", "fr"},
            {"1,234.5 items",
             "1\xE2\x80\xAF"
             "234,5 \xC3\xA9l\xC3\xA9ments",
             false, "en", "fr"},
            {"Pay 3.50 EUR", "Zahlen Sie 3,50 EUR", false},
            {"Preis: 1.000 Euro", "Price: 1,000 euros", false, "de", "en"},
            {"3 files", "drei Dateien", false},
            {"one file", "1 Datei", false},
            {"Released on 12/31/2024",
             "Ver\xC3\xB6"
             "ffentlicht am 31.12.2024",
             false},
            {"Version 2.1.3", "Version 2.1.3", false, "en", "fr"},
            {"ISO-8859-1 and UTF-8", "ISO-8859-1 \xD0\xB8 UTF-8", false, "en", "ru"},
            {"Page 12", "\xD8\xA7\xD9\x84\xD8\xB5\xD9\x81\xD8\xAD\xD8\xA9 \xD9\xA1\xD9\xA2", false,
             "en", "ar"},
            {"See http://example.org/3.", "Siehe http://example.org/3.", false},
            {"3.5 GB", "3,5 GB", false, "", ""},
        });
}

TEST(ChecksTest, Addresses) {
    ExpectTable(
        TCheck::Urls,
        {
            {"See https://example.org/docs.", "Siehe https://example.org/doku.", true},
            {"Mail info@example.org", "Schreiben Sie an info@example.com", true},
            {"Visit www.debian.org today", "Besuchen Sie heute debian.org", true},
            {"Read the manual", "Lisez le manuel sur https://example.org", true, "en", "fr"},
            {"See https://example.org/docs.", "Voir https://example.org/docs.", false, "en", "fr"},
            {"(see http://example.org/a_(b))", "(siehe http://example.org/a_(b))", false},
            {"Visit https://example.org/ for more",
             "\xE8\xA9\xB3\xE3\x81\x97\xE3\x81\x8F\xE3\x81\xAFhttps://example.org/"
             "\xE3\x82\x92\xE5\x8F\x82\xE7\x85\xA7",
             false, "en", "ja"},
            {"Write to <root@localhost.localdomain>.",
             "Schreiben Sie an root@localhost.localdomain.", false},
        });
}

TEST(ChecksTest, Untranslated) {
    ExpectTable(TCheck::Untranslated, {
                                          {"Hello", "", true},
                                          {"Press <b1>x</b1>", "", true, "en", "de", S},
                                          {"Save", "   ", true},
                                          {"", "", false},
                                          {" ", "", false},
                                          {"Hello", "Hallo", false},
                                          {"<br1/>", "<br1/>", false, "en", "de", S},
                                      });
}

TEST(ChecksTest, PlaceholderSpacing) {
    ExpectTable(TCheck::PlaceholderSpacing,
                {
                    {"Press <b1>Enter</b1> now",
                     "Dr\xC3\xBC"
                     "cken Sie<b1>Enter</b1> jetzt",
                     true, "en", "de", S},
                    {"the <b1>file</b1> manager", "der <b1>Datei</b1>manager", true, "en", "de", S},
                    {"A <a1>link</a1>.", "Un <a1> lien</a1>.", true, "en", "fr", S},
                    {"Click <a1>here</a1> to go on", "<a1>Hier</a1> klicken, um weiterzugehen",
                     false, "en", "de", S},
                    {"Say \xE2\x80\x9C<b1>yes</b1>\xE2\x80\x9D",
                     "Dites \xC2\xAB\xC2\xA0<b1>oui</b1>\xC2\xA0\xC2\xBB", false, "en", "fr", S},
                    {"Press <b1>Enter</b1> now",
                     "<b1>Enter</b1>\xE3\x82\xAD\xE3\x83\xBC\xE3\x82\x92\xE6\x8A\xBC\xE3\x81\x99",
                     false, "en", "ja", S},
                    {"Press <b1>Enter</b1> now",
                     "Dr\xC3\xBC"
                     "cken Sie jetzt <b1>Enter</b1>",
                     false, "en", "de", S},
                });
}

TEST(ChecksTest, DoubleSpace) {
    ExpectTable(TCheck::DoubleSpace,
                {
                    {"A B", "A  B", true},
                    {"One sentence. Another.", "Une phrase.  Une autre.", true, "en", "fr"},
                    {"x", "x  y", true, "en", "es"},
                    {"A  B", "A  B", false},
                    {"a b", "a\xC2\xA0 b", false},
                    {"Read <b1>this</b1> now", "Lies <b1>das</b1> jetzt", false, "en", "de", S},
                    {"A B", "A B", false},
                });
}

TEST(ChecksTest, EndPunctuation) {
    ExpectTable(
        TCheck::EndPunctuation,
        {
            {"Done.", "Fertig", true},
            {"Continue?", "Weiter.", true},
            {"Continue?", "Continuer?", true, "en", "fr"},
            {"Continue?", "Continuar?", true, "en", "es"},
            {"Note:", "Hinweis", true},
            {"\xE5\xAE\x8C\xE4\xBA\x86\xE3\x80\x82", "Fertig\xE3\x80\x82.", true, "ja", "de"},
            {"Really?", "Wirklich ?", true},
            // French blanks, Spanish openings, CJK full stops, Greek and Thai ways.
            {"Continue?", "Continuer ?", false, "en", "fr"},
            {"Note:", "Remarque\xE2\x80\xAF:", false, "en", "fr"},
            {"Continue?",
             "\xC2\xBF"
             "Continuar?",
             false, "en", "es"},
            {"Done.", "\xE5\xAE\x8C\xE4\xBA\x86\xE3\x80\x82", false, "en", "ja"},
            {"Why?", "\xE4\xB8\xBA\xE4\xBB\x80\xE4\xB9\x88\xEF\xBC\x9F", false, "en", "zh"},
            {"Wait...", "Warte\xE2\x80\xA6", false},
            {"(see below.)", "(siehe unten).", false},
            {"Done.", "\xE0\xB9\x80\xE0\xB8\xAA\xE0\xB8\xA3\xE0\xB9\x87\xE0\xB8\x88", false, "en",
             "th"},
            {"Why?", "\xCE\x93\xCE\xB9\xCE\xB1\xCF\x84\xCE\xAF;", false, "en", "el"},
            {"Vraiment ?", "Really?", false, "fr", "en"},
        });
}

TEST(ChecksTest, Brackets) {
    ExpectTable(
        TCheck::Brackets,
        {
            {"Open (new)",
             "\xC3\x96"
             "ffnen (neu",
             true},
            {"See [1]", "Voir 1]", true, "en", "fr"},
            {"He said \xE2\x80\x9Cyes\xE2\x80\x9D", "Er sagte \xE2\x80\x9Eja", true},
            {"(note)", "\xEF\xBC\x88\xE6\xB3\xA8", true, "en", "ja"},
            {"(see", "siehe", true},
            {"below)", "unten", true},
            {"a) first", "a) erstens", false},
            {"He said \xE2\x80\x9Cyes\xE2\x80\x9D", "Er sagte \xE2\x80\x9Eja\xE2\x80\x9C", false},
            {"He said \xE2\x80\x9Cyes\xE2\x80\x9D", "Il a dit \xC2\xAB\xC2\xA0oui\xC2\xA0\xC2\xBB",
             false, "en", "fr"},
            {"(note)", "\xEF\xBC\x88\xE6\xB3\xA8\xEF\xBC\x89", false, "en", "ja"},
            {"5\" screen", "5\"-Bildschirm", false},
        });
}

TEST(ChecksTest, RepeatedWord) {
    ExpectTable(
        TCheck::RepeatedWord,
        {
            {"Die Datei", "the the file", true, "de", "en"},
            {"the file", "le le fichier", true, "en", "fr"},
            {"the file", "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB", true,
             "en", "ru"},
            {"women who feed the cat", "Frauen, die die Katze f\xC3\xBCttern", false},
            {"we get up", "nous nous levons", false, "en", "fr"},
            {"Bora Bora", "Bora Bora", false, "en", "fr"},
            {"10 10", "10 10", false},
            {"test test",
             "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", false,
             "en", "ja"},
        });
}

TEST(ChecksTest, Unchanged) {
    ExpectTable(
        TCheck::Unchanged,
        {
            {"Save the file", "Save the file", true},
            {"open the door", "Open the door", true, "en", "fr"},
            {"\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE4\xBF\x9D\xE5\xAD\x98",
             "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE4\xBF\x9D\xE5\xAD\x98",
             true, "ja", "en"},
            {"Debian", "Debian", false},
            {"Apache HTTP Server", "Apache HTTP Server", false, "en", "fr"},
            {"/usr/bin/env", "/usr/bin/env", false},
            {"https://example.org", "https://example.org", false},
            {"2024", "2024", false},
            {"--help", "--help", false},
        });
}

TEST(ChecksTest, Length) {
    ExpectTable(
        TCheck::Length,
        {
            {"Save the file to disk now", "Speichern", true},
            {"OK", "Einverstanden, wird gemacht", true},
            {"Open the file",
             "\xC3\x96"
             "ffnen Sie die Datei mit dem Programm Ihrer Wahl, sobald es geht",
             true},
            {"Save the file to disk now",
             "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE3\x83\x87\xE3\x82\xA3"
             "\xE3\x82\xB9\xE3\x82\xAF\xE3\x81\xAB\xE4\xBF\x9D\xE5\xAD\x98",
             false, "en", "ja"},
            {"Save the file to disk now",
             "\xE5\xB0\x86\xE6\x96\x87\xE4\xBB\xB6\xE4\xBF\x9D\xE5\xAD\x98\xE5\x88\xB0\xE7\xA3\x81"
             "\xE7\x9B\x98",
             false, "en", "zh"},
            {"OK", "Okay", false},
            {"Cancel", "Abbrechen", false},
            {"42", "zweiundvierzig", false},
        });
}

TEST(ChecksTest, AnEmptyTranslationIsOneFinding) {
    const std::vector<TFinding> findings =
        CheckPair("Read <b1>2</b1> pages.", "", {"en", "de", S, TCheckSelection::All()});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Check, TCheck::Untranslated);
}

TEST(ChecksTest, AListOfIdsChoosesChecks) {
    EXPECT_EQ(ParseCheckList("numbers, urls"),
              TCheckSelection::None().Add(TCheck::Numbers).Add(TCheck::Urls));
    for (const TCheckInfo& info : Checks()) {
        EXPECT_EQ(FindCheck(info.Id), info.Check);
        EXPECT_EQ(&CheckInfo(info.Check), &info);
    }
    for (const char* bad : {"numbers,", "nubmers", "", "numbers,,urls"}) {
        try {
            ParseCheckList(bad);
            ADD_FAILURE() << bad;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find("Unknown check"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace quillfen
