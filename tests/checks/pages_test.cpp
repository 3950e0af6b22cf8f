#include "checks/pages.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/errors.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

std::set<std::pair<std::size_t, TCheck>> Where(const std::vector<TFinding>& findings) {
    std::set<std::pair<std::size_t, TCheck>> where;
    for (const TFinding& f : findings) where.emplace(f.Phrase, f.Check);
    return where;
}

TDocument Reloaded(const TDocument& changed) {
    TDocument d;
    d.LoadBytes(changed.Render(), changed.Tags(), changed.Units());
    return d;
}

// A real page "translated" as itself is silent; faults planted into four of its phrases are
// found there and nowhere else. (Every phrase left as its source would be "unchanged", so that
// check sits this one out.)
TEST(CheckPagesTest, APageAsItselfIsSilentAndPlantedFaultsAreFoundWherePlanted) {
    TDocument source;
    source.LoadBytes(
        testing::ReadBytes(QUILLFEN_SOURCE_DIR
                           "/tests/data/pages/sphinx-en-utf8-tutorial-introduction.html"),
        TTags::Default);
    TCheckOptions options;
    options.TargetLanguage = "de";
    TCheckSelection all;
    for (const TCheckInfo& info : Checks())
        if (info.Check != TCheck::Unchanged) all.Add(info.Check);
    options.Checks = all;
    EXPECT_EQ(CheckPages(source, source, options).size(), 0u);

    TDocument translated = Reloaded(source);
    std::map<std::size_t, TCheck> planted;
    for (std::size_t i = 0; i < translated.PhraseCount() && planted.size() < 4; ++i) {
        std::string text(translated.Text(i));
        if (text.size() < 20 || text.find_first_of("<&") != std::string::npos) continue;
        const std::size_t digit = text.find_first_of("0123456789");
        const auto plant = [&](TCheck check, std::string changed) {
            for (const auto& [k, c] : planted)
                if (c == check) return;
            // A text that another phrase holds would be one translation of two sources, and a
            // source that stands twice translated in two ways.
            for (std::size_t k = 0; k < source.PhraseCount(); ++k)
                if (source.Text(k) == changed || (k != i && source.Text(k) == source.Text(i)))
                    return;
            translated.SetPhraseText(i, changed);
            planted[i] = check;
        };
        if (digit != std::string::npos) {
            text[digit] = text[digit] == '9' ? '0' : char(text[digit] + 1);
            plant(TCheck::Numbers, text);
        } else if (text.back() == '.' && text.find('(') == std::string::npos) {
            text.pop_back();
            plant(TCheck::EndPunctuation, text);
        } else if (text.find(')') != std::string::npos && text.find('(') < text.rfind(')')) {
            text.erase(text.rfind(')'), 1);
            plant(TCheck::Brackets, text);
        } else if (text.find("://") == std::string::npos && text.find('.') == std::string::npos) {
            plant(TCheck::Urls, "https://example.org/ " + text);
        }
    }
    ASSERT_EQ(planted.size(), 4u);
    const std::vector<TFinding> findings = CheckPages(source, Reloaded(translated), options);
    std::set<std::pair<std::size_t, TCheck>> expected(planted.begin(), planted.end());
    EXPECT_EQ(Where(findings), expected);
    for (std::size_t k = 1; k < findings.size(); ++k)
        EXPECT_LE(findings[k - 1].Phrase, findings[k].Phrase);
}

// A sentence whose placeholders the translation moved is numbered anew when the translated page
// is read; the placeholders are known again by their tags, an image's alt translated or not.
TEST(CheckPagesTest, MovedPlaceholdersAreKnownByTheirTags) {
    if (!SentencesAvailable()) GTEST_SKIP() << "a build without sentences";
    const char kPage[] =
        "<html lang=\"en\"><body><p>Press <kbd>Ctrl</kbd> and <img src=\"s.png\" alt=\"save\"> "
        "then <b>go</b> in 3 steps.</p></body></html>";
    TDocument source;
    source.LoadBytes(kPage, TTags::Default, TUnits::Sentences);
    ASSERT_EQ(source.PhraseCount(), 2u);
    ASSERT_EQ(source.Text(0), "Press <kbd1>Ctrl</kbd1> and <img2/> then <b3>go</b3> in 3 steps.");
    TDocument translated = Reloaded(source);
    translated.SetPhraseText(0,
                             "<b3>Los</b3> in 3 Schritten: <img2/> und <kbd1>Strg</kbd1> dr\xC3\xBC"
                             "cken.");
    translated.SetPhraseText(1, "speichern");
    const TDocument read = Reloaded(translated);
    ASSERT_EQ(read.Text(0),
              "<b1>Los</b1> in 3 Schritten: <img2/> und <kbd3>Strg</kbd3> dr\xC3\xBC"
              "cken.");
    EXPECT_EQ(TranslatedPairs(source, read)[0].second,
              "<b3>Los</b3> in 3 Schritten: <img2/> und <kbd1>Strg</kbd1> dr\xC3\xBC"
              "cken.");
    TCheckOptions options;
    options.Checks = ParseCheckList("placeholders,numbers,placeholder-spacing");
    EXPECT_EQ(CheckPages(source, read, options).size(), 0u);
}

