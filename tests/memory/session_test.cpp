// The memory plugged into a page session: every step the session wrote is remembered with the
// text the page had before it, under the page's language pair; drafts and pages of no known
// language are not; and the suggestions for a phrase come back fitted to it.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "exchange/formats.h"
#include "memory/sessionmemory.h"
#include "session/pagesession.h"
#include "tests/support/files.h"

namespace quillfen {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

const std::string kPage =
    "<html lang=\"EN-gb\"><body>\n<p>Hello world.</p>\n<p>Press <b>Save</b> now.</p>\n"
    "<p>Bye.</p>\n</body></html>\n";

std::vector<TUnit> Units(TMemory& memory) {
    std::vector<TUnit> units;
    memory.ForEachUnit({}, {}, [&](const TUnit& u) { units.push_back(u); });
    return units;
}

// The PO file of the page with one message translated, as a translator's tool gives it back.
std::string TranslatedPo(const TPageSession& session, const std::string& folder) {
    session.Export(*FindExchangeFormat("po"), folder, {"en", "de"});
    const std::string po = folder + "/page.po";
    std::string text = ReadBytes(po);
    const std::string msgid = "msgid \"Hello world.\"\nmsgstr \"\"";
    const std::size_t at = text.find(msgid);
    EXPECT_NE(at, std::string::npos);
    text.replace(at, msgid.size(), "msgid \"Hello world.\"\nmsgstr \"Hallo Welt.\"");
    WriteBytes(po, text);
    return po;
}

// Each way a text reaches the page is one origin; a draft reaches nothing.
TEST(SessionMemory, EveryWrittenStepIsKeptWithItsTextBefore) {
    struct TCase {
        const char* name;
        std::function<void(TPageSession&, const std::string& dir)> step;
        std::size_t units;  // 0 or 1
        TOrigin origin;
    };
    const TCase cases[] = {
        {"confirmed", [](TPageSession& s, const std::string&) { s.Confirm(0, "Hallo Welt."); }, 1,
         TOrigin::Window},
        {"set",
         [](TPageSession& s, const std::string&) {
             s.Replace({{0, "Hallo Welt."}, {4, "Bye."}}, TReplacementSource::Set);
         },
         1, TOrigin::Save},
        {"merged",
         [](TPageSession& s, const std::string& dir) {
             s.Merge(s.PlanMerge(TranslatedPo(s, dir)), {});
         },
         1, TOrigin::Merge},
        {"draft", [](TPageSession& s, const std::string&) { s.SetDraft(0, "Hallo Welt."); }, 0,
         TOrigin::Window},
        // The same text again is no step.
        {"unchanged", [](TPageSession& s, const std::string&) { s.Confirm(0, "Hello world."); }, 0,
         TOrigin::Window},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        WriteBytes(dir / "page.html", kPage);
        TMemory memory(dir / "m.sqlite");
        TPageSession session;
        session.Open(dir / "page.html", TTags::Default, TUnits::Runs);
        TMemoryObserver observer(memory, {"", "de"});
        session.AddObserver(&observer);
        c.step(session, dir.Path().string());
        EXPECT_FALSE(session.TakeObserverFailure());
        const std::vector<TUnit> units = Units(memory);
        ASSERT_EQ(units.size(), c.units);
        if (c.units == 0) continue;
        EXPECT_EQ(units[0].Source, "Hello world.");
        EXPECT_EQ(units[0].Target, "Hallo Welt.");
        EXPECT_EQ(units[0].Origin, c.origin);
        EXPECT_EQ(units[0].Languages, (TLanguagePair{"en-GB", "de"}));
        EXPECT_EQ(units[0].Context.Page, "page.html");
        // The phrase translated again is another translation of the same source, never a
        // translation of the first one; typed back to its source, it translates nothing.
        session.Confirm(0, "Servus Welt.");
        ASSERT_EQ(Units(memory).size(), 2u);
        for (const TUnit& unit : Units(memory)) EXPECT_EQ(unit.Source, "Hello world.");
        session.Confirm(0, "Hello world.");
        session.Undo();
        EXPECT_EQ(Units(memory).size(), 2u);
    }
}

// A page of no known language, or no target language, stores nothing, and the front end hears
// of it once; with the languages given the next step is stored.
TEST(SessionMemory, NoGuessedLanguagePair) {
    TTempDir dir;
    WriteBytes(dir / "page.html", "<p>One.</p><p>Two.</p><p>Three.</p>");
    const TLanguageOptions unknown[] = {{"", "de"}, {"en", ""}, {"und", "de"}, {"en", "und"}};
    const char* const files[] = {"m0.sqlite", "m1.sqlite", "m2.sqlite", "m3.sqlite"};
    for (std::size_t k = 0; k < std::size(unknown); ++k) {
        SCOPED_TRACE(k);
        TMemory memory(dir / files[k]);
        TPageSession session;
        session.Open(dir / "page.html", TTags::Default, TUnits::Runs);
        TMemoryObserver observer(memory, unknown[k]);
        session.AddObserver(&observer);
        EXPECT_FALSE(observer.TakeUnknownLanguage());
        session.Confirm(0, "Eins.");
        session.Confirm(1, "Zwei.");
        EXPECT_FALSE(session.TakeObserverFailure());
        EXPECT_TRUE(observer.TakeUnknownLanguage());
        EXPECT_FALSE(observer.TakeUnknownLanguage());
        EXPECT_EQ(memory.UnitCount(), 0u);
        TMemorySuggestions suggestions(memory, unknown[k]);
        EXPECT_FALSE(suggestions.QueryFor(session, 0));
        observer.SetLanguages({"en", "de"});
        session.Confirm(2, "Drei.");
        EXPECT_EQ(memory.UnitCount(), 1u);
        EXPECT_FALSE(observer.TakeUnknownLanguage());
        session.Revert();
    }
}

// Suggestions ask for the phrase as the page had it, also once it was replaced; a run takes them
// as text (no escapes, no placeholders); the same page or neighbours make a match in context.
TEST(SessionMemory, SuggestionsForThePhraseAsThePageHadIt) {
    TTempDir dir;
    WriteBytes(dir / "page.html", "<html lang=\"en\"><p>One.</p><p>a &lt;b1> b</p><p>Three.</p>");
    WriteBytes(dir / "other.html", "<html lang=\"en\"><p>Other.</p><p>a &lt;b1> b</p>");
    TMemory memory(dir / "m.sqlite");
    TPageSession session;
    session.Open(dir / "page.html", TTags::Default, TUnits::Runs);
    TMemoryObserver observer(memory, {"", "de"});
    session.AddObserver(&observer);
    session.Confirm(1, "x <b1> y");
    TMemorySuggestions suggestions(memory, {"", "de"});
    std::vector<TSuggestion> got = session.SuggestionsFor(1);
    EXPECT_TRUE(got.empty()) << "no source plugged in yet";
    session.AddSuggestionSource(&suggestions);
    got = session.SuggestionsFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Score, kInContextScore);
    EXPECT_EQ(got[0].Source, "a <b1> b");
    EXPECT_EQ(got[0].Target, "x <b1> y");
    EXPECT_EQ(got[0].Origin, "window");

    TPageSession other;
    other.Open(dir / "other.html", TTags::Default, TUnits::Runs);
    const std::optional<TSuggestionQuery> query = suggestions.QueryFor(other, 1);
    ASSERT_TRUE(query);
    other.Forget();  // the query stands on its own
    got = suggestions.Lookup(*query);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Score, kExactScore);
    EXPECT_EQ(got[0].Target, "x <b1> y");
    EXPECT_FALSE(suggestions.QueryFor(other, 5));
}

}  // namespace
}  // namespace quillfen
