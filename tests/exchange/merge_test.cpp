#include "exchange/merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document.h"
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

// Each faulty unit refuses the whole file, naming the unit; with SkipBad the others go in.
TEST(MergeTest, FaultyUnitsAreNamedAndStopTheMergeUnlessSkipped) {
    const struct {
        TTranslationUnit unit;
        std::string expected;  // part of the error's English text
    } cases[] = {
        {{"9", "x", "y", 7}, "Unit 9 (line 7): no phrase"},
        {{"b2", "x", "y", 7}, "Unit b2 (line 7): no phrase"},
        {{"0", "x", "y", 7}, "Unit 0 (line 7): no phrase"},
        {{"2", "Two pears.", "Zwei\nBirnen.", 7},
         "Unit 2 (line 7): the text for phrase 2 holds a line"},
        {{"2", "Two pears.", "  \t ", 7}, "Unit 2 (line 7): the text for phrase 2 is empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        TMergeFixture f;
        auto file = f.File({{"1", "One apple.", "Ein Apfel.", 1}, c.unit});
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
        EXPECT_NE(std::string(report.Problems[0].English()).find(c.expected), std::string::npos);
        EXPECT_EQ(f.doc.Text(0), "Ein Apfel.");
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
    auto bad = f.File({{"1", "", "Le renard brun.", 1}});
    EXPECT_THROW(MergeTranslation(f.doc, bad, {}, f.write), TError);
    MergeTranslation(f.doc, f.File({{"1", "", "Le renard <b1>brun</b1> rapide.", 1}}), {}, f.write);
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
