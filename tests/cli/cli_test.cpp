// quillfen-cli on real pages that nobody here wrote: an unchanged save gives the page byte for
// byte, and a replaced phrase changes nothing but its own bytes and reads back as typed.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "checks/checks.h"
#include "core/document/document.h"
#include "core/errors.h"
#include "core/files/savefile.h"
#include "core/markup/sentences.h"
#include "core/text/pagecodec.h"
#include "exchange/formats.h"
#include "tests/support/files.h"
#ifndef _WIN32
#include "memory/memory.h"
#include "project/state.h"
#include "store/dismissals.h"
#endif
#ifdef _WIN32
#include "tests/support/winprocess.h"
#endif

using namespace quillfen;
namespace fs = std::filesystem;

namespace {

struct TRun {
    int status = -1;
    std::string out;
};

// Runs the tool with its arguments (each quoted for the shell) and gives its exit status and
// standard output; standard error goes to err when given.
#ifdef _WIN32
TRun RunCli(const std::vector<std::string>& args, const std::string& err = {}) {
    const quillfen::testing::TProgramRun run =
        quillfen::testing::RunProgram(QUILLFEN_CLI, args, err);
    return {run.Status, run.Out};
}
#else
std::string Quoted(const std::string& a) {
    std::string quoted = "'";
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string CliCommand(const std::vector<std::string>& args, const std::string& err) {
    std::string command = "'" QUILLFEN_CLI "'";
    for (const std::string& a : args) command.append(" ").append(Quoted(a));
    return command.append(" 2>").append(Quoted(err));
}

TRun RunShell(const std::string& command) {
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TRun RunCli(const std::vector<std::string>& args, const std::string& err = "/dev/null") {
    return RunShell(CliCommand(args, err));
}
#endif

std::string Read(const fs::path& path) { return quillfen::testing::ReadBytes(path); }

std::vector<fs::path> Corpus() { return quillfen::testing::CorpusPages(); }

class Cli : public ::testing::Test {
  protected:
    std::string Out(const std::string& name) const { return dir_ / name; }

  private:
    quillfen::testing::TTempDir dir_;
};

}  // namespace

TEST_F(Cli, RealPagesSurviveAnUnchangedSave) {
    const auto pages = Corpus();
    ASSERT_GE(pages.size(), 10u);
    for (const fs::path& page : pages) {
        for (const char* tags : {"3", "7", "15"}) {
            const TRun run =
                RunCli({"save", page.string(), "-o", Out("same.html"), "--tags", tags});
            ASSERT_EQ(run.status, 0) << page;
            EXPECT_TRUE(Read(Out("same.html")) == Read(page)) << page << " tags " << tags;
        }
    }
}

TEST_F(Cli, AReplacedPhraseOfARealPageChangesOnlyItsBytes) {
    for (const fs::path& page : Corpus()) {
        TDocument doc;
        doc.LoadFile(page.string(), TTags::AllKinds);
        ASSERT_GT(doc.PhraseCount(), 2u) << page;
        const std::string original = Read(page);
        // A phrase from the middle, and the last one, which on many pages ends the file.
        for (std::size_t k : {doc.PhraseCount() / 2, doc.PhraseCount() - 1}) {
            const std::string typed = "Neu <b> & &notes &#0; &copy \"\xC3\xA4\xE2\x82\xAC\" \\\\";
            const std::string set = std::to_string(k + 1) + "=" + typed;
            ASSERT_EQ(
                RunCli({"save", page.string(), "-o", Out("new.html"), "--tags", "15", "--set", set})
                    .status,
                0)
                << page;
            const std::string saved = Read(Out("new.html"));
            const std::size_t begin = doc.Bom().size() + doc.Spans()[k].Begin;
            const std::size_t tail = doc.Page().size() - doc.Spans()[k].End;
            EXPECT_EQ(saved.substr(0, begin), original.substr(0, begin)) << page << k;
            EXPECT_EQ(saved.substr(saved.size() - tail), original.substr(original.size() - tail))
                << page << k;
            // The text reads back as typed, in every encoding (the euro sign as a reference where
            // the page's encoding lacks it).
            const TRun phrases = RunCli({"phrases", Out("new.html"), "--tags", "15"});
            ASSERT_EQ(phrases.status, 0) << page;
            std::istringstream lines(phrases.out);
            std::string line;
            for (std::size_t i = 0; i <= k; ++i) std::getline(lines, line);
            const std::string kind(1, KindInfo(doc.Kind(k)).Letter);
            EXPECT_EQ(line, std::to_string(k + 1) + "\t" + kind + "\t" + typed) << page;
        }
    }
}

TEST_F(Cli, FailuresWriteNothingAndSayWhy) {
    const fs::path page = Corpus().front();
    const std::string out = Out("never.html");
    const std::string err = Out("err.txt");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"save", page.string(), "-o", out, "--set", "1= "}, 1},
        {{"save", page.string(), "-o", out, "--set", "1=a\\nb"}, 1},
        {{"save", page.string(), "-o", out, "--set", "99999=x"}, 1},
        {{"save", page.string(), "-o", out, "--set", "x"}, 2},
        {{"save", page.string(), "-o", out, "--tags", "16"}, 2},
        {{"save", page.string(), "-o", out, "--bogus"}, 2},
        {{"frobnicate", page.string()}, 2},
        {{"save",
          (fs::path(QUILLFEN_SOURCE_DIR "/tests/data/pages") / "refused" /
           "apache-ja-iso2022jp-mod-echo.html")
              .string(),
          "-o", out},
         1},
        {{"phrases", Out("missing.html")}, 1},
    };
    for (const auto& c : cases) {
        const TRun run = RunCli(c.args, err);
        EXPECT_EQ(run.status, c.status) << c.args.back();
        EXPECT_FALSE(fs::exists(out)) << c.args.back();
        EXPECT_FALSE(Read(err).empty()) << c.args.back();
    }
