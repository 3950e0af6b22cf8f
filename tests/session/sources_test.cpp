// The record of a page's sources across sessions: what one session replaced, the next knows
// (its sources, the count, the filter), as long as the page still reads as Quillfen left it; a
// file that is no record of ours is refused and left as it is.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "memory/memory.h"
#include "session/pagesession.h"
#include "sources/record.h"
#include "tests/support/files.h"

using namespace quillfen;
using quillfen::testing::ReadBytes;
using quillfen::testing::TTempDir;
using quillfen::testing::WriteBytes;

namespace {

const std::string kPage = "<p>One</p><p>Two</p><p>Three</p>";

// A session of its own on the page with a record of its own on the file, as a restart has.
struct TRun {
    TRun(const std::string& record, const std::string& page, TTags tags = TTags::Default)
        : store(record) {
        session.SetSourceRecord(&store);
        session.Open(page, tags, TUnits::Runs);
        EXPECT_FALSE(session.TakeObserverFailure());
    }
    TSourceStore store;
    TPageSession session;

    std::vector<std::optional<std::string>> Sources() const {
        std::vector<std::optional<std::string>> out;
        for (std::size_t i = 0; i < session.PhraseCount(); ++i) out.push_back(session.Source(i));
        return out;
    }
};

using TSources = std::vector<std::optional<std::string>>;

// Phrases done, of all; words done, of all.
using TDone = std::array<std::uint64_t, 4>;
TDone Done(const TPageSession& session) {
    const TPageSession::TDone d = session.Done();
    return {d.Phrases, d.AllPhrases, d.Words, d.AllWords};
}

}  // namespace

TEST(SourceRecord, ReplacedPhrasesAreKnownAfterARestart) {
    TTempDir dir;
    const std::string page = dir / "page.html", record = dir / "sources.sqlite";
    WriteBytes(page, kPage);
    {
        TRun run(record, page);
        ASSERT_TRUE(run.session.Confirm(0, "Eins und mehr"));
        ASSERT_TRUE(run.session.Replace({{2, "Drei"}}));
        EXPECT_EQ(Done(run.session), (TDone{2, 3, 2, 3}));
    }
    {
        // Under another name of the same file.
        TRun run(record, (dir.Path() / "." / "page.html").string());
        EXPECT_EQ(run.Sources(), (TSources{"One", std::nullopt, "Three"}));
        EXPECT_EQ(run.session.ChangedCount(), 2u);
        // Done counts the sources' words, not the translations'.
        EXPECT_EQ(Done(run.session), (TDone{2, 3, 2, 3}));
        EXPECT_TRUE(run.session.IsReplaced(2));
        run.session.SetFilter(TPhraseFilter::Unchanged);
        EXPECT_FALSE(run.session.InFilter(0));
        EXPECT_TRUE(run.session.InFilter(1));
        EXPECT_EQ(run.session.NextToTranslate(1), 1u) << "nothing after phrase 1 is left to do";
        run.session.SetFilter(TPhraseFilter::Changed);
        EXPECT_EQ(run.session.NextToTranslate(0), 2u);
        // Replaced again, the phrase keeps its first source; typed back to it, it has none.
        ASSERT_TRUE(run.session.Confirm(0, "Uno"));
        ASSERT_TRUE(run.session.Confirm(2, "Three"));
        EXPECT_EQ(run.session.ChangedCount(), 1u);
    }
    {
        TRun run(record, page);
        EXPECT_EQ(run.Sources(), (TSources{"One", std::nullopt, std::nullopt}));
        EXPECT_EQ(run.session.ChangedCount(), 1u);
        EXPECT_EQ(Done(run.session), (TDone{1, 3, 1, 3}));
        // Counted from the changed phrases, as a count of the whole page would.
        ASSERT_TRUE(run.session.Confirm(1, "Zwei und drei"));
        EXPECT_EQ(run.session.Words(), run.session.Document().TotalWords());
        run.session.Undo();
        EXPECT_EQ(run.session.Words(), run.session.Document().TotalWords());
        // Undo reaches only this session's steps: back to the text the last one left.
        ASSERT_TRUE(run.session.Confirm(0, "Un"));
        run.session.Undo();
        EXPECT_EQ(run.session.Document().Text(0), "Uno");
        EXPECT_EQ(run.session.Source(0), "One");
    }
    TRun run(record, page);
    EXPECT_EQ(run.Sources(), (TSources{"One", std::nullopt, std::nullopt}));
}

