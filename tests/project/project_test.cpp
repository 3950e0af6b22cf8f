#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "core/document/editing.h"
#include "core/errors.h"
#include "exchange/formats.h"
#include "exchange/po.h"
#include "memory/memory.h"
#include "project/exchange.h"
#include "project/projectfile.h"
#include "project/session.h"
#include "project/state.h"
#include "project/update.h"
#include "session/pagesession.h"
#include "store/sqlite.h"
#include "tests/support/files.h"

namespace quillfen::project {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

const fs::path kReleases = fs::path(QUILLFEN_SOURCE_DIR) / "tests/data/releases/apache-manual";

std::string Pseudo(std::string_view source) { return "[de] " + std::string(source); }

struct TSite {
    TTempDir dir;
    fs::path Source() const { return dir.Path() / "src"; }
    fs::path Target() const { return dir.Path() / "tgt"; }
    std::string File() const { return (dir.Path() / "site.qfp").string(); }
    TProject project;
    TSite() {
        fs::create_directories(Source());
        fs::create_directories(Target());
    }
    void Create() {
        TProjectSettings s;
        s.Source = Source().string();
        s.Target = Target().string();
        s.SourceLanguage = "en";
        s.TargetLanguage = "de";
        CreateProject(File(), s);
        project = OpenProject(File());
    }
    TUpdateReport Update(TUpdateOptions options = {}) {
        options.UserMemory = "-";
        return UpdateProject(project, options);
    }
    TDocument Target(const std::string& rel) const {
        TDocument doc;
        doc.LoadFile((Target() / rel).string(), project.Settings.Tags, project.Settings.Units);
        return doc;
    }
    // The translator's work by hand: each phrase as texts gives it, the page written once.
    void Translate(const std::string& rel,
                   const std::function<std::string(std::string_view)>& text) {
        TDocument doc = Target(rel);
        std::vector<TPhraseChange> changes;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            std::string t = text(doc.Text(i));
            if (!t.empty()) changes.push_back({i, t});
        }
        const std::string path = (Target() / rel).string();
        ReplacePhrases(doc, changes, [&] { doc.Save(path); });
    }
};

std::string Page(std::string_view body) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><title>T</title></head><body>\n" +
           std::string(body) + "\n</body></html>\n";
}

std::vector<std::string> Texts(const TDocument& doc) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < doc.PhraseCount(); ++i) out.emplace_back(doc.Text(i));
    return out;
}

struct TStamp {
    ino_t inode;
    timespec mtime;
    bool operator==(const TStamp& o) const {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};
TStamp StampOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return {st.st_ino, st.st_mtim};
}
std::map<std::string, TStamp> Stamps(const fs::path& dir) {
    std::map<std::string, TStamp> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[e.path().lexically_relative(dir).string()] = StampOf(e.path());
    return out;
}