TEST(CheckPagesTest, PagesThatPartOutsidePhrasesAreRefused) {
    const std::string page =
        "<html><body><p>One <a href=\"a.html\">link</a>.</p><p>Two.</p><img alt=\"Three\">"
        "</body></html>";
    struct TCase {
        std::string from, to, error;
    } cases[] = {
        {"a.html", "b.html", "before phrase 2"},
        {"<p>Two.</p>", "", "has 4 phrases, its source 5"},
        {"</body>", "</div></body>", "after the last phrase"},
        {"<img alt", "<img title=\"x\" alt", "before phrase 5"},
    };
    TDocument source;
    source.LoadBytes(page, TTags::Default);
    for (const TCase& c : cases) {
        std::string changed = page;
        changed.replace(changed.find(c.from), c.from.size(), c.to);
        TDocument translated;
        translated.LoadBytes(changed, TTags::Default);
        try {
            CheckPages(source, translated, {});
            ADD_FAILURE() << c.to;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find(c.error), std::string::npos) << e.English();
        }
    }
}

TEST(CheckSetTest, OneSourceTranslatedOtherwiseAndOneTranslationForTwoSources) {
    const std::vector<TCheckedPhrase> phrases = {
        {"Save", "Speichern", 0, 0},
        {"Save", "Sichern", 0, 1},
        {"Save", "Speichern", 1, 2},
        {"Open",
         "\xC3\x96"
         "ffnen",
         0, 3},
        {"Opened",
         "\xC3\x96"
         "ffnen",
         0, 4},
        {"open",
         "\xC3\x96"
         "ffnen",
         1, 5},
        {"|", "|", 0, 6},
        {"|", "/", 0, 7},
        {"Close", "", 0, 8},
        {"Close",
         "Schlie\xC3\x9F"
         "en",
         0, 9},
        {"Back",
         "Zur\xC3\xBC"
         "ck",
         0, 10},
        {"back",
         "Zur\xC3\xBC"
         "ck",
         0, 11},
    };
    std::vector<TFinding> findings;
    const std::vector<std::string> pages = {"a.html", "b.html"};
    CheckSet(phrases, TCheckSelection::All(), findings, pages);
    ASSERT_EQ(Where(findings),
              (std::set<std::pair<std::size_t, TCheck>>{{1, TCheck::InconsistentSource},
                                                        {4, TCheck::InconsistentTarget}}));
    for (const TFinding& f : findings) {
        EXPECT_EQ(f.Severity, TSeverity::Warning);
        EXPECT_EQ(f.Key, DismissalKey(f.Check, phrases[f.Phrase].Source, phrases[f.Phrase].Target));
    }
    EXPECT_NE(findings[0].English.find("\xE2\x80\x9CSpeichern\xE2\x80\x9D in phrase 1"),
              std::string::npos)
        << findings[0].English;
}

TEST(DismissalTest, AKeyIsTheCheckAndBothTextsAndStaysTheSame) {
    // XXH64 of "18:Version 2.0 is outVersion 2.1 ist da", computed apart from this code: keys
    // kept by users must read the same in every later version.
    EXPECT_EQ(DismissalKey(TCheck::Numbers, "Version 2.0 is out", "Version 2.1 ist da"),
              "numbers:035d7deacb5c6ffd");
    const std::string key = DismissalKey(TCheck::Numbers, "ab", "c");
    EXPECT_NE(key, DismissalKey(TCheck::Numbers, "a", "bc"));
    EXPECT_NE(key, DismissalKey(TCheck::Numbers, "ab", "d"));
    EXPECT_NE(key, DismissalKey(TCheck::Numbers, "ac", "c"));
    EXPECT_EQ(DismissalKey(TCheck::Urls, "ab", "c").substr(0, 5), "urls:");
}

TEST(DismissalTest, ADismissedFindingComesBackWhenEitherTextChanges) {
    const std::string page = "<html><body><p>Version 2.0 is out.</p><p>Read 3 pages.</p>";
    TDocument source;
    source.LoadBytes(page, TTags::Default);
    TDocument translated = Reloaded(source);
    translated.SetPhraseText(0, "Version 2.1 ist da.");
    translated.SetPhraseText(1, "Lies 4 Seiten.");
    TCheckOptions options;
    options.TargetLanguage = "de";
    const std::vector<TFinding> before = CheckPages(source, Reloaded(translated), options);
    ASSERT_EQ(Where(before), (std::set<std::pair<std::size_t, TCheck>>{{0, TCheck::Numbers},
                                                                       {1, TCheck::Numbers}}));
    TDismissalSet dismissals;
    dismissals.Dismiss(before[0]);
    EXPECT_EQ(Where(CheckPages(source, Reloaded(translated), options, &dismissals)),
              (std::set<std::pair<std::size_t, TCheck>>{{1, TCheck::Numbers}}));
    translated.SetPhraseText(0, "Version 2.2 ist da.");
    EXPECT_EQ(Where(CheckPages(source, Reloaded(translated), options, &dismissals)), Where(before));
    TDocument source2 = Reloaded(source);
    source2.SetPhraseText(0, "Version 2.0 is here.");
    translated.SetPhraseText(0, "Version 2.1 ist da.");
    EXPECT_EQ(Where(CheckPages(Reloaded(source2), Reloaded(translated), options, &dismissals)),
              Where(before));
}

}  // namespace
}  // namespace quillfen
