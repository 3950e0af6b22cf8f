#include "memory/matching.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "memory/memory.h"
#include "tests/memory/generate.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::TTempDir;

struct TStored {
    std::string source, target;
    TContext context = {};
};

// A lookup in a memory holding units (en to de), and the best match it must give: its score
// (0: none), its text fitted to the query, the placeholders left out.
struct TMatchCase {
    const char* name;
    std::vector<TStored> units;
    std::string query;
    int min = kDefaultMinScore;
    TContext context;
    int score;
    std::string text;
    std::vector<std::string> dropped = {};
};

const TMatchCase kMatchCases[] = {
    {"exact",
     {{"Save the file.", "Datei speichern."}},
     "Save the file.",
     75,
     {},
     100,
     "Datei speichern."},
    {"exact, though the unit stood elsewhere",
     {{"Save the file.", "Datei speichern.", {"a.html", "Open it.", "Close it."}}},
     "Save the file.",
     75,
     {"b.html", "Open.", "Close."},
     100,
     "Datei speichern."},
    {"in context: the same neighbours",
     {{"Save the file.", "Datei speichern.", {"a.html", "Open it.", "Close it."}}},
     "Save the file.",
     75,
     {"b.html", "Open it.", "Close it."},
     101,
     "Datei speichern."},
    {"in context: the same page",
     {{"Save the file.", "Datei speichern.", {"a.html", "Open it.", "Close it."}}},
     "Save the file.",
     75,
     {"a.html", "", ""},
     101,
     "Datei speichern."},
    {"in context first, exact after",
     {{"Save the file.", "Sichern.", {"b.html", "", ""}},
      {"Save the file.", "Datei speichern.", {"a.html", "", ""}}},
     "Save the file.",
     75,
     {"a.html", "", ""},
     101,
     "Datei speichern."},
    {"near exact: case",
     {{"Save the file.", "Datei speichern."}},
     "save the FILE.",
     75,
     {},
     99,
     "Datei speichern."},
    {"near exact: blanks",
     {{"Save the file .", "Datei speichern."}},
     "Save the file.",
     75,
     {},
     99,
     "Datei speichern."},
    {"near exact: a placeholder the phrase lacks",
     {{"Save the <b1>file</b1>.", "<b1>Datei</b1> speichern."}},
     "Save the file.",
     75,
     {},
     98,
     "Datei speichern.",
     {"<b1>"}},
    {"near exact: two placeholders the unit lacks",
     {{"Save the file.", "Datei speichern."}},
     "Save <i1>the</i1> <b2>file</b2>.",
     75,
     {},
     97,
     "Datei speichern."},
    {"near exact: placeholders swapped, numbers by element",
     {{"The <u1>big</u1> <b2>black</b2> cat", "Le gros <u1>chat</u1> <b2>noir</b2>"}},
     "The <b1>big</b1> <u2>black</u2> cat",
     75,
     {},
     98,
     "Le gros <u2>chat</u2> <b1>noir</b1>"},
    {"fuzzy: a placeholder that cannot be mapped is left out, its content stays",
     {{"Please read the <a1>manual</a1> carefully before you start the new program today.",
       "Lies das <a1>Handbuch</a1> sorgf\xC3\xA4ltig."}},
     "Please read the manual carefully before you start the new program now.",
     75,
     {},
     80,
     "Lies das Handbuch sorgf\xC3\xA4ltig.",
     {"<a1>"}},
    {"fuzzy at the edge: 6 of 8 tokens",
     {{"the quick brown fox jumps over it .", "der Fuchs"}},
     "the quick red fox jumps over him .",
     75,
     {},
     75,
     "der Fuchs"},
    {"fuzzy just below the threshold: 76 asked, 75 found",
     {{"the quick brown fox jumps over it .", "der Fuchs"}},
     "the quick red fox jumps over him .",
     76,
     {},
     0,
     ""},
    {"fuzzy: best of several first",
     {{"one two three four five six seven eight nine", "A"},
      {"one two three four five six seven eight", "B"},
      {"one two three four five six seven nine ten eleven", "C"}},
     "one two three four five six seven eight nine ten",
     75,
     {},
     90,
     "A"},
    {"Japanese: one word other",
     {{"私は東京の大学で日本語を勉強しています。", "I study."}},
     "私は大阪の大学で日本語を勉強しています。",
     75,
     {},
     -1,
     "I study."},
    {"Chinese: one word other",
     {{"我们明天在图书馆里一起学习中文。", "We study."}},
     "我们今天在图书馆里一起学习中文。",
     75,
     {},
     -1,
     "We study."},
    {"other language pair: none", {{"Save the file.", "Datei speichern."}}, "", 75, {}, 0, ""},
};

