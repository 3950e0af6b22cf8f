#include "exchange/merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document/document.h"
#include "core/errors.h"

namespace quillfen {
namespace {

const char kPage[] =
    "<html lang=\"en\"><body><p>One apple.</p><p>Two pears.</p>"
    "<img alt=\"A tree\"><p>Three plums.</p></body></html>";

struct TMergeFixture {
    TDocument doc;
    int writes = 0;
    TWrite write = [this] { ++writes; };
    explicit TMergeFixture(TTags tags = TTags::AllKinds, TUnits units = TUnits::Runs,
                           const std::string& page = kPage) {
        doc.LoadBytes(page, tags, units);
    }
    TTranslationFile File(std::vector<TTranslationUnit> units) const {
        return {StampOf(doc), std::move(units)};
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) texts.emplace_back(doc.Text(i));
        return texts;
    }
};

TEST(MergeTest, TranslatedUnitsBecomeOneStepAndTheRestKeepTheirBytes) {
    TMergeFixture f;
    ASSERT_EQ(f.Texts(),
              (std::vector<std::string>{"One apple.", "Two pears.", "A tree", "Three plums."}));
    const TMergeReport report = MergeTranslation(f.doc,
                                                 f.File({{"1", "One apple.", "Ein Apfel.", 1},
                                                         {"2", "Two pears.", std::nullopt, 2},
                                                         {"3", "A tree", "Ein \"Baum\" <groß>", 3},
                                                         {"4", "Three plums.", "Three plums.", 4}}),
                                                 {}, f.write);
    EXPECT_EQ(f.writes, 1);
    EXPECT_EQ(report.Translated, 3u);
    EXPECT_EQ(report.Kept, 1u);
    EXPECT_EQ(
        f.doc.Render(),
        "<html lang=\"en\"><body><p>Ein Apfel.</p><p>Two pears.</p>"
        "<img alt=\"Ein &quot;Baum&quot; &lt;gro&szlig;&gt;\"><p>Three plums.</p></body></html>");
    UndoReplacement(f.doc, f.write);
    EXPECT_EQ(f.doc.Render(), kPage);
}

TEST(MergeTest, AnUntouchedFileWritesNothing) {
    TMergeFixture f;
    MergeTranslation(f.doc, f.File({{"1", "One apple.", std::nullopt, 1}}), {}, f.write);
    EXPECT_EQ(f.writes, 0);
    EXPECT_FALSE(f.doc.CanUndo());
}

// Each faulty unit refuses the whole file, naming the unit; with SkipBad the others go in. A
// matching stamp says the page is the one exported, not that each unit still belongs to its
// phrase: its number, its kind and its source must be its phrase's.
TEST(MergeTest, FaultyUnitsAreNamedAndStopTheMergeUnlessSkipped) {
    const std::string huge(16 * 10 + (1 << 20) + 1, 'x');
    TTranslationUnit tooLong{"2", "Two pears.", "Zwei", 7};
    tooLong.TargetTooLong = true;
    TTranslationUnit sourceTooLong{"2", "Two pears.", "Zwei", 7};
    sourceTooLong.SourceTooLong = true;
    TTranslationUnit inRuns{"2", "Two pears.", "a <b1>fett</b1> b", 7};
    inRuns.Inline = "<g>";
    TTranslationUnit byteCode{"2", "Two pears.", "a <byte-1/> b", 7};
    byteCode.Inline = "<x>";
    const struct {
        TTranslationUnit unit;
        std::string expected;  // part of the error's English text
    } cases[] = {
        {{"9", "x", "y", 7}, "Unit 9 (line 7): no phrase"},
        {{"b2", "x", "y", 7}, "Unit b2 (line 7): no phrase"},
        {{"0", "x", "y", 7}, "Unit 0 (line 7): no phrase"},
        {{"", "x", "y", 7}, "Unit without a number (line 7): no phrase"},
        {{"2", "Two pears.", "Zwei\nBirnen.", 7},
         "Unit 2 (line 7): the text for phrase 2 holds a line"},
        {{"2", "Two pears.", "  \t ", 7}, "Unit 2 (line 7): the text for phrase 2 is empty"},
        {{"2", "Two pearz.", "Zwei Birnen.", 7},
         "Unit 2 (line 7): its source is not the text of phrase 2"},
        {sourceTooLong, "Unit 2 (line 7): its source is not the text of phrase 2"},
        {{"2", "Two pears.", "Zwei Birnen.", 7, "G"},
         "Unit 2 (line 7): it names the kind G, but phrase 2 is of kind T"},
        {{"2", "Two pears.", "Zwei Birnen.", 7, "x-image-alternatives"},
         "it names the kind x-image-alternatives, but phrase 2 is of kind T"},
        {{"2", "Two pears.", "Zwei Birnen.", 7, "Q"}, "it names the kind Q, but phrase 2"},
        {{"2", "Two pears.", huge, 7},
         "Unit 2 (line 7): the translation is longer than 16 times its source and 1 MiB"},
        {tooLong, "Unit 2 (line 7): the translation is longer than 16 times its source"},
        {inRuns,
         "Unit 2 (line 7): the translation holds the inline element <g>, but phrase 2 has no "
         "placeholders"},
        {byteCode, "the inline element <x>, but phrase 2 has no placeholders"},
        {{"3", "A tree", "Baum", 7}, "Unit 3 (line 7): phrase 3 has another unit in this file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        TMergeFixture f;
        auto file =
            f.File({{"1", "One apple.", "Ein Apfel.", 1}, {"3", "A tree", "Ein Baum", 2}, c.unit});
        try {
            MergeTranslation(f.doc, file, {}, f.write);
            ADD_FAILURE() << "merged";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find(c.expected), std::string::npos) << e.English();
        }
        EXPECT_EQ(f.writes, 0);
        EXPECT_EQ(f.doc.Render(), kPage);

        const TMergeReport report = MergeTranslation(f.doc, file, {.SkipBad = true}, f.write);
        EXPECT_EQ(f.writes, 1);
        ASSERT_EQ(report.Problems.size(), 1u);
        EXPECT_EQ(report.LeftOut, 1u);
        EXPECT_NE(std::string(report.Problems[0].English()).find(c.expected), std::string::npos);
        EXPECT_EQ(f.doc.Text(0), "Ein Apfel.");
        // Of two units for one phrase neither goes in.
        const bool doubled = c.unit.Id == "3";
        EXPECT_EQ(f.doc.Text(2), doubled ? "A tree" : "Ein Baum");
        EXPECT_EQ(report.Translated, doubled ? 1u : 2u);
    }
}

// The report counts phrases, not units: a unit a tool added beside ours (po2xliff -t) gives ours
// its target; doubled units count for neither.
TEST(MergeTest, TheReportCountsPhrases) {
    auto added = [](TTranslationUnit unit) {
        unit.Added = true;
        return unit;
    };
    const struct {
        const char* name;
        std::vector<TTranslationUnit> units;
        std::size_t translated, kept, leftOut;
        std::vector<std::string> texts;
    } cases[] = {
        {"ours and the tool's",
         {{"1", "One apple.", std::nullopt, 1},
          {"2", "Two pears.", std::nullopt, 2},
          added({"1", "One apple.", "Ein Apfel.", 9}),
          added({"2", "Two pears.", std::nullopt, 10})},
         1,
         1,
         0,
         {"Ein Apfel.", "Two pears.", "A tree", "Three plums."}},
        {"both translated",
         {{"1", "One apple.", "Ein Apfel.", 1}, added({"1", "One apple.", "Eins", 9})},
         0,
         0,
         1,
         {"One apple.", "Two pears.", "A tree", "Three plums."}},
        {"the tool's twice",
         {{"1", "One apple.", std::nullopt, 1},
          added({"1", "One apple.", std::nullopt, 9}),
          added({"1", "One apple.", "Eins", 10})},
         0,
         0,
         1,
         {"One apple.", "Two pears.", "A tree", "Three plums."}},
        {"a target equal to the text",
         {{"4", "Three plums.", "Three plums.", 4}, {"2", "Two pears.", "Zwei", 2}},
         2,
         0,
         0,
         {"One apple.", "Zwei", "A tree", "Three plums."}},
    };
    for (const auto& c : cases) {
        TMergeFixture f;
        const TMergeReport report =
            MergeTranslation(f.doc, f.File(c.units), {.SkipBad = true}, f.write);
        EXPECT_EQ(report.Translated, c.translated) << c.name;
        EXPECT_EQ(report.Kept, c.kept) << c.name;
        EXPECT_EQ(report.LeftOut, c.leftOut) << c.name;
        EXPECT_EQ(f.Texts(), c.texts) << c.name;
    }
}

// A file of another page, of this page before a change, or cut otherwise, is refused; forced,
// only units whose phrase still reads as their source are merged.
TEST(MergeTest, AFileOfAnotherPageIsRefusedOrMatchedBySource) {
    TMergeFixture exported;
    const auto file = exported.File({{"1", "One apple.", "Ein Apfel.", 1},
                                     {"2", "Two pears!", "Zwei Birnen!", 2},
                                     {"3", "A tree", "Ein Baum", 3}});
    TMergeFixture changed;
    ReplacePhrases(changed.doc, {{1, "Two pears!"}}, changed.write);
    TMergeFixture runsOnly(TTags::PlainText);
    TTranslationFile unstamped = file;
    unstamped.Stamp.reset();
    for (auto* f : {&changed, &runsOnly}) {
        const int writes = f->writes;
        EXPECT_THROW(MergeTranslation(f->doc, file, {}, f->write), TError);
        EXPECT_EQ(f->writes, writes);
    }
    EXPECT_THROW(MergeTranslation(exported.doc, unstamped, {}, exported.write), TError);

    const TMergeReport report = MergeTranslation(changed.doc, file, {.Force = true}, changed.write);
    EXPECT_EQ(changed.Texts(),
              (std::vector<std::string>{"Ein Apfel.", "Zwei Birnen!", "Ein Baum", "Three plums."}));
    EXPECT_TRUE(report.Problems.empty());

    // Phrase 3 of the text-only page is "Three plums.", not the image's "A tree".
    const TMergeReport forced =
        MergeTranslation(runsOnly.doc, file, {.Force = true}, runsOnly.write);
    EXPECT_EQ(runsOnly.Texts(),
              (std::vector<std::string>{"Ein Apfel.", "Two pears.", "Three plums."}));
    ASSERT_EQ(forced.Problems.size(), 2u);
    EXPECT_NE(std::string(forced.Problems[1].English()).find("Unit 3 (line 3)"), std::string::npos);
}

TEST(MergeTest, SentenceTargetsMayMovePlaceholdersButNotLoseThem) {
    if (!SentencesAvailable()) GTEST_SKIP() << "no sentences in this build";
    TMergeFixture f(TTags::Default, TUnits::Sentences,
                    "<p>The quick <b class=\"x\">brown</b> fox.</p>");
    ASSERT_EQ(f.doc.Text(0), "The quick <b1>brown</b1> fox.");
    const std::string source = "The quick <b1>brown</b1> fox.";
    auto bad = f.File({{"1", source, "Le renard brun.", 1}});
    EXPECT_THROW(MergeTranslation(f.doc, bad, {}, f.write), TError);
    // Inline codes stand for placeholders only as g and x.
    TTranslationUnit ph{"1", source, "Le renard <b1>brun</b1>.", 1};
    ph.Inline = "<ph>";
    try {
        MergeTranslation(f.doc, f.File({ph}), {}, f.write);
        ADD_FAILURE() << "merged";
    } catch (const TError& e) {
        EXPECT_STREQ(e.English(),
                     "Unit 1 (line 1): the translation holds the inline element <ph>, which "
                     "stands for no placeholder");
    }
    TTranslationUnit g{"1", source, "Le renard <b1>brun</b1> rapide.", 1};
    g.Inline = "<g>";
    MergeTranslation(f.doc, f.File({g}), {}, f.write);
    EXPECT_EQ(f.doc.Render(), "<p>Le renard <b class=\"x\">brun</b> rapide.</p>");
}

TEST(MergeTest, StampsReadBackAndOddTextsAreNone) {
    const TSourceStamp stamp{0x0123456789abcdefull, TTags::AllKinds, TUnits::Sentences};
    EXPECT_EQ(FormatSourceStamp(stamp), "xxh64=0123456789abcdef tags=15 units=sentences");
    EXPECT_EQ(ParseSourceStamp(FormatSourceStamp(stamp)), stamp);
    for (const char* odd :
         {"", "xxh64=0123 tags=7 units=runs", "xxh64=0123456789abcdeg tags=7 units=runs",
          "xxh64=0123456789abcdef tags=99 units=runs", "xxh64=0123456789abcdef tags=7 units=words",
          "axxh64=0123456789abcdef tags=7 units=runs"})
        EXPECT_EQ(ParseSourceStamp(odd), std::nullopt) << odd;
}

}  // namespace
}  // namespace quillfen