#ifndef _WIN32
    // Errors speak the locale's language where it is German, else English.
    for (const auto& [locale, said] : {std::pair{"de_DE.UTF-8", "ist leer"}, {"C", "is empty"}}) {
        RunShell("LC_ALL=" + std::string(locale) + " " +
                 CliCommand({"save", page.string(), "-o", out, "--set", "1= "}, err));
        EXPECT_NE(Read(err).find(said), std::string::npos) << Read(err);
    }
    // So do usage errors, and the usage after them.
    for (const auto& [locale, said] :
         {std::pair{"de_DE.UTF-8", "unbekannte Option --bogus f\xC3\xBCr save\nAufruf:\n"},
          {"C", "unknown option --bogus for save\nUsage:\n"}}) {
        const TRun run = RunShell("LC_ALL=" + std::string(locale) + " " +
                                  CliCommand({"save", page.string(), "--bogus"}, err));
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(Read(err).starts_with(std::string("quillfen-cli: ") + said)) << Read(err);
    }
#endif
    const TRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"phrases", "save", "export", "combine", "check"})
        EXPECT_NE(help.out.find(std::string("quillfen-cli ") + command), std::string::npos);
    for (const TExchangeFormat* format : ExchangeFormats())
        EXPECT_NE(help.out.find("  " + std::string(format->Name) + ": "), std::string::npos)
            << format->Name;
}

TEST_F(Cli, TheLastTextOfARepeatedNumberCounts) {
    const std::string page = Out("p.html");
    std::ofstream(page, std::ios::binary) << "<pre>a  b</pre><p>x</p>";
    ASSERT_EQ(
        RunCli({"save", page, "--set", "2=first", "--set", "1=c   d", "--set", "2=  last  one "})
            .status,
        0);
    // The preformatted line keeps its inner blanks; the other text is cleaned as Ok cleans it.
    EXPECT_EQ(Read(page), "<pre>c   d</pre><p>last one</p>");
}

TEST_F(Cli, NotesAreAFourthColumnOnlyWhenAskedFor) {
    const std::string page = Out("n.html");
    std::ofstream(page, std::ios::binary)
        << "<div its-loc-note='Keep\tit &amp; short'><p>a</p><img alt=i></div><p>b</p>"
           "<p translate=no>c</p>";
    EXPECT_EQ(RunCli({"phrases", page, "--notes"}).out,
              "1\tT\ta\tKeep it & short\n2\tG\ti\t\n3\tT\tb\t\n");
    EXPECT_EQ(RunCli({"phrases", page}).out, "1\tT\ta\n2\tG\ti\n3\tT\tb\n");
}