// A record names a phrase only while the page reads as Quillfen left it, in the cut it was made
// in; undoing a phrase back to its source takes its record away, so that the page changed
// outside to the old translation shows no source either.
TEST(SourceRecord, ShowsNoStaleSource) {
    struct TCase {
        const char* name;
        const char* pageAfter;  // the page as changed outside between the sessions; null: none
        TTags tags;             // the second session's kinds
        bool undo;              // the first session undoes its step
        TSources sources;
    };
    const TCase cases[] = {
        {"as left", nullptr, TTags::Default, false, {std::nullopt, "Two", std::nullopt}},
        {"changed outside",
         "<p>One</p><p>Zwo</p><p>Three</p>",
         TTags::Default,
         false,
         {std::nullopt, std::nullopt, std::nullopt}},
        {"phrases moved outside",
         "<p>Zwei</p><p>One</p><p>Two</p><p>Three</p>",
         TTags::Default,
         false,
         {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {"cut otherwise",
         nullptr,
         TTags::PlainText,
         false,
         {std::nullopt, std::nullopt, std::nullopt}},
        {"undone, then written outside as it was",
         "<p>One</p><p>Zwei</p><p>Three</p>",
         TTags::Default,
         true,
         {std::nullopt, std::nullopt, std::nullopt}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string page = dir / "page.html", record = dir / "sources.sqlite";
        WriteBytes(page, kPage);
        {
            TRun run(record, page);
            ASSERT_TRUE(run.session.Confirm(1, "Zwei"));
            if (c.undo) run.session.Undo();
        }
        if (c.pageAfter) WriteBytes(page, c.pageAfter);
        TRun run(record, page, c.tags);
        EXPECT_EQ(run.Sources(), c.sources);
        std::size_t replaced = 0;
        for (const auto& source : c.sources) replaced += source.has_value();
        EXPECT_EQ(run.session.ChangedCount(), replaced);
    }
}

// A file that is not a record of ours, or one this version cannot read, is named in the error and
// keeps every byte; nothing beside it is made.
TEST(SourceRecord, RefusesAFileItCannotKeepAndLeavesIt) {
    TTempDir dir;
    const std::string made = dir / "made.sqlite";
    { TSourceStore store(made); }
    const std::string record = ReadBytes(made);
    ASSERT_GT(record.size(), 1024u);
    std::string newer = record;
    newer[63] = 2;  // the schema version in the header
    const std::string memory = dir / "memory.sqlite";
    { TMemory m(memory); }
    struct TCase {
        const char* name;
        std::string bytes;
        const char* says;
    };
    const TCase cases[] = {
        {"text", "<p>no database</p>\n", "is not a Quillfen record of sources"},
        {"the memory", ReadBytes(memory), "is not a Quillfen record of sources"},
        {"cut short", record.substr(0, 1024) + std::string(20, '\0'), "is damaged"},
        {"newer", newer, "newer version of Quillfen (schema 2)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir files;
        const std::string path = files / "sources.sqlite";
        WriteBytes(path, c.bytes);
        try {
            TSourceStore store(path);
            ADD_FAILURE() << "opened";
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.English()).find(c.says), std::string::npos) << e.English();
            EXPECT_NE(std::string(e.English()).find(path), std::string::npos) << e.English();
        }
        EXPECT_EQ(ReadBytes(path), c.bytes);
        EXPECT_EQ(quillfen::testing::Listing(files.Path()), "sources.sqlite");
    }
    // A session that cannot read its record opens the page all the same, and says why.
    TTempDir files;
    const std::string page = files / "page.html", path = files / "sources.sqlite";
    WriteBytes(page, kPage);
    TSourceStore store(path);
    TPageSession session;
    session.SetSourceRecord(&store);
    WriteBytes(path,
               "no longer a database, and longer than a header of one: " + std::string(200, 'x'));
    session.Open(page, TTags::Default, TUnits::Runs);
    EXPECT_TRUE(session.TakeObserverFailure());
    EXPECT_EQ(session.PhraseCount(), 3u);
}