// Two releases of a real manual: the older one translated, the site updated to the newer.
TEST(ProjectReleases, UnchangedPhrasesCarriedChangedOnesDraftsOrSource) {
    TSite site;
    fs::copy(kReleases / "old", site.Source(), fs::copy_options::recursive);
    site.Create();
    ASSERT_FALSE(site.Update().Failed());
    std::set<std::string> oldSources;
    for (const auto& e : fs::recursive_directory_iterator(site.Target())) {
        if (!e.is_regular_file()) continue;
        const std::string rel = e.path().lexically_relative(site.Target()).string();
        for (const std::string& s : Texts(site.Target(rel))) oldSources.insert(s);
        site.Translate(rel, Pseudo);
    }
    // The new release over the old, one page left as it was.
    fs::copy(kReleases / "new", site.Source(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(kReleases / "old/rewrite/tech.html", site.Source() / "rewrite/tech.html",
                  fs::copy_options::overwrite_existing);
    const TStamp untouched = StampOf(site.Target() / "rewrite/tech.html");

    const TUpdateReport report = site.Update();
    ASSERT_FALSE(report.Failed());
    EXPECT_EQ(StampOf(site.Target() / "rewrite/tech.html"), untouched);
    std::size_t carried = 0, unchanged = 0, left = 0, total = 0;
    for (const TPageUpdate& p : report.Pages) {
        const TDocument doc = site.Target(p.Path);
        TDocument source;
        source.LoadFile((site.Source() / p.Path).string(), doc.Tags(), doc.Units());
        ASSERT_EQ(doc.PhraseCount(), source.PhraseCount()) << p.Path;
        const std::size_t carriedBefore = carried;
        for (std::size_t i = 0; i < doc.PhraseCount(); ++i) {
            const std::string s(source.Text(i));
            const std::string t(doc.Text(i));
            ++total;
            if (oldSources.count(s)) {
                ++unchanged;
                EXPECT_EQ(t, Pseudo(s)) << p.Path << " phrase " << i + 1;
                carried += t == Pseudo(s);
            } else {
                // A changed phrase is never written: it stays as source, its match a draft.
                EXPECT_EQ(t, s) << p.Path << " phrase " << i + 1;
                ++left;
            }
        }
        if (p.Outcome == TPageOutcome::Rebuilt) {
            EXPECT_EQ(p.Counts.InContext + p.Counts.Exact, carried - carriedBefore) << p.Path;
        }
        const std::optional<TPageRecord> record = TState(site.project.StatePath).Page(p.Path);
        ASSERT_TRUE(record);
        for (const TDraft& d : record->Drafts) {
            EXPECT_EQ(doc.Text(d.Phrase), source.Text(d.Phrase));
            EXPECT_EQ(d.Target, Pseudo(d.OldSource));
        }
    }
    EXPECT_EQ(carried, unchanged);
    EXPECT_GT(report.Total.Fuzzy, 0u);
    std::printf(
        "releases: %zu phrases, %zu with an unchanged source, %zu carried, %zu left "
        "(%llu fuzzy drafts)\n",
        total, unchanged, carried, left, (unsigned long long)report.Total.Fuzzy);

    const auto before = Stamps(site.Target());
    const TUpdateReport again = site.Update();
    EXPECT_EQ(Stamps(site.Target()), before);
    for (const TPageUpdate& p : again.Pages)
        EXPECT_EQ(p.Outcome, TPageOutcome::Unchanged) << p.Path;
}

// msgmerge takes the old release's export over to the new one's: with no number in the
// context, every unchanged phrase comes back translated and not fuzzy.
TEST(ProjectReleases, MsgmergeCarriesUnchangedPhrasesOfPoExport) {
    if (std::system("msgmerge --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no msgmerge";
    TSite old, next;
    fs::copy(kReleases / "old", old.Source(), fs::copy_options::recursive);
    fs::copy(kReleases / "new", next.Source(), fs::copy_options::recursive);
    old.Create();
    next.Create();
    old.Update();
    next.Update();
    for (const auto& e : fs::recursive_directory_iterator(old.Target()))
        if (e.is_regular_file())
            old.Translate(e.path().lexically_relative(old.Target()).string(), Pseudo);
    const fs::path oldPo = old.dir.Path() / "po", newPo = next.dir.Path() / "po";
    ExportProject(old.project, oldPo.string(), false);
    ExportProject(next.project, newPo.string(), false);
    std::size_t unchanged = 0, carried = 0;
    for (const auto& e : fs::recursive_directory_iterator(newPo)) {
        if (!e.is_regular_file()) continue;
        const fs::path rel = e.path().lexically_relative(newPo);
        if (!fs::exists(oldPo / rel)) continue;
        const fs::path merged = next.dir.Path() / "merged.po";
        const std::string command = "msgmerge -q --no-wrap -o '" + merged.string() + "' '" +
                                    (oldPo / rel).string() + "' '" + e.path().string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::set<std::string> oldSources;
        for (const TTranslationUnit& u : ReadPoFile(ReadBytes(oldPo / rel), "old").Units)
            oldSources.insert(u.Source);
        for (const TTranslationUnit& u : ReadPoFile(ReadBytes(merged), "merged").Units) {
            if (!oldSources.count(u.Source)) continue;
            ++unchanged;
            if (u.Target) {
                EXPECT_EQ(*u.Target, Pseudo(u.Source));
                ++carried;
            }
        }
    }
    EXPECT_GT(unchanged, 1000u);
    EXPECT_EQ(carried, unchanged);
}

// The update's rules on one small page: the source changed as the row says, after the target
// was translated with texts prefixed; the target phrases and drafts expected.
struct TRuleCase {
    const char* name;
    const char* oldBody;
    const char* newBody;
    std::vector<std::string> expected;  // the target's texts after the update (title first)
    std::size_t drafts;
};

TEST(ProjectUpdate, RulesOfTheCarryOver) {
    const std::vector<TRuleCase> cases = {
        {"moved",
         "<p>Alpha one.</p><p>Beta two.</p>",
         "<p>Beta two.</p><p>Alpha one.</p>",
         {"[de] T", "[de] Beta two.", "[de] Alpha one."},
         0},
        {"split",
         "<p>First part here. Second part there.</p>",
         "<p>First part here.</p><p>Second part there.</p>",
         {"[de] T", "First part here.", "Second part there."},
         0},
        {"joined",
         "<p>Alpha beta gamma delta.</p><p>Epsilon.</p>",
         "<p>Alpha beta gamma delta epsilon.</p>",
         {"[de] T", "Alpha beta gamma delta epsilon."},
         1},
        {"removed",
         "<p>Keep me.</p><p>Drop me.</p>",
         "<p>Keep me.</p>",
         {"[de] T", "[de] Keep me."},
         0},
        {"new",
         "<p>Old one.</p>",
         "<p>Old one.</p><p>Brand new words.</p>",
         {"[de] T", "[de] Old one.", "Brand new words."},
         0},
        {"image text",
         "<p><img alt=\"A red door\"> Door.</p>",
         "<p>Door.</p><p><img alt=\"A red door\"></p>",
         {"[de] T", "[de] Door.", "[de] A red door"},
         0},
    };
    for (const TRuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        TSite site;
        WriteBytes(site.Source() / "a.html", Page(c.oldBody));
        site.Create();
        ASSERT_FALSE(site.Update().Failed());
        site.Translate("a.html", Pseudo);
        WriteBytes(site.Source() / "a.html", Page(c.newBody));
        const TUpdateReport report = site.Update();
        ASSERT_FALSE(report.Failed());
        ASSERT_EQ(report.Pages.size(), 1u);
        EXPECT_EQ(report.Pages[0].Outcome, TPageOutcome::Rebuilt);
        EXPECT_EQ(Texts(site.Target("a.html")), c.expected);
        EXPECT_EQ(report.Pages[0].Counts.Fuzzy, c.drafts);
        EXPECT_NE(ReadBytes(site.Target() / "a.html").find("<html lang=\"de\">"),
                  std::string::npos);
    }
}

TEST(ProjectUpdate, TargetChangedOutsidePhrasesIsRefusedOthersGoOn) {
    TSite site;
    WriteBytes(site.Source() / "a.html", Page("<p>One.</p>"));
    WriteBytes(site.Source() / "b.html", Page("<p>Two.</p>"));
    WriteBytes(site.Source() / "style.css", "p {}");
    site.Create();
    ASSERT_FALSE(site.Update().Failed());
    EXPECT_EQ(ReadBytes(site.Target() / "style.css"), "p {}");
    site.Translate("a.html", Pseudo);
    site.Translate("b.html", Pseudo);
    // Another program edits a's markup; both sources change.
    std::string edited = ReadBytes(site.Target() / "a.html");
    edited.replace(edited.find("<p>"), 3, "<p class=x>");
    WriteBytes(site.Target() / "a.html", edited);
    WriteBytes(site.Source() / "a.html", Page("<p>One.</p><p>More.</p>"));
    WriteBytes(site.Source() / "b.html", Page("<p>Two.</p><p>More.</p>"));
    WriteBytes(site.Source() / "style.css", "p { color: red }");
    const TUpdateReport report = site.Update();
    EXPECT_TRUE(report.Failed());
    ASSERT_EQ(report.Pages.size(), 2u);
    EXPECT_EQ(report.Pages[0].Outcome, TPageOutcome::Refused);
    EXPECT_EQ(ReadBytes(site.Target() / "a.html"), edited);
    EXPECT_EQ(report.Pages[1].Outcome, TPageOutcome::Rebuilt);
    EXPECT_EQ(Texts(site.Target("b.html")),
              (std::vector<std::string>{"[de] T", "[de] Two.", "More."}));
    EXPECT_EQ(ReadBytes(site.Target() / "style.css"), "p { color: red }");
    // Removing the source orphans the page; nothing is deleted.
    fs::remove(site.Source() / "b.html");
    const TUpdateReport orphaned = site.Update();
    EXPECT_TRUE(fs::exists(site.Target() / "b.html"));
    EXPECT_EQ(orphaned.Pages.back().Outcome, TPageOutcome::Orphaned);
}

// An update that dies between writing a page and completing its record: the next one finishes
// the record rather than taking the page for another program's change.
TEST(ProjectUpdate, UpdateKilledAfterAWriteIsFinishedByTheNext) {
    for (const bool fork : {false, true}) {
        SCOPED_TRACE(fork ? "killed" : "failed");
        TSite site;
        WriteBytes(site.Source() / "a.html", Page("<p>One.</p>"));
        WriteBytes(site.Source() / "b.html", Page("<p>Two.</p>"));
        site.Create();
        site.Update();
        site.Translate("a.html", Pseudo);
        site.Translate("b.html", Pseudo);
        WriteBytes(site.Source() / "a.html", Page("<p>One.</p><p>Three.</p>"));
        WriteBytes(site.Source() / "b.html", Page("<p>Two.</p><p>Three.</p>"));
        TUpdateOptions options;
        options.OneThread = true;
        if (fork) {
            const pid_t child = ::fork();
            if (child == 0) {
                options.AfterWrite = [](const std::string&) { ::_exit(9); };
                options.UserMemory = "-";
                UpdateProject(site.project, options);
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
        } else {
            options.AfterWrite = [](const std::string& page) {
                if (page == "a.html") throw TError("injected");
            };
            EXPECT_TRUE(site.Update(options).Failed());
        }
        const TUpdateReport report = site.Update();
        EXPECT_FALSE(report.Failed());
        EXPECT_EQ(Texts(site.Target("a.html")),
                  (std::vector<std::string>{"[de] T", "[de] One.", "Three."}));
        EXPECT_EQ(Texts(site.Target("b.html")),
                  (std::vector<std::string>{"[de] T", "[de] Two.", "Three."}));
        const auto before = Stamps(site.Target());
        site.Update();
        EXPECT_EQ(Stamps(site.Target()), before);
    }
}

TEST(ProjectFile, BadInputIsRefusedWritingNothing) {
    struct TCase {
        const char* name;
        std::function<void(TSite&, TProjectSettings&)> make;
    };
    const std::vector<TCase> cases = {
        {"source missing",
         [](TSite& s, TProjectSettings& p) { p.Source = (s.dir.Path() / "none").string(); }},
        {"target missing",
         [](TSite& s, TProjectSettings& p) { p.Target = (s.dir.Path() / "none").string(); }},
        {"same folder",
         [](TSite& s, TProjectSettings& p) { p.Target = s.Source().string() + "/."; }},
        {"target inside source",
         [](TSite& s, TProjectSettings& p) {
             fs::create_directories(s.Source() / "de");
             p.Target = (s.Source() / "de").string();
         }},
        {"source inside target",
         [](TSite& s, TProjectSettings& p) {
             fs::create_directories(s.Target() / "en");
             WriteBytes(s.Target() / "en/a.html", Page("<p>x</p>"));
             p.Source = (s.Target() / "en").string();
         }},
        {"glob takes nothing", [](TSite&, TProjectSettings& p) { p.Include = {"*.shtml"}; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TSite site;
        WriteBytes(site.Source() / "a.html", Page("<p>x</p>"));
        TProjectSettings s;
        s.Source = site.Source().string();
        s.Target = site.Target().string();
        s.SourceLanguage = "en";
        s.TargetLanguage = "de";
        c.make(site, s);
        EXPECT_THROW(CreateProject(site.File(), s), TError);
        EXPECT_FALSE(fs::exists(site.File()));
    }
    // A project of a newer version, and a project file that is none.
    TSite site;
    WriteBytes(site.File(), "quillfen-project 2\nsource = a\n");
    try {
        OpenProject(site.File());
        ADD_FAILURE() << "a newer project was opened";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.English()).find("newer version"), std::string::npos);
        EXPECT_NE(std::string(e.what()), std::string(e.English()));
    }
    WriteBytes(site.File(), "quillfen-project 1\nsource = a\ncolour = blue\n");
    EXPECT_THROW(OpenProject(site.File()), TError);
}

TEST(ProjectFile, WrittenAndReadBack) {
    TProjectSettings s;
    s.Source = "en site";
    s.Target = "../de";
    s.SourceLanguage = "en";
    s.TargetLanguage = "de-CH";
    s.Tags = TTags(7);
    s.Units = TUnits::Sentences;
    s.Include = {"*.html", "docs/*.xhtml"};
    s.Exclude = {"drafts/*"};
    s.FuzzyThreshold = 80;
    s.KeepLang = true;
    const TProjectSettings back = ParseProjectFile(FormatProjectFile(s), "p");
    EXPECT_EQ(back.Source, s.Source);
    EXPECT_EQ(back.Target, s.Target);
    EXPECT_EQ(back.TargetLanguage, s.TargetLanguage);
    EXPECT_EQ(back.Tags, s.Tags);
    EXPECT_EQ(back.Units, s.Units);
    EXPECT_EQ(back.Include, s.Include);
    EXPECT_EQ(back.Exclude, s.Exclude);
    EXPECT_EQ(back.FuzzyThreshold, 80);
    EXPECT_TRUE(back.KeepLang);
}

TEST(ProjectUpdate, RootLanguage) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<html lang=\"en\"><p>x", "<html lang=\"de\"><p>x"},
        {"<html lang=en xml:lang='en-GB'>", "<html lang=de xml:lang='de'>"},
        {"<!-- <html lang=en> --><html>", "<!-- <html lang=en> --><html lang=\"de\">"},
        {"<HTML LANG>", "<HTML LANG=\"de\">"},
        {"<p>no root", "<p>no root"},
    };
    for (const auto& [page, expected] : cases) EXPECT_EQ(WithRootLanguage(page, "de"), expected);
}

TEST(ProjectExchange, PoExportMergesBackIntoTheTarget) {
    TSite site;
    WriteBytes(site.Source() / "a.html", Page("<p>Same.</p><p>Other.</p><p>Same.</p>"));
    site.Create();
    site.Update();
    const fs::path po = site.dir.Path() / "po";
    ExportProject(site.project, po.string(), false);
    std::string file = ReadBytes(po / "a.html.po");
    // One entry for both "Same." phrases, no number in its context.
    EXPECT_NE(file.find("#: a.html:2 a.html:4\nmsgctxt \"T\"\nmsgid \"Same.\""), std::string::npos);
    const std::size_t at = file.find("msgid \"Same.\"\nmsgstr \"\"");
    ASSERT_NE(at, std::string::npos);
    file.replace(at, std::string("msgid \"Same.\"\nmsgstr \"\"").size(),
                 "msgid \"Same.\"\nmsgstr \"Gleich.\"");
    WriteBytes(po / "a.html.po", file);
    const TProjectMerge merge = MergeIntoProject(site.project, (po / "a.html.po").string());
    EXPECT_EQ(merge.Page, "a.html");
    EXPECT_EQ(Texts(site.Target("a.html")),
              (std::vector<std::string>{"T", "Gleich.", "Other.", "Gleich."}));
    const TProjectStatus status = ProjectStatus(site.project);
    EXPECT_EQ(status.Total.Translated, 2u);
    // The merge made the page the project's: an update writes nothing.
    const auto before = Stamps(site.Target());
    EXPECT_EQ(site.Update().Pages[0].Outcome, TPageOutcome::Unchanged);
    EXPECT_EQ(Stamps(site.Target()), before);
}

// A state written before dismissals were kept (version 1) takes their table when opened, keeps
// its pages, and keeps dismissals from then on; a dismissal lapses when either text changes.
TEST(ProjectState, AStateOfVersionOneIsMigratedAndKeepsDismissals) {
    TTempDir dir;
    const std::string path = (dir.Path() / "site.qfp.state").string();
    TPageRecord record;
    record.Path = "index.html";
    record.Base = "<p>Save</p>";
    record.Counts.Phrases = 1;
    TState(path).Put(record);
    {
        store::TDatabase db(path, SQLITE_OPEN_READWRITE);
        db.Exec("DROP TABLE dismissal; PRAGMA user_version = 1;");
    }
    const std::string key = DismissalKey(TCheck::Unchanged, "Save", "Save");
    {
        TState state(path);
        ASSERT_TRUE(state.Page("index.html"));
        EXPECT_EQ(state.Page("index.html")->Base, "<p>Save</p>");
        EXPECT_FALSE(state.IsDismissed(key));
        state.Dismiss(std::vector<std::string>{key});
    }
    TState state(path);
    EXPECT_TRUE(state.IsDismissed(key));
    EXPECT_FALSE(state.IsDismissed(DismissalKey(TCheck::Unchanged, "Save", "Save ")));
    EXPECT_FALSE(state.IsDismissed(DismissalKey(TCheck::Length, "Save", "Save")));
    store::TDatabase db(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(db.Number("PRAGMA user_version"), kStateVersion);
}

// The two releases again, the older one translated and updated to the newer, so that the pages
// hold translated phrases, fuzzy drafts and untranslated ones.
struct TUpdatedReleases {
    TSite site;
    std::vector<std::string> pages;
    TUpdatedReleases() {
        fs::copy(kReleases / "old", site.Source(), fs::copy_options::recursive);
        site.Create();
        site.Update();
        for (const auto& [rel, record] : TState(site.project.StatePath).Pages())
            site.Translate(rel, Pseudo);
        fs::copy(kReleases / "new", site.Source(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        site.Update();
        for (const auto& [rel, record] : TState(site.project.StatePath).Pages())
            if (!record.Orphaned) pages.push_back(rel);
    }
};

TEST(ProjectExchange, XliffExportKeepsThePoRulesAndValidates) {
    const TExchangeFormat* xliff = FindExchangeFormat("xliff");
    if (!xliff) GTEST_SKIP() << "this build has no XLIFF";
    TUpdatedReleases r;
    TState state(r.site.project.StatePath);
    const fs::path all = r.site.dir.Path() / "all", open = r.site.dir.Path() / "open";
    const std::vector<std::string> written =
        ExportProject(r.site.project, all.string(), false, TProjectFormat::Xliff);
    ASSERT_EQ(written.size(), r.pages.size());
    ExportProject(r.site.project, open.string(), true, TProjectFormat::Xliff);
    std::size_t translated = 0, drafts = 0, open_ = 0;
    for (const std::string& rel : r.pages) {
        SCOPED_TRACE(rel);
        const TDocument target = r.site.Target(rel);
        const TPageRecord record = *state.Page(rel);
        std::map<std::size_t, const TDraft*> draftOf;
        for (const TDraft& d : record.Drafts) draftOf[d.Phrase] = &d;
        TDocument source;
        source.LoadFile((r.site.Source() / rel).string(), target.Tags(), target.Units());
        for (const bool untranslatedOnly : {false, true}) {
            const fs::path file = (untranslatedOnly ? open : all) / (rel + ".xlf");
            std::vector<std::size_t> expected;
            for (std::size_t i = 0; i < source.PhraseCount(); ++i)
                if (!untranslatedOnly || target.Text(i) == source.Text(i)) expected.push_back(i);
            if (expected.empty()) {
                EXPECT_FALSE(fs::exists(file));
                continue;
            }
            const std::string bytes = ReadBytes(file);
            const TTranslationFile units = xliff->ReadTranslation(bytes, file.string());
            EXPECT_EQ(units.Original, rel);
            ASSERT_EQ(units.Units.size(), expected.size());
            for (std::size_t k = 0; k < expected.size(); ++k) {
                const std::size_t i = expected[k];
                const TTranslationUnit& u = units.Units[k];
                EXPECT_EQ(u.Id, std::to_string(i + 1));
                EXPECT_EQ(u.Source, source.Text(i));
                auto draft = draftOf.find(i);
                if (target.Text(i) != source.Text(i)) {
                    EXPECT_EQ(u.Target, std::string(target.Text(i)));
                    EXPECT_FALSE(u.NeedsReview);
                    translated += !untranslatedOnly;
                } else if (draft != draftOf.end()) {
                    EXPECT_EQ(u.Target, draft->second->Target);
                    EXPECT_TRUE(u.NeedsReview);
                    drafts += !untranslatedOnly;
                } else {
                    EXPECT_FALSE(u.Target);
                    open_ += !untranslatedOnly;
                }
            }
            if (!untranslatedOnly) {
                std::size_t alternatives = 0;
                for (std::size_t at = 0; (at = bytes.find("<alt-trans ", at)) != std::string::npos;
                     ++at)
                    ++alternatives;
                EXPECT_EQ(alternatives, record.Drafts.size());
            }
        }
    }
    EXPECT_GT(translated, 0u);
    EXPECT_GT(drafts, 0u);
    EXPECT_GT(open_, 0u);
    if (std::system("xmllint --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
    std::string command = "xmllint --nonet --noout --schema '" QUILLFEN_SOURCE_DIR
                          "/tests/data/xliff/xliff-core-1.2-strict.xsd'";
    for (const std::string& f : written) command += " '" + f + "'";
    const fs::path log = r.site.dir.Path() / "xmllint.log";
    command += " >'" + log.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadBytes(log);
}

// The translator changes two targets in two pages' files: the merge writes those two phrases,
// and nothing else of any page, drafts still to be reviewed included.
TEST(ProjectExchange, XliffMergeWritesOnlyTheChangedTargets) {
    const TExchangeFormat* xliff = FindExchangeFormat("xliff");
    if (!xliff) GTEST_SKIP() << "this build has no XLIFF";
    TUpdatedReleases r;
    const fs::path folder = r.site.dir.Path() / "xliff";
    ExportProject(r.site.project, folder.string(), false, TProjectFormat::Xliff);
    std::map<std::string, std::vector<std::string>> before;
    for (const std::string& rel : r.pages) before[rel] = Texts(r.site.Target(rel));
    const auto stamps = Stamps(r.site.Target());

    // One page's first translated unit and another's first untranslated one get a new target.
    struct TChange {
        std::string page;
        bool translated;
        std::size_t phrase = 0;
    };
    std::vector<TChange> changes = {{r.pages.front(), true}, {r.pages.back(), false}};
    std::vector<std::string> files;
    for (TChange& c : changes) {
        const fs::path file = folder / (c.page + ".xlf");
        std::string bytes = ReadBytes(file);
        const TTranslationFile units = xliff->ReadTranslation(bytes, file.string());
        const TTranslationUnit* unit = nullptr;
        for (const TTranslationUnit& u : units.Units)
            if (c.translated ? u.Target && !u.NeedsReview : !u.Target) {
                unit = &u;
                break;
            }
        ASSERT_NE(unit, nullptr) << c.page;
        c.phrase = std::stoul(unit->Id) - 1;
        const std::size_t at = bytes.find("<trans-unit id=\"" + unit->Id + "\"");
        const std::size_t end = bytes.find("</source>", at) + 9;
        const std::size_t stop = c.translated ? bytes.find("</target>", end) + 9 : end;
        bytes.replace(end, stop - end, "\n<target state=\"translated\">Ge&#xE4;ndert</target>");
        WriteBytes(file, bytes);
        files.push_back(file.string());
    }
    for (const std::string& f : files) MergeIntoProject(r.site.project, f);
    for (const std::string& rel : r.pages) {
        std::vector<std::string> expected = before[rel];
        for (const TChange& c : changes)
            if (c.page == rel) expected[c.phrase] = "Ge\xC3\xA4ndert";
        EXPECT_EQ(Texts(r.site.Target(rel)), expected) << rel;
        if (rel != changes[0].page && rel != changes[1].page) {
            EXPECT_EQ(StampOf(r.site.Target() / rel), stamps.at(rel)) << rel;
        }
    }
    // The drafts stayed drafts, and the pages written are the project's: an update writes
    // nothing.
    const auto after = Stamps(r.site.Target());
    for (const TPageUpdate& p : r.site.Update().Pages)
        EXPECT_EQ(p.Outcome, TPageOutcome::Unchanged) << p.Path;
    EXPECT_EQ(Stamps(r.site.Target()), after);
    EXPECT_GT(ProjectStatus(r.site.project).Total.Fuzzy, 0u);
}

// The state beside the project speaks of the project's state when it cannot be used, and a file
// that is none is left as it is.
TEST(ProjectState, FaultsNameTheProjectState) {
    struct TCase {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* english;
    };
    auto header = [](const fs::path& path, std::size_t offset, std::uint32_t value) {
        std::string bytes = ReadBytes(path);
        for (int k = 0; k < 4; ++k) bytes[offset + k] = char(value >> (24 - 8 * k));
        WriteBytes(path, bytes);
    };
    const std::vector<TCase> cases = {
        {"text", [](const fs::path& p) { WriteBytes(p, "quillfen-project 1\n"); },
         "is not the state of a Quillfen project"},
        {"another program's database",
         [&](const fs::path& p) {
             { TState made(p.string()); }
             header(p, 68, 0x12345678);
         },
         "is not the state of a Quillfen project"},
        {"newer",
         [&](const fs::path& p) {
             { TState made(p.string()); }
             header(p, 60, kStateVersion + 1);
         },
         "project state"},
        {"damaged",
         [](const fs::path& p) {
             {
                 TState made(p.string());
                 TPageRecord r;
                 r.Path = "a.html";
                 made.Put(r);
             }
             std::string bytes = ReadBytes(p);
             for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = '\x5A';
             WriteBytes(p, bytes);
         },
         "project state"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const fs::path path = dir / "site.qfp.state";
        c.make(path);
        const std::string bytes = ReadBytes(path);
        try {
            TState state(path.string());
            state.Pages();
            ADD_FAILURE() << "the state was read";
        } catch (const TError& e) {
            const std::string english = e.English();
            EXPECT_NE(english.find(c.english), std::string::npos) << english;
            EXPECT_NE(english.find(path.string()), std::string::npos) << english;
            EXPECT_EQ(english.find("memory"), std::string::npos) << english;
            EXPECT_NE(std::string(e.what()).find("Projektzustand"), std::string::npos);
        }
        EXPECT_EQ(ReadBytes(path), bytes);
    }
}

// A page opened in the window inside its project, step by step: what reaches the project's
// memory and state, what the session shows as sources and drafts, and what is written.
TEST(ProjectPage, RulesOfThePageSession) {
    TSite site;
    WriteBytes(site.Source() / "a.html",
               Page("<p>Alpha one.</p><p>Beta two three four.</p><p>Gamma.</p>"));
    site.Create();
    site.Update();
    site.Translate("a.html", [](std::string_view s) { return s == "Gamma." ? "" : Pseudo(s); });
    WriteBytes(site.Source() / "a.html",
               Page("<p>Alpha one.</p><p>Beta two three four five.</p><p>Gamma.</p>"));
    ASSERT_EQ(site.Update().Total.Fuzzy, 1u);
    const std::string path = (site.Target() / "a.html").string();
    const std::string made = ReadBytes(path);

    TPageSession session;
    TProjectPage page(site.project, path);
    session.SetSourceRecord(&page);
    session.AddSuggestionSource(&page);
    session.Open(path, site.project.Settings.Tags, site.project.Settings.Units);
    ASSERT_EQ(Texts(session.Document()),
              (std::vector<std::string>{"[de] T", "[de] Alpha one.", "Beta two three four five.",
                                        "Gamma."}));
    using TUnits = std::set<std::tuple<std::string, std::string, TOrigin>>;
    auto memory = [&] {
        TUnits units;
        TMemory(site.project.MemoryPath).ForEachUnit("", "", [&](const TUnit& u) {
            units.insert({u.Source, u.Target, u.Origin});
        });
        return units;
    };
    const std::string draft = "[de] Beta two three four.";

    // Opened: the sources of the translated phrases show, the draft is offered to the entry and
    // as a suggestion, and neither the page nor the memory has it.
    EXPECT_EQ(session.Source(1), "Alpha one.");
    EXPECT_EQ(session.Source(2), std::nullopt);
    EXPECT_EQ(page.OfferDrafts(session), std::vector<std::size_t>{2});
    ASSERT_NE(session.Draft(2), nullptr);
    EXPECT_EQ(*session.Draft(2), draft);
    ASSERT_EQ(session.SuggestionsFor(2).size(), 1u);
    EXPECT_EQ(session.SuggestionsFor(2)[0].Source, "Beta two three four.");
    ASSERT_NE(page.DraftOf(2), nullptr);
    EXPECT_EQ(page.DraftOf(2)->OldSource, "Beta two three four.");
    EXPECT_EQ(ReadBytes(path), made);
    TUnits before = memory();
    for (const auto& u : before) EXPECT_NE(std::get<0>(u), "Beta two three four five.");

    struct TStep {
        const char* name;
        std::function<void()> act;
        TUnits learned;  // what the memory holds that it did not before the step
        std::uint64_t translated, fuzzy;
        std::vector<std::string> texts;
    };
    const std::vector<TStep> steps = {
        {"the draft confirmed",
         [&] { session.Confirm(2, *session.Draft(2)); },
         {{"Beta two three four five.", draft, TOrigin::Window}},
         3,
         0,
         {"[de] T", "[de] Alpha one.", draft, "Gamma."}},
        {"undone: the draft is one again, the memory hears nothing",
         [&] { session.Undo(); },
         {},
         2,
         1,
         {"[de] T", "[de] Alpha one.", "Beta two three four five.", "Gamma."}},
        {"redone",
         [&] { session.Redo(); },
         {},
         3,
         0,
         {"[de] T", "[de] Alpha one.", draft, "Gamma."}},
        {"a typed text confirmed",
         [&] { session.Confirm(3, "Gamma neu."); },
         {{"Gamma.", "Gamma neu.", TOrigin::Window}},
         4,
         0,
         {"[de] T", "[de] Alpha one.", draft, "Gamma neu."}},
        {"set back to its source by undo",
         [&] { session.Undo(); },
         {},
         3,
         0,
         {"[de] T", "[de] Alpha one.", draft, "Gamma."}},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_FALSE(session.TakeObserverFailure());
        const TUnits now = memory();
        TUnits learned;
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                            std::inserter(learned, learned.end()));
        EXPECT_EQ(learned, step.learned);
        before = now;
        const std::optional<TPageRecord> record = TState(site.project.StatePath).Page("a.html");
        EXPECT_EQ(record->Counts.Translated, step.translated);
        EXPECT_EQ(record->Counts.Fuzzy, step.fuzzy);
        EXPECT_EQ(Texts(site.Target("a.html")), step.texts);
        // What the session wrote is the project's: the page counts as the translator's, and
        // status reads it as the state does.
        EXPECT_EQ(ProjectStatus(site.project).Total.Translated, step.translated);
    }
    // The confirmed phrase shows its source from now on, in a new session too.
    TPageSession again;
    TProjectPage reopened(site.project, path);
    again.SetSourceRecord(&reopened);
    again.Open(path, site.project.Settings.Tags, site.project.Settings.Units);
    EXPECT_EQ(again.Source(2), "Beta two three four five.");
    EXPECT_TRUE(reopened.OfferDrafts(again).empty());
    EXPECT_THROW(TProjectPage(site.project, (site.Source() / "a.html").string()), TError);
}

// A translated page opened with its source page, without a project: the pairs of phrases give
// the sources, the translation's root language taken for the source's.
TEST(PairedSources, PairsAsAnAlignmentDoes) {
    struct TCase {
        const char* name;
        std::string source, translated;
        std::map<std::size_t, std::string> expected;
        bool parts;
    };
    auto page = [](const char* lang, const char* body) {
        return std::string("<!DOCTYPE html>\n<html") + lang + "><body>\n" + body +
               "\n</body></html>\n";
    };
    const std::vector<TCase> cases = {
        {"one phrase translated, the root's language the target's",
         page(" lang=\"en\"", "<p>Hello.</p><p>World.</p><img alt=\"A door\">"),
         page(" lang=\"de\"", "<p>Hallo.</p><p>World.</p><img alt=\"Eine T\xC3\xBCr\">"),
         {{0, "Hello."}, {2, "A door"}},
         false},
        {"nothing translated", page("", "<p>Hello.</p>"), page("", "<p>Hello.</p>"), {}, false},
        {"markup changed between the phrases",
         page(" lang=\"en\"", "<p>Hello.</p><p>World.</p>"),
         page(" lang=\"de\"", "<p>Hallo.</p><div>Welt.</div>"),
         {},
         true},
        {"a phrase more",
         page("", "<p>Hello.</p>"),
         page("", "<p>Hallo.</p><p>Welt.</p>"),
         {},
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string translatedPath = dir / "de.html";
        WriteBytes(translatedPath, c.translated);
        TDocument translated;
        translated.LoadFile(translatedPath, TTags::Default, TUnits::Runs);
        if (c.parts) {
            try {
                PairedSources(c.source, "/src/en.html", translated, translatedPath);
                ADD_FAILURE() << "paired";
            } catch (const TError& e) {
                const std::string english = e.English();
                EXPECT_NE(english.find("/src/en.html"), std::string::npos) << english;
                EXPECT_NE(english.find(translatedPath), std::string::npos) << english;
            }
            continue;
        }
        const auto sources = PairedSources(c.source, "/src/en.html", translated, translatedPath);
        EXPECT_EQ(sources, c.expected);

        // As the session's record: the sources show, a step goes on to the user's record.
        struct TNext : TSourceRecord {
            std::size_t steps = 0;
            std::map<std::size_t, std::string> RecordedSources(const TPageSession&) override {
                return {};
            }
            void Replaced(const TPageSession&, TReplacementSource,
                          const std::vector<TReplacedPhrase>&) override {
                ++steps;
            }
        } next;
        TPairedSources record(translatedPath, sources, &next);
        TPageSession session;
        session.SetSourceRecord(&record);
        session.Open(translatedPath, TTags::Default, TUnits::Runs);
        for (std::size_t i = 0; i < session.PhraseCount(); ++i) {
            auto it = c.expected.find(i);
            EXPECT_EQ(session.Source(i),
                      it == c.expected.end() ? std::nullopt : std::optional(it->second));
        }
        session.Confirm(session.PhraseCount() - 1, "Neu.");
        EXPECT_EQ(next.steps, 1u);
    }
}

}  // namespace
}  // namespace quillfen::project