#ifndef _WIN32
// --status marks, before the note, what an earlier run replaced (the record of sources, which
// Windows builds lack); a record that cannot be read fails --status but only warns a save.
TEST_F(Cli, StatusMarksWhatAnEarlierRunReplaced) {
    ::setenv("XDG_DATA_HOME", Out("data").c_str(), 1);
    const std::string page = Out("s.html"), err = Out("err.txt");
    std::ofstream(page, std::ios::binary) << "<p>a</p><p>b</p><p>c</p>";
    EXPECT_EQ(RunCli({"phrases", page, "--status"}).out, "1\tT\ta\t\n2\tT\tb\t\n3\tT\tc\t\n");
    ASSERT_EQ(RunCli({"save", page, "--set", "2=B"}).status, 0);
    EXPECT_EQ(RunCli({"phrases", page, "--notes", "--status"}).out,
              "1\tT\ta\t\t\n2\tT\tB\treplaced\t\n3\tT\tc\t\t\n");
    ASSERT_EQ(RunCli({"save", page, "--set", "2=X", "--set", "3=C"}).status, 0);
    ASSERT_EQ(RunCli({"save", page, "--set", "2=b"}).status, 0);
    EXPECT_EQ(RunCli({"phrases", page, "--status"}).out,
              "1\tT\ta\t\n2\tT\tb\t\n3\tT\tC\treplaced\n")
        << "typed back to its source, a phrase is no longer replaced";

    const std::string record = Out("data/Quillfen/sources.sqlite");
    std::filesystem::remove(record + "-wal");
    std::filesystem::remove(record + "-shm");
    std::ofstream(record, std::ios::binary | std::ios::trunc) << "not a record";
    const TRun listed = RunCli({"phrases", page, "--status"}, err);
    EXPECT_EQ(listed.status, 1);
    EXPECT_NE(Read(err).find("is not a Quillfen record of sources"), std::string::npos)
        << Read(err);
    EXPECT_EQ(RunCli({"save", page, "--set", "1=A"}, err).status, 0);
    EXPECT_NE(Read(err).find("warning"), std::string::npos) << Read(err);
    EXPECT_EQ(Read(page), "<p>A</p><p>b</p><p>C</p>");
    EXPECT_EQ(Read(record), "not a record");
    ::unsetenv("XDG_DATA_HOME");
}
#endif

// merge reads the page in the cut the file was exported in, whatever --units says, as the
// window does: a file of sentences numbers sentences.
TEST_F(Cli, MergeReadsThePageAsTheFileWasExported) {
#ifndef QUILLFEN_SENTENCES
    GTEST_SKIP() << "no sentences in this build";
#endif
    const std::string page = Out("m.html"), dir = Out("");
    const std::string bytes = "<p>One <b>bold</b> word. Two.</p>";
    std::ofstream(page, std::ios::binary) << bytes;
    ASSERT_EQ(RunCli({"export", page, "--units", "sentences", "--format", "po", "-d", dir}).status,
              0);
    std::string po = Read(Out("m.po"));
    const std::string entry = "msgid \"Two.\"\nmsgstr \"\"";
    ASSERT_NE(po.find(entry), std::string::npos) << po;
    po.replace(po.find(entry), entry.size(), "msgid \"Two.\"\nmsgstr \"Zwei.\"");
    std::ofstream(Out("m.po"), std::ios::binary | std::ios::trunc) << po;
    for (const char* units : {"runs", "sentences"}) {
        std::ofstream(page, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_EQ(RunCli({"merge", page, Out("m.po"), "--units", units}).status, 0) << units;
        EXPECT_EQ(Read(page), "<p>One <b>bold</b> word. Zwei.</p>") << units;
    }
}

// --units sentences: a sentence is one phrase with its tags as placeholders, which a new text
// may move but must keep; the Windows build, without ICU, refuses sentences.
TEST_F(Cli, SentencesAreListedAndSavedWithTheirPlaceholders) {
    const std::string page = Out("s.html");
    const std::string head =
        "<!DOCTYPE html><meta charset=utf-8><p>Press <kbd>Ctrl</kbd>+<kbd>S</kbd> ";
    std::ofstream(page, std::ios::binary) << head << "to save. The quick <b>brown</b> fox.</p>";
    const TRun listed = RunCli({"phrases", page, "--units", "sentences"});
    if (!SentencesAvailable()) {
        EXPECT_EQ(listed.status, 1);
        return;
    }
    ASSERT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out,
              "1\tT\tPress <kbd1>Ctrl</kbd1>+<kbd2>S</kbd2> to save.\n"
              "2\tT\tThe quick <b1>brown</b1> fox.\n");
    const struct {
        const char* set;
        int status;
        const char* tail;  // the page after head, "" when nothing may be written
    } cases[] = {
        {"2=Le renard <b1>brun</b1> rapide & fin.", 0,
         "to save. Le renard <b>brun</b> rapide &amp; fin.</p>"},
        {"1=<kbd2>S</kbd2> mit <kbd1>Strg</kbd1> speichern.", 0, ""},
        {"2=Le renard brun.", 1, ""},
        {"2=Le <b1>renard <b1>brun</b1>.", 1, ""},
    };
    for (const auto& c : cases) {
        fs::remove(Out("new.html"));
        const TRun run =
            RunCli({"save", page, "-o", Out("new.html"), "--units", "sentences", "--set", c.set});
        EXPECT_EQ(run.status, c.status) << c.set;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(Out("new.html"))) << c.set;
        } else if (*c.tail) {
            EXPECT_EQ(Read(Out("new.html")), head + c.tail);
        } else {
            EXPECT_EQ(Read(Out("new.html")),
                      "<!DOCTYPE html><meta charset=utf-8><p><kbd>S</kbd> mit <kbd>Strg</kbd> "
                      "speichern. The quick <b>brown</b> fox.</p>");
        }
    }
    EXPECT_EQ(RunCli({"phrases", page, "--units", "words"}).status, 2);
    // Runs stay the default whatever else is asked.
    EXPECT_EQ(RunCli({"phrases", page}).out.substr(0, 9), "1\tT\tPress");
}

