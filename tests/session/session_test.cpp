// The rules of a working session that both front ends rely on: how a translation tool's file is
// merged into a page cut otherwise than when it was exported, and what is told to the work that
// outlives the session (a memory, a project) and what never is.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/markup/sentences.h"
#include "exchange/po.h"
#include "session/pagesession.h"
#include "tests/support/files.h"

using namespace quillfen;
using quillfen::testing::ReadBytes;
using quillfen::testing::TTempDir;
using quillfen::testing::WriteBytes;

namespace {

const std::string kPage =
    "<html lang=\"en\"><p>One <b>bold</b> word. Two.</p><img alt=\"Picture\"></html>";

// A PO file of the page as cut (tags, units), with the picture's text translated.
std::string TranslatedPo(const std::string& path, TTags tags, TUnits units) {
    TPageSession exported;
    exported.Open(path, tags, units);
    std::string po = PoBytes(exported.Document(), "page.html", {}, "2026-12-10 10:00+0000");
    const std::string entry = "msgid \"Picture\"\nmsgstr \"\"";
    const std::size_t at = po.find(entry);
    if (at == std::string::npos) throw std::runtime_error("no entry for the picture in\n" + po);
    po.replace(at, entry.size(), "msgid \"Picture\"\nmsgstr \"Bild\"");
    return po;
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    s.replace(s.find(from), from.size(), to);
    return s;
}

}  // namespace