class MatchCases : public ::testing::TestWithParam<TMatchCase> {};

TEST_P(MatchCases, BestMatch) {
    const TMatchCase& c = GetParam();
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    std::int64_t time = 1000;
    for (const TStored& s : c.units) {
        TUnit unit;
        unit.Source = s.source;
        unit.Target = s.target;
        unit.Languages = {"en", "de"};
        unit.Context = s.context;
        unit.Time = ++time;
        memory.Add(unit);
    }
    TQuery query;
    const bool otherPair = c.query.empty();
    query.Text = otherPair ? c.units[0].source : c.query;
    query.Languages = otherPair ? TLanguagePair{"en", "fr"} : TLanguagePair{"EN", "De"};
    query.MinScore = c.min;
    query.Context = c.context;
    const std::vector<TMatch> matches = memory.Lookup(query);
    if (c.score == 0) {
        EXPECT_TRUE(matches.empty()) << matches.front().Score << " " << matches.front().Text;
        return;
    }
    ASSERT_FALSE(matches.empty());
    if (c.score > 0) {
        EXPECT_EQ(matches.front().Score, c.score);
    } else {
        // Scripts without blanks: ICU's words, one of about a dozen other.
        EXPECT_GE(matches.front().Score, 80);
        EXPECT_LE(matches.front().Score, 95);
    }
    EXPECT_EQ(matches.front().Text, c.text);
    EXPECT_EQ(matches.front().Dropped, c.dropped);
    for (std::size_t k = 1; k < matches.size(); ++k)
        EXPECT_GE(matches[k - 1].Score, matches[k].Score);
}

INSTANTIATE_TEST_SUITE_P(Memory, MatchCases, ::testing::ValuesIn(kMatchCases),
                         [](const ::testing::TestParamInfo<TMatchCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
                                     (*p >= '0' && *p <= '9'))
                                     name += *p;
                             return name;
                         });

// The index must find what reading every unit finds: a memory of corpus sentences and their
// mutations, asked for other mutations, against MatchScore over each unit.
TEST(Memory, IndexFindsWhatAScanOfEveryUnitFinds) {
    const std::vector<std::string> sentences = testing::CorpusSentences();
    const std::vector<std::string> words = testing::WordsOf(sentences);
    ASSERT_GT(sentences.size(), 1000u);
    TTempDir dir;
    TMemory memory(dir / "m.sqlite");
    const std::vector<TUnit> units = testing::GenerateUnits(8000, 7, sentences, words);
    memory.Add(units);

    std::vector<std::pair<std::string, TAnalysis>> stored;
    memory.ForEachUnit("", "", [&](const TUnit& u) {
        stored.emplace_back(u.Source + "\n" + u.Target, AnalyseText(u.Source));
    });
    std::mt19937 random(11);
    std::size_t scanned = 0, found = 0;
    for (int q = 0; q < 300; ++q) {
        TQuery query;
        query.Text = testing::Mutate(sentences[random() % sentences.size()], words, random);
        query.Languages = {"en", "de"};
        query.Limit = 100000;
        const TAnalysis analysis = AnalyseText(query.Text);
        std::set<std::string> expected, got;
        for (const auto& [key, a] : stored) {
            const std::string source = key.substr(0, key.find('\n'));
            if (MatchScore(query.Text, analysis, source, a.Tokens, a.WordsKey, false,
                           kDefaultMinScore) >= 0)
                expected.insert(key);
        }
        for (const TMatch& m : memory.Lookup(query))
            got.insert(m.Unit.Source + "\n" + m.Unit.Target);
        for (const std::string& key : expected) found += got.count(key);
        for (const std::string& key : got) EXPECT_TRUE(expected.count(key)) << key;
        scanned += expected.size();
    }
    // Enough matches to speak of, and every one of them (the bound is exact, 99 % is the floor).
    EXPECT_GT(scanned, 300u);
    EXPECT_GE(static_cast<double>(found), 0.99 * static_cast<double>(scanned));
    EXPECT_EQ(found, scanned);
}

}  // namespace
}  // namespace quillfen