#ifndef _WIN32
namespace {

// Saves' copies go into the test's own cache folder.
class CliSaves : public Cli {
  protected:
    void SetUp() override { ::setenv("XDG_CACHE_HOME", Out("cache").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(fs::path(Out("")).parent_path()))
            if (e.path().filename() != "cache") names.insert(e.path().filename().string());
        return names;
    }
    std::set<std::string> Leftovers() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Out("cache/Quillfen/backup"), ec))
            names.insert(e.path().filename().string());
        return names;
    }
};

// A page of many short paragraphs, long enough for two saves to overlap.
std::string ManyParagraphs(std::size_t count) {
    std::string page = "<html><body>\n";
    for (std::size_t i = 0; i < count; ++i)
        page += "<p>Paragraph " + std::to_string(i) + " with <b>bold</b> text &amp; more.</p>\n";
    return page + "</body></html>\n";
}

}  // namespace

TEST_F(CliSaves, TwoSavesAtOnceNeverLoseAChangeSilentlyNorMix) {
    const std::string page = Out("page.html"), read = ManyParagraphs(5000);
    TDocument doc;
    doc.LoadBytes(read, TTags::Default);
    auto rendered = [&](bool first, bool second) {
        TDocument d;
        d.LoadBytes(read, TTags::Default);
        if (first) d.SetPhraseText(0, "first");
        if (second) d.SetPhraseText(7, "second");
        return d.Render();
    };
    const std::string onlyFirst = rendered(true, false), onlySecond = rendered(false, true),
                      both = rendered(true, true);
    for (const bool linked : {false, true}) {
        for (int pair = 0; pair < 20; ++pair) {
            quillfen::testing::WriteBytes(page, read);
            if (linked) fs::create_hard_link(page, Out("twin.html"));
            // Both started together; the shell reports both exit statuses.
            const std::string first = CliCommand({"save", page, "--set", "1=first"}, Out("e1")),
                              second = CliCommand({"save", page, "--set", "8=second"}, Out("e2"));
            const TRun run = RunShell(first + " & a=$!; " + second + " & b=$!; wait $a; x=$?; " +
                                      "wait $b; echo $x $?");
            ASSERT_EQ(run.status, 0);
            const std::string now = Read(page);
            const std::string label = (linked ? "in place, pair " : "pair ") + std::to_string(pair);
            if (run.out == "0 0\n") {
                EXPECT_TRUE(now == both) << label;
            } else if (run.out == "0 1\n") {
                EXPECT_TRUE(now == onlyFirst) << label;
                EXPECT_NE(Read(Out("e2")).find(ChangedWhileReadError().English()),
                          std::string::npos)
                    << label;
            } else if (run.out == "1 0\n") {
                EXPECT_TRUE(now == onlySecond) << label;
                EXPECT_NE(Read(Out("e1")).find(ChangedWhileReadError().English()),
                          std::string::npos)
                    << label;
            } else {
                ADD_FAILURE() << label << ": exit statuses " << run.out;
            }
            std::set<std::string> names{"page.html", "e1", "e2"};
            if (linked) names.insert("twin.html");
            EXPECT_EQ(Names(), names) << label;
            EXPECT_EQ(Leftovers(), std::set<std::string>{}) << label;
            fs::remove(Out("twin.html"));
        }
    }
}