// The file's numbers name phrases as the page was cut when it was exported: whatever cut the
// page is open in, it is read in the file's cut before units are matched. A page changed since
// the export needs Force, in either cut.
TEST(SessionMerge, AFileIsMergedInTheCutItWasExportedIn) {
    if (!SentencesAvailable()) GTEST_SKIP() << "this build cuts no sentences";
    struct TCase {
        const char* name;
        TUnits exportedIn, openIn;
        TTags openTags;
        bool changedSince;
    };
    const TCase cases[] = {
        {"same cut", TUnits::Sentences, TUnits::Sentences, TTags::Default, false},
        {"sentences file, page open in runs", TUnits::Sentences, TUnits::Runs, TTags::Default,
         false},
        {"runs file, page open in sentences", TUnits::Runs, TUnits::Sentences, TTags::Default,
         false},
        {"other kinds open", TUnits::Sentences, TUnits::Sentences, TTags::PlainText, false},
        {"changed since, open in runs", TUnits::Sentences, TUnits::Runs, TTags::Default, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string page = dir / "page.html", po = dir / "page.po";
        WriteBytes(page, kPage);
        WriteBytes(po, TranslatedPo(page, TTags::Default, c.exportedIn));
        TPageSession session;
        session.Open(page, c.openTags, c.openIn);
        std::string expected = Replaced(kPage, "Picture", "Bild");
        if (c.changedSince) {
            ASSERT_TRUE(
                session.Confirm(0, c.openIn == TUnits::Runs ? "Uno" : "Uno <b1>bold</b1> word."));
            expected = Replaced(expected, "One", "Uno");
        }
        const std::string before = ReadBytes(page);

        const TPageSession::TMergePlan plan = session.PlanMerge(po);
        EXPECT_EQ(plan.Recut, c.openIn != c.exportedIn || c.openTags != TTags::Default);
        EXPECT_EQ(plan.OtherPage, c.changedSince);
        if (c.changedSince) {
            EXPECT_THROW(session.Merge(plan, {}), TError);
            EXPECT_EQ(ReadBytes(page), before) << "a refused merge writes nothing";
            TMergeOptions force;
            force.Force = true;
            session.Merge(session.PlanMerge(po), force);
        } else {
            session.Merge(plan, {});
        }
        EXPECT_EQ(ReadBytes(page), expected);
        EXPECT_EQ(session.Document().Units(), c.exportedIn);
        EXPECT_EQ(session.Document().Tags(), TTags::Default);
        ASSERT_TRUE(session.CanUndo()) << "the merge is one step of the history";
        session.Undo();
        EXPECT_EQ(ReadBytes(page), before);
    }
}

namespace {

struct TTold {
    TReplacementSource Source;
    std::vector<TReplacedPhrase> Phrases;
};

class TRecorder final : public TReplacementObserver {
  public:
    std::vector<TTold> told;
    bool fail = false;
    void Replaced(const TPageSession&, TReplacementSource source,
                  const std::vector<TReplacedPhrase>& phrases) override {
        told.push_back({source, phrases});
        if (fail) throw std::runtime_error("memory is full");
    }
};

}  // namespace

// Only what was written reaches the observers, with the text it replaced: never a draft, a text
// equal to the one there, or a step whose save failed. An observer's failure leaves the step.
TEST(SessionObservers, AreToldOfEveryWrittenStepAndOfNothingElse) {
    if (!SentencesAvailable()) GTEST_SKIP() << "this build cuts no sentences";
    TTempDir dir;
    const std::string page = dir / "page.html", po = dir / "page.po";
    WriteBytes(page, kPage);
    WriteBytes(po, TranslatedPo(page, TTags::Default, TUnits::Sentences));
    TPageSession session;
    session.Open(page, TTags::Default, TUnits::Sentences);
    TRecorder recorder;
    session.AddObserver(&recorder);

    session.SetDraft(0, "Eins");
    EXPECT_FALSE(session.Confirm(1, "Two."));
    EXPECT_FALSE(session.Replace({{1, "Two. "}}));
    EXPECT_TRUE(recorder.told.empty()) << "drafts and unchanged texts are not told";

    ASSERT_TRUE(session.Confirm(0, "Eins <b1>fett</b1> Wort."));
    ASSERT_TRUE(session.Replace({{1, "Zwo."}, {2, "Picture"}}));
    // Exported before the two steps: forced, the picture's unit still fits its phrase.
    session.Merge(session.PlanMerge(po), [] {
        TMergeOptions force;
        force.Force = true;
        return force;
    }());
    ASSERT_EQ(recorder.told.size(), 3u);
    EXPECT_EQ(recorder.told[0].Source, TReplacementSource::Confirmed);
    ASSERT_EQ(recorder.told[0].Phrases.size(), 1u);
    EXPECT_EQ(recorder.told[0].Phrases[0].Before, "One <b1>bold</b1> word.");
    EXPECT_EQ(recorder.told[0].Phrases[0].After, "Eins <b1>fett</b1> Wort.");
    EXPECT_EQ(recorder.told[1].Source, TReplacementSource::Set);
    ASSERT_EQ(recorder.told[1].Phrases.size(), 1u) << "the picture's text was already so";
    EXPECT_EQ(recorder.told[1].Phrases[0].Before, "Two.");
    EXPECT_EQ(recorder.told[2].Source, TReplacementSource::Merge);
    ASSERT_EQ(recorder.told[2].Phrases.size(), 1u);
    EXPECT_EQ(recorder.told[2].Phrases[0].Before, "Picture");
    EXPECT_EQ(recorder.told[2].Phrases[0].After, "Bild");

    // A save that fails tells nothing; an observer that fails leaves the written step.
    session.SetOutput(dir / "missing/page.html");
    EXPECT_THROW(session.Confirm(2, "Foto"), std::exception);
    EXPECT_EQ(recorder.told.size(), 3u);
    session.SetOutput(page);
    recorder.fail = true;
    EXPECT_TRUE(session.Confirm(2, "Foto"));
    EXPECT_TRUE(session.TakeObserverFailure());
    EXPECT_FALSE(session.TakeObserverFailure());
    EXPECT_NE(ReadBytes(page).find("alt=\"Foto\""), std::string::npos);
}

namespace {

// One step of a table case: confirm a text, or take back, do again or revert.
struct TAction {
    enum { Confirm, Undo, Redo, Revert } What;
    std::size_t Phrase = 0;
    const char* Text = "";
};

}  // namespace

// Within a session a phrase's source is the text it was read with, whatever it was made since; a
// phrase that reads as its source again, by undo, revert or typing, is no longer replaced, and the
// count, the filter and Enter's next phrase go by that.
TEST(SessionSources, ARunOfStepsLeavesEachPhraseItsFirstSource) {
    using A = TAction;
    struct TCase {
        const char* name;
        std::vector<TAction> steps;
        std::vector<const char*> sources;  // per phrase; null: none
    };
    const TCase cases[] = {
        {"confirmed", {{A::Confirm, 0, "Eins"}}, {"One", nullptr, nullptr}},
        {"replaced twice",
         {{A::Confirm, 0, "Eins"}, {A::Confirm, 0, "Uno"}},
         {"One", nullptr, nullptr}},
        {"undone to the source", {{A::Confirm, 0, "Eins"}, {A::Undo}}, {nullptr, nullptr, nullptr}},
        {"one of two steps undone",
         {{A::Confirm, 0, "Eins"}, {A::Confirm, 0, "Uno"}, {A::Undo}},
         {"One", nullptr, nullptr}},
        {"typed back to the source",
         {{A::Confirm, 0, "Eins"}, {A::Confirm, 0, "One"}},
         {nullptr, nullptr, nullptr}},
        {"undone and redone",
         {{A::Confirm, 1, "Zwei"}, {A::Undo}, {A::Redo}},
         {nullptr, "Two", nullptr}},
        {"reverted",
         {{A::Confirm, 0, "Eins"}, {A::Confirm, 2, "Drei"}, {A::Revert}},
         {nullptr, nullptr, nullptr}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string page = dir / "page.html";
        WriteBytes(page, "<p>One</p><p>Two</p><p>Three</p>");
        TPageSession session;
        session.Open(page, TTags::Default, TUnits::Runs);
        for (const TAction& step : c.steps) {
            switch (step.What) {
                case A::Confirm:
                    session.Confirm(step.Phrase, step.Text);
                    break;
                case A::Undo:
                    session.Undo();
                    break;
                case A::Redo:
                    session.Redo();
                    break;
                case A::Revert:
                    session.Revert();
                    break;
            }
        }
        std::size_t replaced = 0;
        for (std::size_t i = 0; i < c.sources.size(); ++i) {
            const std::optional<std::string> source = session.Source(i);
            EXPECT_EQ(source.has_value(), c.sources[i] != nullptr) << "phrase " << i;
            if (source && c.sources[i]) {
                EXPECT_EQ(*source, c.sources[i]) << "phrase " << i;
            }
            EXPECT_EQ(session.IsReplaced(i), c.sources[i] != nullptr) << "phrase " << i;
            replaced += c.sources[i] != nullptr;
            session.SetFilter(TPhraseFilter::Unchanged);
            EXPECT_EQ(session.InFilter(i), c.sources[i] == nullptr) << "phrase " << i;
            session.SetFilter(TPhraseFilter::All);
        }
        EXPECT_EQ(session.ChangedCount(), replaced);
    }
}

// Undo, redo and revert rewrite phrases too: what keeps a page's sources hears of them as steps of
// the history, with the texts before and after.
TEST(SessionObservers, HearOfTheHistorysSteps) {
    TTempDir dir;
    const std::string page = dir / "page.html";
    WriteBytes(page, "<p>One</p><p>Two</p>");
    TPageSession session;
    session.Open(page, TTags::Default, TUnits::Runs);
    TRecorder recorder;
    session.AddObserver(&recorder);
    ASSERT_TRUE(session.Replace({{0, "Eins"}, {1, "Zwei"}}));
    session.Undo();
    session.Redo();
    session.Revert();
    ASSERT_EQ(recorder.told.size(), 4u);
    for (std::size_t k = 1; k < 4; ++k) {
        EXPECT_EQ(recorder.told[k].Source, TReplacementSource::History);
        ASSERT_EQ(recorder.told[k].Phrases.size(), 2u);
    }
    EXPECT_EQ(recorder.told[1].Phrases[1].Before, "Zwei");
    EXPECT_EQ(recorder.told[1].Phrases[1].After, "Two");
    EXPECT_EQ(recorder.told[2].Phrases[0].After, "Eins");
    EXPECT_EQ(recorder.told[3].Phrases[0].Before, "Eins");
    EXPECT_EQ(recorder.told[3].Phrases[0].After, "One");
}