TEST_F(CliSaves, ATornPageIsRefusedNamingTheCopyAndRecoverPutsItBack) {
    const std::string torn = Out("torn.html"), good = Out("good.html"), err = Out("err.txt");
    const std::string old = ManyParagraphs(100);
    quillfen::testing::WriteBytes(torn, old);
    quillfen::testing::WriteBytes(good, old);
    fs::create_hard_link(torn, Out("twin.html"));
    // A save that dies after 100 bytes of the new page are in place.
    const pid_t child = ::fork();
    if (child == 0) {
        TSaveHooks hooks;
        hooks.InPlaceFailAfter = 100;
        hooks.AtInPlaceFault = [] { ::raise(SIGKILL); };
        TDocument doc;
        doc.LoadFile(torn, TTags::Default);
        doc.SetPhraseText(0, "Neu");
        doc.Save(torn, &hooks);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::optional<std::string> backup = FindCrashBackup(torn);
    ASSERT_TRUE(backup);
    const std::string damaged = Read(torn);
    const struct {
        std::vector<std::string> args;
    } refused[] = {{{"phrases", torn}},
                   {{"save", torn, "--set", "1=x"}},
                   {{"save", good, "-o", torn}},
                   {{"export", torn, good, "-d", Out("")}},
                   {{"check", torn, good}}};
    for (const auto& c : refused) {
        const TRun run = RunCli(c.args, err);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(Read(err).find(torn), std::string::npos) << c.args[0];
        EXPECT_NE(Read(err).find(*backup), std::string::npos) << c.args[0];
        EXPECT_TRUE(Read(torn) == damaged) << c.args[0];
    }
    // The other pages of the same call go on.
    EXPECT_TRUE(fs::exists(Out("good.txt")));
    EXPECT_NE(RunCli({"check", torn, good}).out.find(good + "\t"), std::string::npos);

    EXPECT_EQ(RunCli({"recover", torn}).status, 0);
    EXPECT_TRUE(Read(Out("twin.html")) == old);
    EXPECT_EQ(RunCli({"phrases", torn}).status, 0);
    EXPECT_EQ(RunCli({"recover", torn}, err).status, 1);
    EXPECT_EQ(Leftovers(), std::set<std::string>{});
}

TEST_F(CliSaves, FileErrorsSayTheSystemsCauseAndLeaveNothing) {
    const std::string page = Out("page.html"), linked = Out("linked.html"), err = Out("err.txt");
    const std::string old = ManyParagraphs(2000);  // larger than the limits below
    quillfen::testing::WriteBytes(page, old);
    quillfen::testing::WriteBytes(linked, old);
    fs::create_hard_link(linked, Out("twin.html"));
    const struct {
        const char* limit;  // a file-size limit in the shell's blocks (512 or 1024 bytes)
        std::vector<std::string> args;
        const char* cause;
    } cases[] = {
        {"", {"save", page, "-o", Out("no/such/folder.html")}, "No such file or directory"},
        {"ulimit -f 8; ", {"save", page, "--set", "1=x"}, "File too large"},
        {"ulimit -f 8; ", {"save", linked, "--set", "1=x"}, "File too large"},
    };
    for (const auto& c : cases) {
        const TRun run = RunShell(c.limit + CliCommand(c.args, err));
        const std::string said = Read(err);
        EXPECT_EQ(run.status, 1) << said;
        // One line, in English: the file layer's text, then the cause. The record of sources,
        // which the same limit keeps from being written, may warn of that before it.
        EXPECT_NE(said.find(" cannot be created: " + std::string(c.cause) + "\n"),
                  std::string::npos)
            << said;
        const std::size_t warned = said.rfind("quillfen-cli: warning: Record of sources ", 0) == 0
                                       ? said.find('\n') + 1
                                       : 0;
        EXPECT_EQ(std::count(said.begin() + long(warned), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(Read(page) == old && Read(linked) == old) << said;
        EXPECT_EQ(Names(),
                  (std::set<std::string>{"page.html", "linked.html", "twin.html", "err.txt"}))
            << said;
        EXPECT_EQ(Leftovers(), std::set<std::string>{}) << said;
    }
}

// Output that cannot be written is a failure with its cause: the report or list of every command
// that prints, on a full disk (what is buffered fails when flushed) or beyond a file-size limit
// (a long list's first piece fails).
TEST_F(CliSaves, OutputThatCannotBeWrittenFails) {
    const std::string page = Out("page.html"), err = Out("err.txt");
    quillfen::testing::WriteBytes(page, ManyParagraphs(2000));  // a list of some 100 KiB
    ASSERT_EQ(RunCli({"export", page, "-d", Out(""), "--format", "po"}).status, 0);
    const struct {
        const char* limit;
        std::vector<std::string> args;
        std::string to;
        const char* cause;
    } cases[] = {
        {"", {"phrases", page}, "/dev/full", "No space left on device"},
        {"", {"--help"}, "/dev/full", "No space left on device"},
        {"", {"check", page}, "/dev/full", "No space left on device"},
        {"",
         {"merge", page, Out("page.po"), "-o", Out("merged.html")},
         "/dev/full",
         "No space left on device"},
        {"ulimit -f 8; ", {"phrases", page}, Out("list.txt"), "File too large"},
    };
    for (const auto& c : cases) {
        const TRun run = RunShell(c.limit + CliCommand(c.args, err) + " >" + c.to);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_EQ(Read(err), "quillfen-cli: The standard output cannot be written: " +
                                 std::string(c.cause) + "\n")
            << c.args[0];
    }
    // Written, the same lists succeed.
    EXPECT_EQ(RunShell(CliCommand({"phrases", page}, err) + " >" + Out("list.txt")).status, 0);
    EXPECT_EQ(Read(Out("list.txt")).substr(0, 24), "1\tT\tParagraph 0 with\n2\tT");
}

TEST_F(CliSaves, ALinkGivenAsOutputIsWrittenThrough) {
    const std::string page = Out("page.html");
    quillfen::testing::WriteBytes(page, "<p>a</p>");
    fs::create_directory(Out("sub"));
    fs::create_symlink("sub/target.html", Out("link.html"));  // dangling, relative
    for (const char* text : {"b", "c"}) {
        ASSERT_EQ(RunCli({"save", page, "-o", Out("link.html"), "--set", std::string("1=") + text})
                      .status,
                  0);
        EXPECT_TRUE(fs::is_symlink(Out("link.html")));
        EXPECT_EQ(Read(Out("sub/target.html")), std::string("<p>") + text + "</p>");
    }
}

#ifdef __linux__
TEST_F(CliSaves, AllTextsOfOneCallAreOneWrite) {
    const std::string page = Out("page.html");
    quillfen::testing::WriteBytes(page, "<p>a</p><p>b</p><p>c</p>");
    // Every write of the page is a new file renamed to its name. The new files' creation is
    // watched too: the system merges equal events that follow one another.
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(
        ::inotify_add_watch(watch, fs::path(page).parent_path().c_str(), IN_CREATE | IN_MOVED_TO),
        0);
    ASSERT_EQ(
        RunCli({"save", page, "--set", "1=eins", "--set", "3=drei", "--set", "2=zwei"}).status, 0);
    int renames = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if ((event->mask & IN_MOVED_TO) && std::string(event->name) == "page.html") ++renames;
            p += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    EXPECT_EQ(renames, 1);
    EXPECT_EQ(Read(page), "<p>eins</p><p>zwei</p><p>drei</p>");
}
#endif
#endif

#ifndef _WIN32
namespace {

// qa reads dismissals from the user's memory: the test's own.
class CliQa : public Cli {
  protected:
    void SetUp() override { ::setenv("XDG_DATA_HOME", Out("data").c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    // The source page, and its copy with the given texts for its four phrases.
    static std::string Page(const std::vector<std::string>& texts) {
        return "<html lang=\"en\"><body>\n<p>" + texts[0] + "</p><p>" + texts[1] + "</p>\n<p>" +
               texts[2] + "</p><p>" + texts[3] + "</p>\n</body></html>\n";
    }
    static std::vector<std::string> Source() {
        return {"Save", "Save", "Version 2.0 is out.", "Hello world."};
    }
    // Writes the pages; the arguments of qa for them.
    std::vector<std::string> Qa(const std::vector<std::string>& translated) {
        quillfen::testing::WriteBytes(Out("en.html"), Page(Source()));
        quillfen::testing::WriteBytes(Out("de.html"), Page(translated));
        return {"qa", Out("en.html"), Out("de.html"), "--target-lang", "de"};
    }
};

std::vector<std::string> With(std::vector<std::string> args, std::vector<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

// One line per finding (page, phrase from 1, check, severity, text); the exit status is 1 only
// for an error, and --checks chooses.
TEST_F(CliQa, FindingsAreLinesAndOnlyAnErrorFails) {
    const struct {
        const char* name;
        std::vector<std::string> translated, more;
        int status;
        std::vector<std::string> lines;  // each line's start
    } cases[] = {
        {"a clean translation",
         {"Speichern", "Speichern", "Version 2.0 ist da.", "Hallo Welt."},
         {},
         0,
         {}},
        {"a warning only",
         {"Speichern", "Speichern", "Version 2.0 ist da.", "Hallo Welt"},
         {},
         0,
         {"\t4\tend-punctuation\twarning\t"}},
        {"an error and a warning",
         {"Speichern", "Sichern", "Version 2.1 ist da.", "Hallo Welt."},
         {},
         1,
         // 2.0 missing and 2.1 not in the source
         {"\t2\tinconsistent-source\twarning\t", "\t3\tnumbers\terror\t", "\t3\tnumbers\terror\t"}},
        {"the error's check left out",
         {"Speichern", "Speichern", "Version 2.1 ist da.", "Hallo Welt"},
         {"--checks", "end-punctuation, length"},
         0,
         {"\t4\tend-punctuation\twarning\t"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = RunCli(With(Qa(c.translated), c.more));
        EXPECT_EQ(run.status, c.status);
        std::istringstream lines(run.out);
        std::string line;
        std::size_t k = 0;
        for (; std::getline(lines, line); ++k) {
            ASSERT_LT(k, c.lines.size()) << line;
            EXPECT_EQ(line.rfind(Out("de.html") + c.lines[k], 0), 0u) << line;
            EXPECT_GT(line.size(), Out("de.html").size() + c.lines[k].size()) << line;
        }
        EXPECT_EQ(k, c.lines.size());
    }
    EXPECT_EQ(RunCli(With(Qa(Source()), {"--checks", "numbers,nonsense"})).status, 1);
    EXPECT_EQ(RunCli(With(Qa(Source()), {"--format", "xml"})).status, 2);
    // Pages that part outside their phrases are no translation of one another.
    quillfen::testing::WriteBytes(Out("other.html"), "<html><p>Save</p></html>");
    EXPECT_EQ(RunCli({"qa", Out("en.html"), Out("other.html")}).status, 1);
}

// The JSON, read by Python's json module, says what the lines say, texts with quotes and
// backslashes included.
TEST_F(CliQa, JsonSaysWhatTheLinesSay) {
    const std::vector<std::string> args =
        Qa({"Sp\"ei\\chern", "Sichern", "Version 2.1 ist da.", "Hallo Welt"});
    const TRun lines = RunCli(args);
    ASSERT_EQ(lines.status, 1);
    const char* python =
        "import json, sys\n"
        "def esc(t): return t.replace('\\\\', '\\\\\\\\').replace('\\t', '\\\\t')"
        ".replace('\\n', '\\\\n').replace('\\r', '\\\\r')\n"
        "for f in json.load(sys.stdin):\n"
        "    assert f['dismissed'] is False and f['key'].startswith(f['check'] + ':')\n"
        "    print('\\t'.join([esc(f['page']), str(f['phrase']), f['check'], f['severity'],"
        " esc(f['text'])]))\n";
    quillfen::testing::WriteBytes(Out("read.py"), python);
    const TRun json = RunShell(CliCommand(With(args, {"--format", "json"}), "/dev/null") +
                               " | python3 " + Quoted(Out("read.py")));
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, lines.out);
    EXPECT_NE(lines.out.find("Sp\"ei\\\\chern"), std::string::npos) << lines.out;
    EXPECT_EQ(RunCli(With(Qa(Source()), {"--format", "json", "--checks", "numbers"})).out, "[]\n");
}

// A finding dismissed in the window (kept in the user's memory) is left out, and its error no
// longer fails; --all shows it again. A changed translation brings it back.
TEST_F(CliQa, DismissedFindingsAreLeftOut) {
    const std::vector<std::string> faulty = {"Speichern", "Speichern", "Version 2.1 ist da.",
                                             "Hallo Welt."};
    const std::vector<std::string> args = Qa(faulty);
    {
        const std::unique_ptr<TMemory> memory = TMemory::OpenDefault();
        TStoredDismissals(memory->Database())
            .Dismiss(std::vector<std::string>{
                DismissalKey(TCheck::Numbers, "Version 2.0 is out.", faulty[2])});
    }
    const TRun run = RunCli(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    const TRun all = RunCli(With(args, {"--all"}));
    EXPECT_EQ(all.status, 0);
    EXPECT_NE(all.out.find("\t3\tnumbers\terror\t"), std::string::npos) << all.out;
    const std::vector<std::string> changed = {"Speichern", "Speichern", "Version 2.1 ist da!",
                                              "Hallo Welt."};
    EXPECT_EQ(RunCli(Qa(changed)).status, 1);
    // --dismiss keeps a dismissal in the user's memory as the window does.
    const TRun dismissed = RunCli(
        With(Qa(changed),
             {"--dismiss", DismissalKey(TCheck::Numbers, "Version 2.0 is out.", changed[2])}));
    EXPECT_EQ(dismissed.status, 0);
    EXPECT_EQ(dismissed.out.find("numbers"), std::string::npos) << dismissed.out;
    EXPECT_EQ(RunCli(Qa(changed)).status, 0);
}

// A project of two pages, translated with planted faults: a number changed and a tag written as
// text left out on one page, a source translated otherwise on the other. qa --project names each
// page relative to the target folder, finds the inconsistency across pages, fails for the
// errors, says the same in JSON and in German, and leaves out what the project's state holds
// dismissed.
TEST_F(CliQa, ProjectPagesAreCheckedAsOneSet) {
    fs::create_directories(Out("en/guide"));
    fs::create_directories(Out("de"));
    const std::string head = "<html lang=\"en\"><body>\n";
    quillfen::testing::WriteBytes(Out("en/index.html"),
                                  head +
                                      "<p>Version 2.0 is out.</p>\n<p>Save the file.</p>\n"
                                      "<p>Type &lt;br&gt; to break a line.</p>\n</body></html>\n");
    quillfen::testing::WriteBytes(Out("en/guide/start.html"),
                                  head +
                                      "<p>Save the file.</p>\n<p>Open the manual.</p>\n"
                                      "<p>Read 3 pages.</p>\n</body></html>\n");
    const std::string project = Out("site.qfp");
    ASSERT_EQ(RunCli({"project", "new", project, "--source", Out("en"), "--target", Out("de"),
                      "--source-lang", "en", "--target-lang", "de"})
                  .status,
              0);
    // Before the first update the project has made no page: nothing to find, and no state made.
    EXPECT_EQ(RunCli({"qa", "--project", project}).out, "");
    EXPECT_FALSE(fs::exists(Out("site.qfp.state")));
    ASSERT_EQ(RunCli({"project", "update", project}).status, 0);
    // The project's reports follow the locale's language as the findings do.
    const TRun status =
        RunShell("LC_ALL=de_DE.UTF-8 " + CliCommand({"project", "status", project}, "/dev/null"));
    EXPECT_NE(status.out.find("\ngesamt "), std::string::npos) << status.out;
    EXPECT_NE(status.out.find(" 3 Phrasen "), std::string::npos) << status.out;
    EXPECT_EQ(status.out.find("words"), std::string::npos) << status.out;
    // The translator's work, written into the pages the project made.
    const auto translate = [&](const std::string& page,
                               const std::vector<std::pair<std::string, std::string>>& texts) {
        std::string bytes = Read(Out("de/" + page));
        for (const auto& [from, to] : texts) {
            const std::size_t at = bytes.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            bytes.replace(at, from.size(), to);
        }
        quillfen::testing::WriteBytes(Out("de/" + page), bytes);
    };
    translate("index.html", {{"Version 2.0 is out.", "Version 2.1 ist da."},
                             {"Save the file.", "Speichern Sie die Datei."},
                             {"Type &lt;br&gt; to break a line.",
                              "Geben Sie es ein, um eine Zeile umzubrechen."}});
    translate("guide/start.html", {{"Save the file.", "Sichern Sie die Datei."},
                                   {"Open the manual.",
                                    "\xC3\x96"
                                    "ffnen Sie das Handbuch."},
                                   {"Read 3 pages.", "Lesen Sie 3 Seiten."}});
    const std::vector<std::string> qa = {"qa", "--project", project};
    // Pages go in path order, so guide/start.html's translation is the prevailing one.
    const std::string numbers =
        "index.html\t1\tnumbers\terror\tNumber 2.0 is missing\n"
        "index.html\t1\tnumbers\terror\tNumber 2.1 is not in the source\n";
    const std::string inconsistent =
        "index.html\t2\tinconsistent-source\twarning\tThe same source is translated as "
        "\xE2\x80\x9CSichern Sie die Datei.\xE2\x80\x9D in guide/start.html, phrase 1\n";
    const std::string placeholder =
        "index.html\t3\tplaceholders\terror\t<br> of the source is missing\n";
    const std::string expected = numbers + inconsistent + placeholder;
    TRun run = RunCli(qa);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, expected);
    // Only warnings chosen: exit status 0.
    run = RunCli({"qa", "--project", project, "--checks", "inconsistent-source,length"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, inconsistent);
    // The JSON, read by Python, names the same pages, phrases and checks.
    quillfen::testing::WriteBytes(
        Out("read.py"),
        "import json, sys\n"
        "for f in json.load(sys.stdin):\n"
        "    assert f['key'].startswith(f['check'] + ':') and f['dismissed'] is False\n"
        "    print(f['page'], f['phrase'], f['check'], f['severity'])\n");
    const TRun json =
        RunShell(CliCommand({"qa", "--project", project, "--format", "json"}, "/dev/null") +
                 " | python3 " + Quoted(Out("read.py")));
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out,
              "index.html 1 numbers error\nindex.html 1 numbers error\n"
              "index.html 2 inconsistent-source warning\nindex.html 3 placeholders error\n");
    // In German where the locale is: the texts only; ids and severities stay.
    const TRun german = RunShell("LC_ALL=de_DE.UTF-8 " + CliCommand(qa, "/dev/null"));
    EXPECT_NE(german.out.find("index.html\t1\tnumbers\terror\tZahl 2.0 fehlt\n"), std::string::npos)
        << german.out;
    // A dismissal kept in the project's state silences its finding, and only that one; a key
    // mistyped is refused, keeping nothing.
    const std::string key =
        DismissalKey(TCheck::InconsistentSource, "Save the file.", "Speichern Sie die Datei.");
    EXPECT_EQ(RunCli(With(qa, {"--dismiss", key.substr(0, key.size() - 1)})).status, 2);
    EXPECT_EQ(RunCli(With(qa, {"--dismiss", "nonsense:" + key.substr(key.size() - 16)})).status, 2);
    EXPECT_FALSE(project::TState(Out("site.qfp.state")).IsDismissed(key));
    run = RunCli(With(qa, {"--dismiss", key}));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, numbers + placeholder);
    EXPECT_TRUE(project::TState(Out("site.qfp.state")).IsDismissed(key));
    run = RunCli(qa);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, numbers + placeholder);
    EXPECT_EQ(RunCli({"qa", "--project", project, "--all"}).out, expected);
    // A page the project cannot check fails the command; the others are still told.
    fs::remove(Out("de/guide/start.html"));
    run = RunCli(qa);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("index.html\t1\tnumbers\t", 0), 0u) << run.out;
    EXPECT_EQ(RunCli({"qa", "--project", project, Out("en/index.html")}).status, 2);
}
#endif
